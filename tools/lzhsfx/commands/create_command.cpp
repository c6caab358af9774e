// lzhsfx create OUT PATH...: archives files and directories into OUT, a
// plain archive, or a self-extracting program when OUT ends in ".exe".
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "archive_writer/archive_writer.h"
#include "archive_writer/utf8_path.h"
#include "commands/command_line.h"
#include "commands/commands.h"
#include "commands/sfx_program.h"
#include "commands/stored_name.h"
#include "commands/tree_walk.h"
#include "console/outcome_text.h"
#include "console/progress.h"
#include "console/reporting.h"
#include "extract/paths.h"
#include "extract/safe_names.h"
#include "names/code_page_text.h"
#include "system/interrupt_registry.h"
#include "system/tool_platform.h"

namespace lzhcli {

namespace {

const char kUsage[] =
    "usage: lzhsfx create OUT PATH... [-C DIR] [-L] [-m lh5|lh6|lh7|lh0] [-1 ... -9]\n"
    "                     [-h 0|1|2] [--charset NAME] [-x PATTERN] [--stub STUB.exe]\n"
    "                     [--title TEXT] [--default-dir DIR] [--run COMMAND]\n"
    "                     [-q | -v]\n"
    "Archives the files and directories named (directories with all they hold,\n"
    "in sorted order) into OUT: an LHA archive, or a self-extracting program\n"
    "when OUT ends in .exe. Each PATH is stored under its last name (/home/me/myapp\n"
    "as myapp/...); \".\" stores what the folder holds.\n"
    "  -C DIR          take the PATHs relative to DIR, and store them as given\n"
    "  -L, --follow-links  archive what symbolic links name (a link back to a\n"
    "                  folder it lies in is skipped)\n"
    "  -m METHOD       lh5 (the default), lh6, lh7, or lh0 (stored); a program\n"
    "                  takes lh5 or lh0\n"
    "  -1 ... -9       effort: -1 fastest, -9 smallest (default -5)\n"
    "  -h LEVEL        header level 0, 1 or 2 (default 2: UTC time stamps, long names);\n"
    "                  1 and 2 keep Unix permissions; a time the level cannot hold\n"
    "                  is stored as the nearest it holds, with a warning\n"
    "  --charset NAME  how names are stored: auto (default: ASCII as it is, others\n"
    "                  in code page 932, or as UTF-16 beside it at level 2), cp932,\n"
    "                  raw (the bytes as they are), or an iconv name\n"
    "  -x PATTERN      leave out paths (or names) that match; * and ? match\n"
    "  --stub STUB.exe the stub for a program (default: the one beside this tool)\n"
    "For a program:\n"
    "  --title TEXT  the dialog's caption (up to 127 characters; '' removes it)\n"
    "  --default-dir DIR  the folder shown at start and used by /S; %NAME%\n"
    "                variables are expanded when the program starts\n"
    "  --run COMMAND run in the extraction folder once every selected member was\n"
    "                extracted; its first word names a file there (setup.exe)\n"
    "  -q              report only what fails (no warnings, summary or progress)\n"
    "  -v              also a line for each member: method, size before and after\n"
    "Symbolic links (without -L) and special files are skipped with a warning;\n"
    "names the self-extracting program would refuse, names holding \"\\\", and a\n"
    "second path stored under a name already taken are not archived. OUT is\n"
    "replaced, with a warning, once the new archive is complete. When\n"
    "SOURCE_DATE_EPOCH is set, every member takes that time stamp, so the same\n"
    "tree gives the same bytes.\n"
    "Exit status: 0 all archived (or skipped as above), 1 a file failed or was not\n"
    "archived (or the archive could not be written), 2 bad usage.\n";

constexpr std::uint64_t kFourGibibytes = std::uint64_t{1} << 32;

struct CreateOptions {
  std::string out;
  std::vector<std::string> paths;
  TreeWalkOptions walk;
  lzhwrite::WriterOptions writer;
  lzhnames::NameCharset charset;  // auto
  std::string stub;
  lzh::sfx::ProgramSettings settings;  // what a program carries
  Verbosity verbosity = Verbosity::Normal;
};

// Whether path ends in ending (lower case), whatever the case of its letters.
bool EndsIn(const std::string& path, const char* ending) {
  const std::size_t length = std::char_traits<char>::length(ending);
  if (path.size() < length) return false;
  std::string tail = path.substr(path.size() - length);
  for (auto& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ending;
}

bool EndsInExe(const std::string& path) { return EndsIn(path, ".exe"); }

bool ParseMethod(std::string text, lzhwrite::Method& method) {
  if (text.size() == 5 && text.front() == '-' && text.back() == '-') text = text.substr(1, 3);
  const std::pair<const char*, lzhwrite::Method> methods[] = {{"lh0", lzhwrite::Method::Lh0},
                                                              {"lh5", lzhwrite::Method::Lh5},
                                                              {"lh6", lzhwrite::Method::Lh6},
                                                              {"lh7", lzhwrite::Method::Lh7}};
  for (const auto& [name, value] : methods) {
    if (text == name) {
      method = value;
      return true;
    }
  }
  return false;
}

// -x may be given more than once: its patterns are taken out first.
Arguments TakeExcludes(const Arguments& args, std::vector<std::string>& excludes) {
  Arguments rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-x" && i + 1 < args.size()) {
      excludes.push_back(args[++i]);
    } else {
      rest.push_back(args[i]);
    }
  }
  return rest;
}

// The options of the command line, or the exit status of a mistake or of
// --help (-1: go on).
int ParseOptions(const Arguments& args, CreateOptions& options) {
  CommandLine line;
  const Arguments rest = TakeExcludes(args, options.walk.excludes);
  int status = ParseCommandLine(
      rest,
      {{"--directory", "-C", true},
       {"--method", "-m", true},
       {"--header-level", "-h", true},  // before the common -h, which is --help elsewhere
       {"--charset", nullptr, true},
       {"--stub", nullptr, true},
       {"--title", nullptr, true},
       {"--default-dir", nullptr, true},
       {"--run", nullptr, true},
       {"--follow-links", "-L", false},
       {"-1", nullptr, false},
       {"-2", nullptr, false},
       {"-3", nullptr, false},
       {"-4", nullptr, false},
       {"-5", nullptr, false},
       {"-6", nullptr, false},
       {"-7", nullptr, false},
       {"-8", nullptr, false},
       {"-9", nullptr, false}},
      kUsage, line);
  if (status >= 0) return status;
  options.verbosity = line.verbosity;
  options.walk.baseDirectory = line.Value("--directory");
  options.walk.followLinks = line.Has("--follow-links");
  options.stub = line.Value("--stub");
  std::string error;
  if (!TakeSettings(line, options.settings, error)) return UsageError(error, kUsage);
  for (char digit = '1'; digit <= '9'; ++digit) {
    if (line.Has(std::string{'-', digit}.c_str())) options.writer.effort = digit - '0';
  }
  if (line.Has("--method") && !ParseMethod(line.Value("--method"), options.writer.method))
    return UsageError("unknown method " + line.Value("--method") + "; choose lh5, lh6, lh7 or lh0",
                      kUsage);
  if (line.Has("--header-level")) {
    const std::string level = line.Value("--header-level");
    if (level != "0" && level != "1" && level != "2")
      return UsageError("unknown header level " + level + "; choose 0, 1 or 2", kUsage);
    options.writer.headerLevel = level[0] - '0';
  }
  if (line.Has("--charset") &&
      !lzhnames::ParseCharset(line.Value("--charset"), options.charset, error))
    return UsageError(error, kUsage);
  if (line.operands.size() < 2)
    return UsageError(line.operands.empty() ? "no archive named"
                                            : "nothing to archive: name files or directories",
                      kUsage);
  options.out = line.operands[0];
  options.paths.assign(line.operands.begin() + 1, line.operands.end());
  return -1;
}

// The encoder takes its tables from the heap for each member and gives them
// back; glibc would hand the memory back to the system each time and fault
// it in again, a millisecond or more per member, most of the time spent on
// a folder of small files. Kept, it is reused.
void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__) && defined(M_TRIM_THRESHOLD) && defined(M_MMAP_THRESHOLD)
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
}

// The reproducible-builds convention: a decimal count of seconds since 1970.
bool SourceDateEpoch(std::optional<std::int64_t>& time, std::string& error) {
  const char* value = std::getenv("SOURCE_DATE_EPOCH");
  if (value == nullptr || *value == 0) return true;
  char* end = nullptr;
  long long seconds = std::strtoll(value, &end, 10);
  if (*end != 0 || seconds < 0) {
    error = std::string("SOURCE_DATE_EPOCH is not a count of seconds: ") + value;
    return false;
  }
  time = seconds;
  return true;
}

// Why the program would refuse the name, or "": the bytes as other programs
// read them, and a UTF-16 name, which the program uses, as the UTF-8 utf8 it
// reads it as. Code page 932's names are judged as a Japanese system splits
// them: never at a trail byte.
std::string RefusalOf(const StoredName& name, const std::string& utf8) {
  // Windows, the program and other archivers all read it as a separator:
  // stored, it would make another tree.
  if (utf8.find('\\') != std::string::npos)
    return "refused: its name holds a \"\\\", which Windows and archivers read as a folder "
           "separator";
  // The program joins the name to an extraction directory of up to 255
  // characters and a "\" in one path buffer.
  auto refusal = [](const std::string& path) {
    return path.size() + 257 >= lzh::kPathBytes ? lzh::NameRefusal::TooLong
                                                : lzh::MemberPathRefusal(path.c_str());
  };
  lzh::MemberOutcome outcome;
  outcome.kind = lzh::OutcomeKind::RefusedName;
  lzh::SetLeadByteTest(name.leadByteTest);
  outcome.refusal = refusal(name.bytes);
  lzh::SetLeadByteTest(nullptr);
  if (outcome.refusal == lzh::NameRefusal::None && !name.utf16.empty())
    outcome.refusal = refusal(utf8);
  return outcome.refusal == lzh::NameRefusal::None ? "" : Reason(outcome);
}

// A path on this system as the user typed it. On POSIX "\" is part of a
// name, not the separator Printable takes it for in members' names.
std::string ShownPath(const std::string& path) {
#ifdef _WIN32
  return Printable(path);
#else
  std::string shown;
  for (std::size_t start = 0;;) {
    const std::size_t backslash = path.find('\\', start);
    shown += Printable(path.substr(start, backslash - start));
    if (backslash == std::string::npos) return shown;
    shown += '\\';
    start = backslash + 1;
  }
#endif
}

// What the user may not expect of OUT: that a file there is replaced, and
// that a name without an archive's ending still gets a plain archive.
void WarnAboutOut(const std::string& out, bool program) {
  if (!program && !EndsIn(out, ".lzh") && !EndsIn(out, ".lha"))
    PrintError("warning: " + Printable(out) +
               " does not end in .lzh, .lha or .exe: it will be a plain LHA archive");
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(lzhwrite::Utf8Path(out), ec);
  if (!ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status))
    PrintError("warning: replacing the existing " + Printable(out) +
               " once the new archive is complete");
}

// fileSize tells a file of 4 GiB or more apart from one that passes 4 GiB
// only with the records a level-1 header counts in its packed size.
std::string WriteErrorText(const lzhwrite::WriteStatus& status, int headerLevel,
                           std::uint64_t fileSize = 0) {
  const std::string system =
      status.systemError != 0
          ? ": " + SystemErrorText(static_cast<std::uint32_t>(status.systemError))
          : "";
  switch (status.error) {
    case lzhwrite::WriteError::CannotOpenSource:
      return "cannot be opened" + system;
    case lzhwrite::WriteError::ReadFailed:
      return "reading it failed" + system;
    case lzhwrite::WriteError::ChangedWhileRead:
      return "skipped: its size changed while it was read";
    case lzhwrite::WriteError::TooLarge:
      if (fileSize < kFourGibibytes)
        return "skipped: with its header's directory record it comes to 4 GiB or more, more "
               "than a level-1 header's 32-bit size holds; header level 2 (-h 2) stores it";
      return "skipped: a file of 4 GiB or more needs header level 2 (-h 2); a level-" +
             std::to_string(headerLevel) + " header holds sizes of 32 bits";
    case lzhwrite::WriteError::OverLimit:
      return "skipped: 2 GiB or more, which the program cannot extract";
    case lzhwrite::WriteError::NameTooLong:
      return "skipped: its stored path does not fit a level-" + std::to_string(headerLevel) +
             " header" + (headerLevel < 2 ? " (-h 2 stores longer paths)" : "");
    case lzhwrite::WriteError::CannotCreate:
      return "cannot be created" + system;
    case lzhwrite::WriteError::WriteFailed:
      return "cannot be written" + system;
    case lzhwrite::WriteError::CannotRename:
      return "cannot take its name" + system;
    default:
      return "cannot be written";
  }
}

bool IsArchiveError(lzhwrite::WriteError error) {
  return error == lzhwrite::WriteError::CannotCreate ||
         error == lzhwrite::WriteError::WriteFailed ||
         error == lzhwrite::WriteError::CannotRename || error == lzhwrite::WriteError::NotOpen;
}

struct Totals {
  std::uint64_t read = 0;  // bytes of the members before the current one
  int clampedTimes = 0;    // members whose time the header level cannot hold
};

// Once for the run: a warning for each member would bury the rest.
void WarnOfClampedTimes(int count, int headerLevel) {
  if (count == 0) return;
  std::string text = "warning: ";
  text += std::to_string(count);
  text += count == 1 ? " member has a time" : " members have times";
  text += " that a level-";
  text += std::to_string(headerLevel);
  text += headerLevel >= 2 ? " header cannot hold (before 1970-01-01 or after 2106-02-07 UTC)"
                           : " header cannot hold (before 1980-01-01 or after 2107-12-31)";
  text += "; stored as the nearest time it holds";
  PrintError(text);
}

// A directory entry has no method or sizes to tell.
std::string DoneText(const lzhwrite::MemberSummary& summary, bool isDirectory,
                     Verbosity verbosity) {
  if (verbosity != Verbosity::Verbose || isDirectory) return "added";
  std::string text = "added, ";
  text += std::string(summary.method, 5) + ", " + ByteCount(summary.originalSize) + " to " +
          std::to_string(summary.packedSize);
  return text;
}

// Stored paths that differ only in case. Where case is ignored, as on
// Windows, two such files are one, and the program would ask whether the
// second may overwrite the first; a file and a directory of one name
// cannot both be made. Two such directories merge, which loses nothing.
// Letters are matched as ASCII: the names are UTF-8, whose other letters
// the systems fold each by its own tables.
class CaseClashes {
 public:
  // The earlier path that path (or a directory on its way) clashes with,
  // or "": each clash is told once.
  std::string Note(const std::string& path, bool isDirectory) {
    for (std::size_t slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
      std::string clash = Enter(path.substr(0, slash), true);
      if (!clash.empty()) return clash;
    }
    return Enter(path, isDirectory);
  }

 private:
  struct Seen {
    std::string path;
    bool isDirectory;
    bool told;
  };
  std::string Enter(const std::string& path, bool isDirectory) {
    std::string folded = path;
    for (char& c : folded)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    auto [at, added] = seen_.try_emplace(folded, Seen{path, isDirectory, false});
    Seen& seen = at->second;
    if (added || seen.path == path || seen.told || (isDirectory && seen.isDirectory)) return "";
    seen.told = true;
    return seen.path;
  }
  std::map<std::string, Seen> seen_;
};

// Has the writer pack the small files from entries[first] on ahead, two at
// once, as many as hold a few MiB; returns the index of the entry after
// them. A larger file ends the run: the writer packs it by segments, on
// both threads.
std::size_t PackAhead(lzhwrite::ArchiveWriter& writer, const std::vector<TreeEntry>& entries,
                      std::size_t first) {
  constexpr std::uint64_t kAheadBytes = 4 << 20;
  constexpr std::size_t kAheadFiles = 512;
  std::vector<std::string> paths;
  std::uint64_t bytes = 0;
  std::size_t index = first;
  for (; index < entries.size() && bytes < kAheadBytes && paths.size() < kAheadFiles; ++index) {
    const TreeEntry& entry = entries[index];
    if (entry.isDirectory) continue;
    if (entry.size > lzhwrite::kLargestPackedAhead) break;
    paths.push_back(entry.sourcePath);
    bytes += entry.size;
  }
  if (paths.size() > 1) writer.PackAhead(paths);
  return index > first ? index : first + 1;
}

// Adds the entries to writer; false when the archive itself failed, or
// grew past archiveReach (a program's archive: the stub cannot read it).
bool AddEntries(lzhwrite::ArchiveWriter& writer, const std::vector<TreeEntry>& entries,
                const CreateOptions& options, std::uint64_t archiveReach, Reporter& reporter,
                Progress& progress, Totals& totals) {
  CaseClashes clashes;
  std::size_t packedUntil = 0;  // entries before it are packed ahead, or need not be
  for (std::size_t index = 0; index < entries.size(); ++index) {
    const TreeEntry& entry = entries[index];
    if (index >= packedUntil) packedUntil = PackAhead(writer, entries, index);
    StoredName name;
    std::string problem;
    if (!MakeStoredName(entry.storedPath, options.charset, options.writer.headerLevel,
                        EndsInExe(options.out), name, problem) ||
        !(problem = RefusalOf(name, entry.storedPath)).empty()) {
      progress.Clear();
      reporter.Item(ItemResult::Failed, ShownPath(entry.sourcePath),
                    problem + (problem.rfind("refused", 0) == 0 ? "; not archived" : ""));
      totals.read += entry.size;
      continue;
    }
    lzhwrite::MemberSource source{entry.sourcePath, name.bytes, name.utf16, entry.unixTime,
                                  entry.unixMode};
    lzhwrite::MemberSummary summary;
    progress.StartItem(Printable(entry.storedPath), entry.size);
    lzhwrite::WriteStatus status =
        entry.isDirectory ? writer.AddDirectory(source) : writer.AddFile(source, &summary);
    totals.read += entry.size;
    progress.Clear();
    if (!status.Ok()) {
      if (IsArchiveError(status.error)) {
        PrintError(Printable(options.out) + ": " +
                   WriteErrorText(status, options.writer.headerLevel) + "; nothing was written");
        return false;
      }
      reporter.Item(ItemResult::Failed, ShownPath(entry.sourcePath),
                    WriteErrorText(status, options.writer.headerLevel, entry.size));
      continue;
    }
    // The end marker follows.
    if (static_cast<std::uint64_t>(writer.Size()) + 1 > archiveReach) {
      PrintError("refusing to write " + Printable(options.out) + ": with " +
                 Printable(entry.storedPath) +
                 " it would be 2 GiB or more, beyond what the program can read; nothing was "
                 "written");
      return false;
    }
    if (!lzhwrite::TimeFits(entry.unixTime, options.writer.headerLevel)) ++totals.clampedTimes;
    reporter.Item(ItemResult::Done, Printable(entry.storedPath) + (entry.isDirectory ? "/" : ""),
                  DoneText(summary, entry.isDirectory, options.verbosity), summary.originalSize);
    const std::string clash = clashes.Note(entry.storedPath, entry.isDirectory);
    if (!clash.empty()) {
      PrintError("warning: " + Printable(clash) + " and " + Printable(entry.storedPath) +
                 " differ only in case: where case is ignored, as on Windows, they are one "
                 "name, and only one of them can be extracted there");
    }
  }
  return true;
}

}  // namespace

int CreateCommand(const Arguments& args, const std::string& programPath) {
  CreateOptions options;
  std::string error;
  int parsed = ParseOptions(args, options);
  if (parsed >= 0) return parsed;
  if (!SourceDateEpoch(options.walk.fixedTime, error)) return UsageError(error, kUsage);
  const bool program = EndsInExe(options.out);
  if (program && options.writer.method != lzhwrite::Method::Lh5 &&
      options.writer.method != lzhwrite::Method::Lh0) {
    PrintError(std::string("a self-extracting program decodes -lh0-, -lh1-, -lh4- and -lh5- "
                           "only, so ") +
               lzhwrite::MethodText(options.writer.method) + " cannot go into " +
               Printable(options.out) + "; use -m lh5 or lh0, or write a .lzh archive");
    return kExitUsage;
  }
  if (!program && options.settings.Any()) {
    PrintError("--title, --default-dir and --run are for a program (OUT ending in .exe)");
    return kExitUsage;
  }
  if (program && options.stub.empty())
    options.stub = FindStub(lzhnames::SystemNameToUtf8(programPath));
  if (program && options.stub.empty()) {
    PrintError("no stub found beside this program to make " + Printable(options.out) +
               "; name one with --stub");
    return kExitUsage;
  }
  // What the stub reaches: its own bytes, then the archive's.
  std::uint64_t archiveReach = UINT64_MAX;
  if (program) {
    std::error_code ec;
    const std::uintmax_t stubBytes =
        std::filesystem::file_size(lzhwrite::Utf8Path(options.stub), ec);
    archiveReach = ec || stubBytes > kProgramReach ? kProgramReach : kProgramReach - stubBytes;
    options.writer.largestFile = kProgramReach;
  }

  if (options.verbosity != Verbosity::Quiet) WarnAboutOut(options.out, program);
  options.walk.skipFile = options.out;
  std::vector<TreeNotice> skipped;
  std::vector<TreeEntry> entries = CollectTree(options.paths, options.walk, skipped);
  Reporter reporter(options.verbosity, "added");
  reporter.MembersAreDone();
  for (const auto& notice : skipped) {
    if (notice.failed) {
      reporter.Item(ItemResult::Failed, ShownPath(notice.path), notice.reason);
    } else {
      reporter.Warn(ShownPath(notice.path), notice.reason);
    }
  }
  std::uint64_t totalBytes = 0;
  for (const auto& entry : entries) totalBytes += entry.size;
  Progress progress(totalBytes, options.verbosity != Verbosity::Quiet);
  Totals totals;
  options.writer.onRead = [&](std::int64_t bytesRead) {
    const auto done = static_cast<std::uint64_t>(bytesRead);
    progress.Update(done, totals.read + done);
  };

  KeepFreedMemoryForReuse();
  InterruptsCaught caught;
  InterruptRemovals removal;
  lzhwrite::ArchiveWriter writer(options.writer);
  lzhwrite::WriteStatus status;
  {
    InterruptsHeld hold;  // the file is made and noted for removal at once
    status = writer.Open(options.out);
    if (status.Ok()) removal.Note(writer.TemporaryPath(), "the partly written");
  }
  // The file made first has a temporary name beside OUT: OUT is what the
  // user knows.
  if (!status.Ok()) {
    PrintError(Printable(options.out) + ": " + WriteErrorText(status, 0));
    return kExitMemberFailed;
  }
  if (!AddEntries(writer, entries, options, archiveReach, reporter, progress, totals))
    return kExitMemberFailed;
  WarnOfClampedTimes(totals.clampedTimes, options.writer.headerLevel);
  if (reporter.Count(ItemResult::Done) == 0) {
    writer.Abandon();
    PrintError("nothing was archived, so " + Printable(options.out) + " was not written");
    return kExitMemberFailed;
  }
  // A program's archive stays under its temporary name, which no other run
  // shares, to be copied behind the stub from there.
  status = program ? writer.Complete() : writer.Finish();
  if (!status.Ok()) {
    PrintError(Printable(options.out) + ": " + WriteErrorText(status, 0) + "; nothing was written");
    return kExitMemberFailed;
  }
  // What this run wrote: OUT may already hold another's by now.
  std::uint64_t outBytes = static_cast<std::uint64_t>(writer.Size()) + 1;
  if (program) {
    std::uint32_t offset = 0;
    bool made = WriteProgram(
        options.stub, writer.TemporaryPath(), ArchiveExtent{0, outBytes}, options.out,
        options.settings, offset, error,
        [&removal](const std::string& path) { removal.Note(path, "the partly written"); });
    writer.Abandon();
    if (!made) {
      PrintError(error);
      return kExitMemberFailed;
    }
    outBytes += offset;
  }
  reporter.Summary();
  if (options.verbosity != Verbosity::Quiet)
    std::printf("%s: %ju bytes\n", Printable(options.out).c_str(),
                static_cast<std::uintmax_t>(outBytes));
  return reporter.AnyError() ? kExitMemberFailed : kExitOk;
}

}  // namespace lzhcli
