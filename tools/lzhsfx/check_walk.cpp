#include "check_walk.h"

#include "extract/walk.h"

namespace lzhcli {

CheckResult CheckByWalking(NullOutputFileSystem& fs, const OpenedArchive& opened,
                           ReportingDialog& dialog, lzh::DecoderLookup decoderForMethod) {
  lzh::WalkSession session(fs);
  session.decoderForMethod = decoderForMethod;
  session.archive.archiveHandle = opened.handle;
  session.archiveStart = opened.start;
  dialog.policy = lzh::Overwrite;
  CheckResult result;
  lzh::WalkArchive(session, dialog, true);
  if (dialog.EntryCount() == 0) return result;
  result.listed = true;
  dialog.SelectAll(true);
  lzh::CopyText(session.extractPath, sizeof session.extractPath, NullOutputFileSystem::kRoot);
  std::size_t boxesBefore = dialog.messages.size();
  lzh::WalkArchive(session, dialog, false);
  result.passed = dialog.SelectedCount() == 0 && dialog.messages.size() == boxesBefore;
  return result;
}

std::string SinkName(const std::string& outputPath) {
  const std::string root = std::string(NullOutputFileSystem::kRoot) + "\\";
  return outputPath.compare(0, root.size(), root) == 0 ? outputPath.substr(root.size())
                                                       : outputPath;
}

}  // namespace lzhcli
