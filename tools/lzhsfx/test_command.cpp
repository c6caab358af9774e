// lzhsfx test FILE: every member decoded into a sink that only folds the
// CRC, through the same walk that extracts.
#include <cstdio>

#include "archive_file.h"
#include "commands.h"
#include "null_output_file_system.h"
#include "reporting_dialog.h"

namespace lzhcli {

namespace {
const char kUsage[] =
    "usage: lzhsfx test FILE\n"
    "Decodes every member without writing files and checks its CRC-16.\n"
    "Prints OK or the failure per member; exit status 0 only when all passed.\n";
}

int TestCommand(const Arguments& args) {
  if (args.size() != 1 || args[0] == "--help" || args[0] == "-h") {
    bool help = args.size() == 1;
    std::fputs(kUsage, help ? stdout : stderr);
    return help ? kExitOk : kExitUsage;
  }
  NullOutputFileSystem fs(lzh::HostFileSystem());
  OpenedArchive opened;
  std::string error;
  if (!OpenArchive(fs, args[0], opened, error)) {
    PrintError(error);
    return kExitUsage;
  }
  lzh::WalkSession session(fs);
  session.archive.ArchiveHandle = opened.handle;
  session.ArchiveStart = opened.start;
  ReportingDialog dialog;
  dialog.policy = lzh::Overwrite;
  int tested = 0, failed = 0;
  const std::string root = std::string(NullOutputFileSystem::kRoot) + "\\";
  dialog.onMember = [&](const std::string& path, bool passed) {
    ++tested;
    failed += passed ? 0 : 1;
    std::string name = path.compare(0, root.size(), root) == 0 ? path.substr(root.size()) : path;
    std::printf("%-7s %s\n", passed ? "OK" : "FAILED", Printable(name).c_str());
  };
  dialog.onMessage = [&](const std::string& text, const std::string& caption) {
    std::fflush(stdout);
    std::fprintf(stderr, "lzhsfx: %s %s\n", caption.c_str(), Printable(text).c_str());
  };
  lzh::WalkArchive(session, dialog, true);
  if (dialog.EntryCount() == 0) {
    fs.Close(opened.handle);
    return kExitUsage;
  }
  dialog.SelectAll(true);
  lzh::CopyText(session.ExtractPath, sizeof session.ExtractPath, NullOutputFileSystem::kRoot);
  std::size_t boxesBefore = dialog.messages.size();
  lzh::WalkArchive(session, dialog, false);
  fs.Close(opened.handle);
  bool allPassed = dialog.SelectedCount() == 0 && dialog.messages.size() == boxesBefore;
  if (allPassed) {
    std::printf("All %d member(s) OK\n", tested);
    return kExitOk;
  }
  int remaining = dialog.SelectedCount();
  std::printf("%d member(s) failed\n", remaining > failed ? remaining : failed);
  return kExitMemberFailed;
}

}  // namespace lzhcli
