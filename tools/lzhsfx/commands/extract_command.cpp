// lzhsfx extract FILE [-C DIR] [--no-paths] [--overwrite | --skip | --ask]
//                [-p] [-q | -v] [MEMBER...]
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>

#include "commands/archive_operand.h"
#include "commands/command_line.h"
#include "commands/commands.h"
#include "console/outcome_text.h"
#include "console/reporting.h"
#include "console/terminal.h"
#include "session/archive_session.h"
#include "session/member_time.h"
#include "system/tool_platform.h"

namespace lzhcli {

namespace {

const char kUsage[] =
    "usage: lzhsfx extract FILE [-C DIR] [--no-paths] [--overwrite | --skip | --ask]\n"
    "                      [-p] [-q | -v] [--charset NAME] [MEMBER...]\n"
    "Extracts the members named (as `lzhsfx list` shows them; * and ? match, case\n"
    "is ignored), or every member, into DIR (default: the current directory).\n"
    "FILE - reads the archive from standard input.\n"
    "  -C DIR        extract into DIR, made when missing\n"
    "  --no-paths    ignore stored directories: every file lands in DIR itself\n"
    "  --overwrite   replace existing files without asking\n"
    "  --skip        leave existing files alone\n"
    "  --ask         ask about each existing file: yes, no, always, never, quit\n"
    "                (answers are read from standard input). The default asks\n"
    "                on a terminal; without one an existing file is skipped,\n"
    "                named on stderr, and the exit status is 1\n"
    "  -p, --stdout  write the members' bytes to standard output, not to files;\n"
    "                print nothing but errors (with -v, also lines and the summary)\n"
    "  -q, --quiet   print nothing but errors\n"
    "  -v, --verbose one line per member with what became of it\n"
    "  --charset NAME  read stored names in NAME (any charset iconv knows, such\n"
    "                as CP932 or CP437), or: auto (the default: UTF-8 and ASCII\n"
    "                kept, else Shift-JIS when the name reads plausibly as such,\n"
    "                else CP437 or CP1252 when its bytes are letters there, else\n"
    "                the bytes; a header's code page decides), raw (the bytes as\n"
    "                stored). UTF-16 names in a header are read in preference,\n"
    "                except raw\n"
    "  --version     print the version\n"
    "Exit status: 0 nothing failed; 1 a member failed, or was skipped because\n"
    "nobody could be asked, or a MEMBER matched nothing (the rest is extracted);\n"
    "2 bad usage or no archive; killed by a signal: the\n"
    "signal's conventional status.\n";

// The facts the overwrite question shows about a file.
std::string FileFacts(std::uint64_t size, const std::string& time) {
  return std::to_string(size) + " bytes, " + time;
}

std::string ExistingFacts(std::string path) {
#ifndef _WIN32
  for (auto& c : path) c = c == '\\' ? '/' : c;
#endif
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return "(cannot be read)";
  std::time_t seconds = st.st_mtime;
  char text[32] = "(no valid time)";
  if (std::tm* local = std::localtime(&seconds))
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
  return FileFacts(static_cast<std::uint64_t>(st.st_size), text);
}

// The terminal's side of the overwrite question: yes, no, always (yes and
// don't ask again), never (no and don't ask again), quit (no, and nothing
// more is extracted). False at the end of the input: nobody is there to
// answer.
bool AskOnTerminal(ConsoleDialog& dialog, const lzh::MemberHeader& incoming,
                   const std::string& directory, bool& quit) {
  std::string stored =
      dialog.current >= 0 ? dialog.entries[static_cast<std::size_t>(dialog.current)].name : "";
  std::fflush(stdout);
  std::fprintf(
      stderr, "%s already exists in %s\n  existing: %s\n  incoming: %s\n",
      Printable(stored).c_str(), Printable(directory).c_str(),
      ExistingFacts(directory + "/" + stored).c_str(),
      FileFacts(static_cast<std::uint64_t>(incoming.originalSize), FormatMemberTime(incoming))
          .c_str());
  for (;;) {
    std::fputs("Overwrite? [y]es, [n]o, [a]lways, n[e]ver, [q]uit: ", stderr);
    std::fflush(stderr);
    std::string reply;
    if (!std::getline(std::cin, reply)) {
      std::fputs("\n", stderr);
      return false;
    }
    char c = reply.empty() ? 0 : static_cast<char>(reply[0] | 0x20);
    if (reply == "never" || c == 'e') {
      dialog.policy = lzh::Skip;
      dialog.answer = 0;
    } else if (c == 'a') {
      dialog.policy = lzh::Overwrite;
      dialog.answer = 1;
    } else if (c == 'y' || c == 'n') {
      // A policy of Overwrite chosen meanwhile leaves the earlier answer.
      if (dialog.policy != lzh::Overwrite) dialog.answer = c == 'y' ? 1 : 0;
    } else if (c == 'q') {
      quit = true;
      dialog.policy = lzh::Skip;
      dialog.answer = 0;
      for (auto& entry : dialog.entries) {
        if (!entry.visited) entry.selected = false;
      }
    } else {
      std::fputs(
          "Please answer y (replace it), n (keep it), a (replace all), e (keep all) or "
          "q (stop extracting).\n",
          stderr);
      continue;
    }
    return true;
  }
}

// The walk names the deepest directory it wanted; the user is told the
// first one on the way that is no directory, often -C DIR itself.
std::string BlockedDirectory(lzh::FileSystem& fs, const std::string& path) {
  for (std::size_t end = path.find_first_of("/\\", 1); end != std::string::npos;
       end = path.find_first_of("/\\", end + 1)) {
    if (!fs.IsDirectory(path.substr(0, end).c_str())) return path.substr(0, end);
  }
  return path;
}

// A path under the current directory as the user would type it: relative.
// The walk's paths separate with "\\".
std::string RelativeTo(const std::string& current, std::string path) {
  auto separator = [](char c) { return c == '/' || c == '\\'; };
  if (current.empty() || path.size() <= current.size() + 1 || !separator(path[current.size()]))
    return path;
  for (std::size_t i = 0; i < current.size(); ++i) {
    if (path[i] != current[i] && !(separator(path[i]) && separator(current[i]))) return path;
  }
  return path.substr(current.size() + 1);
}

ItemResult ResultOf(const lzh::MemberOutcome& outcome, bool unattended) {
  if (outcome.kind == lzh::OutcomeKind::Extracted) return ItemResult::Done;
  if (outcome.kind == lzh::OutcomeKind::SkippedExisting)
    return unattended ? ItemResult::Unattended : ItemResult::Skipped;
  if (outcome.kind == lzh::OutcomeKind::PassedOver) return ItemResult::Skipped;
  return ItemResult::Failed;
}

}  // namespace

int ExtractCommand(const Arguments& args) {
  ArchiveOperand operand;
  OperandRules rules;
  rules.check = [](const CommandLine& line) -> std::string {
    if (line.Has("--overwrite") + line.Has("--skip") + line.Has("--ask") > 1)
      return "choose one of --overwrite, --skip and --ask";
    return "";
  };
  int status = TakeArchiveOperand(args,
                                  {{"-C", nullptr, true},
                                   {"--no-paths", nullptr},
                                   {"--overwrite", nullptr},
                                   {"--skip", nullptr},
                                   {"--ask", nullptr},
                                   {"--stdout", "-p"},
                                   {"--charset", nullptr, true}},
                                  kUsage, rules, operand);
  if (status >= 0) return status;
  const CommandLine& line = operand.line;
  const bool toStdout = line.Has("--stdout");
  // Members on stdout go to a pipe or a pager, whose screen the summary and
  // the progress line would share: only errors, unless -v asks for more.
  const Verbosity verbosity =
      toStdout && line.verbosity == Verbosity::Normal ? Verbosity::Quiet : line.verbosity;
  std::string directory = line.Value("-C");
  const bool current = directory.empty();
  if (!toStdout && current && !CurrentDirectory(directory)) {
    std::string message = "cannot tell the current directory";
    message += SystemReason(LastSystemError());
    PrintError(message);
    return kExitUsage;
  }

  // An interruption removes the member being written, so that no fragment
  // stays under its name. Members sent to stdout leave no file behind.
  SessionOptions options;
  options.output = toStdout ? SessionOutput::Stdout : SessionOutput::Files;
  options.charset = operand.charset;
  options.storedPaths = !line.Has("--no-paths");
  options.progress = verbosity != Verbosity::Quiet;
  ArchiveSession session(options);
  std::string error;
  if (!session.Open(operand.path, operand.shown, error)) {
    PrintError(error);
    return kExitUsage;
  }
  ConsoleDialog& dialog = session.Dialog();
  dialog.policy = line.Has("--overwrite") ? lzh::Overwrite
                  : line.Has("--skip")    ? lzh::Skip
                                          : lzh::Confirm;
  session.List();
  // What matches is extracted, also when another pattern matches nothing.
  const std::vector<std::string> unmatched = dialog.SelectMatching(operand.patterns);
  if (!unmatched.empty() && unmatched.size() == operand.patterns.size()) {
    PrintUnmatched(unmatched);
    return kExitMemberFailed;
  }

  // Asked only when a file really exists: at a terminal (or with --ask, from
  // whatever stdin holds) the user answers; without one the file is left
  // alone and named as an error.
  bool quit = false, unattended = false;
  bool terminal = line.Has("--ask") || StdinIsTerminal();
  dialog.onQuestion = [&](ConsoleDialog& d, const std::string&) {
    session.ClearProgress();
    terminal = terminal && AskOnTerminal(d, session.CurrentMember(), directory, quit);
    if (!terminal) {
      d.answer = 0;
      unattended = true;
    }
  };
  Reporter reporter(verbosity, "extracted", toStdout ? stderr : stdout);
  std::string outputPath;
  dialog.onOutcome = [&](const lzh::MemberOutcome& walked) {
    session.ClearProgress();
    lzh::MemberOutcome outcome = walked;
    outputPath = walked.outputPath;
    if (outcome.kind == lzh::OutcomeKind::DirectoryNotMade) {
      outputPath = BlockedDirectory(session.Files(), outputPath);
      outcome.systemError = session.Files().LastError();
    }
    outputPath = RelativeTo(current ? directory : "", outputPath);
    outcome.outputPath = outputPath.c_str();
    ItemResult result = ResultOf(outcome, unattended && outcome.byAnswer);
    unattended = false;
    std::string reason =
        result == ItemResult::Unattended
            ? "skipped: the file exists and nobody was there to ask (--overwrite or --skip "
              "decide without asking)"
        : result == ItemResult::Done && outcome.kind == lzh::OutcomeKind::Extracted
            ? (outcome.crcUnchecked ? kSizeAlone : "")
            : Reason(outcome);
    // A link is not made, and is said so also without -v.
    if (outcome.passReason == lzh::PassReason::SymbolicLink && verbosity == Verbosity::Normal)
      PrintError(MemberLabel(outcome) + ": " + reason);
    reporter.Item(result, MemberLabel(outcome), reason,
                  static_cast<std::uint64_t>(outcome.originalSize));
  };
  // Run also when nothing was listed: the outcomes tell why.
  if (!session.Extract(directory, error)) {
    PrintError(error);
    return kExitUsage;
  }
  for (const auto& name : dialog.Unreached())
    reporter.Item(ItemResult::Failed, Printable(name),
                  "not extracted: extraction stopped before it");
  if (dialog.EntryCount() == 0) {
    PrintError(operand.shown + " holds no member that can be extracted");
    return kExitUsage;
  }
  if (quit)
    PrintError("extraction stopped at your request; the members after it were not extracted");
  const bool damaged = PrintHeaderGaps(session.Reader(), operand.shown);
  const bool missed = PrintUnmatched(unmatched);
  reporter.Summary();
  return reporter.AnyError() || quit || damaged || missed ? kExitMemberFailed : kExitOk;
}

}  // namespace lzhcli
