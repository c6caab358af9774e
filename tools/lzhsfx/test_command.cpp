// lzhsfx test FILE: every member decoded into a sink that only folds the
// CRC, through the same walk that extracts.
#include <cstdio>

#include "check_walk.h"
#include "commands.h"

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
  ReportingDialog dialog;
  int tested = 0, failed = 0;
  dialog.onMember = [&](const std::string& path, bool passed) {
    ++tested;
    failed += passed ? 0 : 1;
    std::printf("%-7s %s\n", passed ? "OK" : "FAILED", Printable(SinkName(path)).c_str());
  };
  dialog.onMessage = PrintBox;
  CheckResult result = CheckByWalking(fs, opened, dialog, lzh::ToolDecoderForMethod);
  fs.Close(opened.handle);
  if (!result.listed) return kExitUsage;
  if (result.passed) {
    std::printf("All %d member(s) OK\n", tested);
    return kExitOk;
  }
  int remaining = dialog.SelectedCount();
  std::printf("%d member(s) failed\n", remaining > failed ? remaining : failed);
  return kExitMemberFailed;
}

}  // namespace lzhcli
