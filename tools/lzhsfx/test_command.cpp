// lzhsfx test FILE [MEMBER...]: the members decoded into a sink that only
// folds the CRC, through the same walk that extracts.
#include <cstdio>

#include "archive_file.h"
#include "archive_operand.h"
#include "command_line.h"
#include "commands.h"
#include "console_dialog.h"
#include "member_names.h"
#include "null_output_file_system.h"
#include "outcome_text.h"
#include "progress_file_system.h"
#include "read_ahead_file_system.h"
#include "tool_platform.h"
#include "write_behind_file_system.h"

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
    "Exit status: 0 every member tested OK; 1 a member failed or was untested;\n"
    "2 bad usage or no archive.\n";
}

int TestCommand(const Arguments& args) {
  ArchiveOperand operand;
  int status = TakeArchiveOperand(args, {{"--charset", nullptr, true}}, kUsage, {}, operand);
  if (status >= 0) return status;
  const CommandLine& line = operand.line;
  const std::string& path = operand.path;
  const lzhnames::NameCharset& charset = operand.charset;

  ReadAheadFileSystem archiveReads(ToolFileSystem());
  NullOutputFileSystem nowhere(archiveReads);
  // The CRC is folded on a second thread while the next bytes decode,
  // where a core is free for it.
  WriteBehindFileSystem behind(nowhere);
  const bool writeBehind = SecondCoreIsFree();
  Progress progress(0, line.verbosity != Verbosity::Quiet);
  ProgressFileSystem fs(writeBehind ? static_cast<lzh::FileSystem&>(behind) : nowhere, progress);
  OpenedArchive opened;
  std::string error;
  if (!OpenArchive(fs, path, opened, error, operand.shown)) {
    PrintError(error);
    return kExitUsage;
  }
  progress.SetTotal(fs.Size(opened.handle));
  lzh::WalkSession session(fs);
  WriteBehindDecoding behindStage(behind, lzh::ToolDecoders());
  session.decoders =
      writeBehind ? static_cast<lzh::MemberDecoder*>(&behindStage) : &lzh::ToolDecoders();
  session.passOverUnsupported = true;
  session.archive.anyMethod = true;
  MemberNames names(charset);
  names.Observe(session.archive);
  session.nameReader = &names;
  session.archive.archiveHandle = opened.handle;
  session.archiveStart = opened.start;
  ConsoleDialog dialog;
  fs.Watch(session.archive.currentMember, dialog);
  dialog.policy = lzh::Overwrite;
  lzh::WalkArchive(session, dialog, lzh::WalkMode::List);
  std::string unmatched;
  if (dialog.EntryCount() != 0 && !dialog.SelectMatching(operand.patterns, unmatched)) {
    PrintError("no member matches " + Printable(unmatched));
    fs.Close(opened.handle);
    return kExitMemberFailed;
  }
  Reporter reporter(line.verbosity, "OK");
  reporter.NeverSkips();
  dialog.onOutcome = [&](const lzh::MemberOutcome& outcome) {
    progress.Clear();
    if (outcome.kind == lzh::OutcomeKind::PassedOver) return;
    std::string label = MemberLabel(outcome);
    if (outcome.Passed()) {
      reporter.Item(ItemResult::Done, label, "",
                    static_cast<std::uint64_t>(session.archive.currentMember.originalSize));
    } else if (outcome.kind == lzh::OutcomeKind::UnsupportedMethod) {
      reporter.Item(ItemResult::Untested, label,
                    "untested: unsupported method " + Printable(outcome.method));
    } else {
      bool cut = outcome.damage == lzh::Damage::Size &&
                 EndsInsideMember(path, opened.start, outcome.storedName, charset);
      reporter.Item(ItemResult::Failed, label, Reason(outcome, cut));
    }
  };
  lzh::CopyText(session.extractPath, sizeof session.extractPath,
                NullOutputFileSystem::kExtractPath);
  lzh::WalkArchive(session, dialog, lzh::WalkMode::Extract);
  progress.Clear();
  fs.Close(opened.handle);
  if (dialog.EntryCount() == 0) {
    PrintError(operand.shown + " holds no member that can be extracted");
    return kExitUsage;
  }
  for (const auto& name : dialog.Unreached())
    reporter.Item(ItemResult::Untested, Printable(name), "untested: the check stopped before it");
  reporter.Summary();
  return reporter.AnyError() ? kExitMemberFailed : kExitOk;
}

}  // namespace lzhcli
