// lzhsfx extract FILE [-C DIR] [--no-paths] [--overwrite | --skip | --ask]
//                [MEMBER...]
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "archive_file.h"
#include "commands.h"
#include "console_dialog.h"
#include "interruption.h"
#include "outcome_text.h"
#include "read_ahead_file_system.h"
#include "wildcard.h"
#include "write_behind_file_system.h"

namespace lzhcli {

namespace {

const char kUsage[] =
    "usage: lzhsfx extract FILE [-C DIR] [--no-paths] [--overwrite | --skip | --ask]\n"
    "                      [MEMBER...]\n"
    "Extracts the members named (as `lzhsfx list` shows them; * and ? match, case\n"
    "is ignored), or every member, into DIR (default: the current directory).\n"
    "  --no-paths   ignore stored directories: every file lands in DIR itself\n"
    "  --overwrite  replace existing files without asking\n"
    "  --skip       leave existing files alone\n"
    "  --ask        ask about each existing file: yes, no, always, never\n"
    "               (the default on a terminal)\n"
    "Exit status: 0 nothing failed, 1 a member failed, 2 bad usage or no archive.\n";

struct ExtractOptions {
  std::string file;
  std::string directory;
  bool storedPaths = true;
  int policy = -1;  // -1: none chosen
  bool ask = false;
  std::vector<std::string> members;
};

bool ParseOptions(const Arguments& args, ExtractOptions& options, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-C") {
      if (++i == args.size()) {
        error = "-C needs a directory";
        return false;
      }
      options.directory = args[i];
    } else if (a == "--no-paths") {
      options.storedPaths = false;
    } else if (a == "--overwrite" || a == "--skip" || a == "--ask") {
      if (options.policy != -1 || options.ask) {
        error = "choose one of --overwrite, --skip and --ask";
        return false;
      }
      if (a == "--ask") {
        options.ask = true;
        options.policy = lzh::Confirm;
      } else {
        options.policy = a == "--overwrite" ? lzh::Overwrite : lzh::Skip;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return false;
    } else if (options.file.empty()) {
      options.file = a;
    } else {
      options.members.push_back(a);
    }
  }
  if (options.file.empty()) {
    error = "no archive named";
    return false;
  }
  return true;
}

// The terminal's side of the overwrite question: yes, no, always (yes and
// don't ask again), never (no and don't ask again).
void AskOnTerminal(ConsoleDialog& dialog, const std::string& fileName) {
  for (;;) {
    std::fprintf(stderr, "%s...already exists, overwrite? [y]es, [n]o, [a]lways, n[e]ver: ",
                 Printable(fileName).c_str());
    std::fflush(stderr);
    // The end of the input answers No.
    std::string reply;
    bool answered = static_cast<bool>(std::getline(std::cin, reply));
    char c = !answered ? 'n' : reply.empty() ? 0 : static_cast<char>(reply[0] | 0x20);
    if (reply == "never" || c == 'e') {
      dialog.policy = lzh::Skip;
      dialog.answer = 0;
    } else if (c == 'a') {
      dialog.policy = lzh::Overwrite;
      dialog.answer = 1;
    } else if (c == 'y' || c == 'n') {
      // A policy of Overwrite chosen meanwhile leaves the earlier answer.
      if (dialog.policy != lzh::Overwrite) dialog.answer = c == 'y' ? 1 : 0;
    } else {
      continue;
    }
    return;
  }
}

}  // namespace

int ExtractCommand(const Arguments& args) {
  for (const auto& a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    }
  }
  ExtractOptions options;
  std::string error;
  if (!ParseOptions(args, options, error)) {
    PrintError(error);
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (options.policy == -1) {
    if (!isatty(0)) {
      PrintError(
          "existing files would need a question, but there is no terminal to ask: "
          "choose --overwrite, --skip or --ask");
      return kExitUsage;
    }
    options.ask = true;
    options.policy = lzh::Confirm;
  }

  // An interruption removes the member being written, so that no fragment
  // stays under its name.
  // Files are written on a second thread while the next bytes decode,
  // where a core is free for it.
  ReadAheadFileSystem archiveReads(lzh::HostFileSystem());
  InterruptibleOutputs interruptible(archiveReads);
  WriteBehindFileSystem behind(interruptible);
  const bool writeBehind = SecondCoreIsFree();
  lzh::FileSystem& fs = writeBehind ? static_cast<lzh::FileSystem&>(behind) : interruptible;
  OpenedArchive opened;
  if (!OpenArchive(fs, options.file, opened, error)) {
    PrintError(error);
    return kExitUsage;
  }
  lzh::WalkSession session(fs);
  session.decoderForMethod = writeBehind ? WriteBehindDecoderForMethod : lzh::ToolDecoderForMethod;
  session.archive.archiveHandle = opened.handle;
  session.archiveStart = opened.start;
  ConsoleDialog dialog;
  dialog.storedPaths = options.storedPaths;
  dialog.policy = static_cast<std::uint8_t>(options.policy);
  if (options.ask) dialog.onQuestion = AskOnTerminal;

  lzh::WalkArchive(session, dialog, lzh::WalkMode::List);
  if (options.members.empty()) {
    dialog.SelectAll();
  } else {
    for (const auto& pattern : options.members) {
      bool matched = false;
      for (auto& entry : dialog.entries) {
        if (WildcardMatch(pattern, entry.name)) entry.selected = matched = true;
      }
      if (!matched) {
        PrintError("no member matches " + pattern);
        fs.Close(opened.handle);
        return kExitMemberFailed;
      }
    }
  }

  std::string directory = options.directory;
  if (directory.empty()) {
    char cwd[lzh::kPathBytes];
    if (getcwd(cwd, sizeof cwd) == nullptr) {
      PrintError("cannot tell the current directory");
      fs.Close(opened.handle);
      return kExitUsage;
    }
    directory = cwd;
  }
  if (!lzh::CopyText(session.extractPath, sizeof session.extractPath - 1, directory.c_str())) {
    PrintError("the directory's path is too long: " + directory);
    fs.Close(opened.handle);
    return kExitUsage;
  }

  bool failed = false;
  dialog.onOutcome = [&](const lzh::MemberOutcome& outcome) {
    std::string line = MemberLabel(outcome) + ": " + Reason(outcome);
    if (outcome.Failed()) {
      failed = true;
      PrintError(line);
    } else {
      std::printf("%s\n", line.c_str());
    }
  };
  // Run also when nothing was listed: the outcomes tell why.
  lzh::WalkArchive(session, dialog, lzh::WalkMode::Extract);
  fs.Close(opened.handle);
  for (const auto& name : dialog.Unreached())
    PrintError(Printable(name) + ": not extracted: extraction stopped before it");
  if (dialog.EntryCount() == 0) {
    PrintError(options.file + " holds no member that can be extracted");
    return kExitUsage;
  }
  return failed || dialog.SelectedCount() != 0 ? kExitMemberFailed : kExitOk;
}

}  // namespace lzhcli
