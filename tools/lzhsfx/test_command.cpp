// lzhsfx test FILE: every member decoded into a sink that only folds the
// CRC, through the same walk that extracts.
#include <cstdio>

#include "check_walk.h"
#include "commands.h"
#include "outcome_text.h"
#include "read_ahead_file_system.h"
#include "write_behind_file_system.h"

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
  ReadAheadFileSystem archiveReads(lzh::HostFileSystem());
  NullOutputFileSystem nowhere(archiveReads);
  // The CRC is folded on a second thread while the next bytes decode,
  // where a core is free for it.
  WriteBehindFileSystem behind(nowhere);
  const bool writeBehind = SecondCoreIsFree();
  lzh::FileSystem& fs = writeBehind ? static_cast<lzh::FileSystem&>(behind) : nowhere;
  OpenedArchive opened;
  std::string error;
  if (!OpenArchive(fs, args[0], opened, error)) {
    PrintError(error);
    return kExitUsage;
  }
  ConsoleDialog dialog;
  int tested = 0, failed = 0;
  dialog.onOutcome = [&](const lzh::MemberOutcome& outcome) {
    if (outcome.kind == lzh::OutcomeKind::PassedOver) return;
    ++tested;
    if (outcome.Passed()) {
      std::printf("OK      %s\n", MemberLabel(outcome).c_str());
    } else {
      ++failed;
      std::printf("FAILED  %s: %s\n", MemberLabel(outcome).c_str(), Reason(outcome).c_str());
    }
  };
  CheckResult result = CheckByWalking(
      fs, opened, dialog, writeBehind ? WriteBehindDecoderForMethod : lzh::ToolDecoderForMethod);
  fs.Close(opened.handle);
  if (!result.listed) {
    PrintError(args[0] + " holds no member that can be extracted");
    return kExitUsage;
  }
  for (const auto& name : dialog.Unreached()) {
    ++failed;
    std::printf("FAILED  %s: not reached: the check stopped before it\n", Printable(name).c_str());
  }
  if (result.passed) {
    std::printf("All %d member(s) OK\n", tested);
    return kExitOk;
  }
  std::printf("%d member(s) failed\n", failed);
  return kExitMemberFailed;
}

}  // namespace lzhcli
