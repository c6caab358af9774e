#include "check_walk.h"

#include "extract/walk.h"

namespace lzhcli {

CheckResult CheckByWalking(lzh::FileSystem& fs, const OpenedArchive& opened, ConsoleDialog& dialog,
                           lzh::MemberDecoder& decoders, MemberNames* names) {
  lzh::WalkSession session(fs);
  session.decoders = &decoders;
  session.passOverUnsupported = true;
  session.archive.anyMethod = true;
  if (names != nullptr) {
    names->Observe(session.archive);
    session.nameReader = names;
  }
  session.archive.archiveHandle = opened.handle;
  session.archiveStart = opened.start;
  dialog.policy = lzh::Overwrite;
  bool failed = false;
  auto report = dialog.onOutcome;
  dialog.onOutcome = [&](const lzh::MemberOutcome& outcome) {
    failed = failed || outcome.Failed();
    if (report) report(outcome);
  };
  lzh::WalkArchive(session, dialog, lzh::WalkMode::List);
  dialog.SelectAll();
  lzh::CopyText(session.extractPath, sizeof session.extractPath,
                NullOutputFileSystem::kExtractPath);
  lzh::WalkArchive(session, dialog, lzh::WalkMode::Extract);
  dialog.onOutcome = report;
  CheckResult result;
  result.listed = dialog.EntryCount() != 0;
  result.passed = result.listed && !failed && dialog.SelectedCount() == 0;
  return result;
}

}  // namespace lzhcli
