// lzhsfx test FILE [MEMBER...]: the members decoded into a sink that only
// folds the CRC, through the same walk that extracts.
#include <cstdio>

#include "commands/archive_operand.h"
#include "commands/command_line.h"
#include "commands/commands.h"
#include "console/outcome_text.h"
#include "console/reporting.h"
#include "session/archive_session.h"

namespace lzhcli {

namespace {
const char kUsage[] =
    "usage: lzhsfx test FILE [-q | -v] [--charset NAME] [MEMBER...]\n"
    "Decodes the members named (* and ? match, case is ignored), or every member,\n"
    "without writing files, and checks each one's CRC-16. Each failing member is\n"
    "named with the reason, and the rest are still tested; a member whose method\n"
    "this program cannot decode is reported as untested. FILE - reads standard input.\n"
    "  -q, --quiet   print nothing but errors\n"
    "  -v, --verbose one line per member: OK or what went wrong\n"
    "  --charset NAME how stored names are read (see `lzhsfx extract --help`)\n"
    "  --version     print the version\n"
    "Exit status: 0 every member tested OK; 1 a member failed or was untested,\n"
    "or a MEMBER matched nothing (the rest is tested);\n"
    "2 bad usage or no archive.\n";
}

int TestCommand(const Arguments& args) {
  ArchiveOperand operand;
  int status = TakeArchiveOperand(args, {{"--charset", nullptr, true}}, kUsage, {}, operand);
  if (status >= 0) return status;
  const CommandLine& line = operand.line;

  SessionOptions options;
  options.charset = operand.charset;
  options.progress = line.verbosity != Verbosity::Quiet;
  ArchiveSession session(options);
  std::string error;
  if (!session.Open(operand.path, operand.shown, error)) {
    PrintError(error);
    return kExitUsage;
  }
  ConsoleDialog& dialog = session.Dialog();
  session.List();
  // What matches is tested, also when another pattern matches nothing.
  const std::vector<std::string> unmatched = dialog.SelectMatching(operand.patterns);
  if (dialog.EntryCount() != 0 && unmatched.size() == operand.patterns.size() &&
      !unmatched.empty()) {
    PrintUnmatched(unmatched);
    return kExitMemberFailed;
  }
  Reporter reporter(line.verbosity, "OK");
  reporter.NeverSkips();
  dialog.onOutcome = [&](const lzh::MemberOutcome& outcome) {
    session.ClearProgress();
    if (outcome.kind == lzh::OutcomeKind::PassedOver) return;
    std::string label = MemberLabel(outcome);
    if (outcome.Passed()) {
      reporter.Item(ItemResult::Done, label, outcome.crcUnchecked ? kSizeAlone : "",
                    static_cast<std::uint64_t>(outcome.originalSize));
    } else if (outcome.kind == lzh::OutcomeKind::UnsupportedMethod) {
      reporter.Item(ItemResult::Untested, label,
                    "untested: unsupported method " + Printable(outcome.method));
    } else {
      reporter.Item(ItemResult::Failed, label, Reason(outcome));
    }
  };
  session.Extract("", error);
  if (dialog.EntryCount() == 0) {
    PrintError(operand.shown + " holds no member that can be extracted");
    return kExitUsage;
  }
  for (const auto& name : dialog.Unreached())
    reporter.Item(ItemResult::Untested, Printable(name), "untested: the check stopped before it");
  const bool damaged = PrintHeaderGaps(session.Reader(), operand.shown);
  const bool missed = dialog.EntryCount() != 0 && PrintUnmatched(unmatched);
  reporter.Summary();
  return reporter.AnyError() || damaged || missed ? kExitMemberFailed : kExitOk;
}

}  // namespace lzhcli
