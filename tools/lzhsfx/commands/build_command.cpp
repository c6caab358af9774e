// lzhsfx build ARCHIVE -o OUT.exe [--stub STUB.exe] [--force] [--repack]: the stub,
// then the archive byte for byte, with the archive's offset written into
// the stub's string resource 4 and the PE checksum over the whole file.
#include <cstdio>

#include "archive/header_cursor.h"
#include "archive_writer/archive_writer.h"
#include "commands/archive_operand.h"
#include "commands/command_line.h"
#include "commands/commands.h"
#include "commands/repack.h"
#include "commands/sfx_program.h"
#include "console/outcome_text.h"
#include "names/code_page_text.h"
#include "names/name_charset.h"
#include "names/unicode_text.h"
#include "session/archive_session.h"
#include "system/interrupt_registry.h"

namespace lzhcli {

namespace {

const char kUsage[] =
    "usage: lzhsfx build ARCHIVE -o OUT.exe [--stub STUB.exe] [--force] [--repack]\n"
    "                    [--title TEXT] [--default-dir DIR] [--run COMMAND]\n"
    "Makes a self-extracting program: the stub followed by ARCHIVE. ARCHIVE may\n"
    "also be a self-extracting program; its archive is taken. ARCHIVE - reads\n"
    "standard input.\n"
    "Refuses an archive the stub could not fully extract (unsupported methods,\n"
    "unsafe names, damaged members, no members) unless --force is given; a file\n"
    "that holds no archive at all is always refused.\n"
    "The stub is found beside this program unless --stub names one.\n"
    "  -o OUT.exe    the program to write\n"
    "  --stub STUB   the stub to use\n"
    "  --force       build even when the stub could not extract everything\n"
    "  --repack      re-encode members the stub cannot decode (-lh6-, -lh7-, other\n"
    "                archivers' methods, level-3 headers) as -lh5-, keeping names,\n"
    "                time stamps and directory entries\n"
    "  --version     print the version\n"
    "When ARCHIVE is a program, the new one keeps its title, folder and command\n"
    "unless these options change them:\n"
    "  --title TEXT  the dialog's caption (up to 127 characters; '' removes it)\n"
    "  --default-dir DIR  the folder shown at start and used by /S; %NAME%\n"
    "                variables are expanded when the program starts\n"
    "  --run COMMAND run in the extraction folder once every selected member was\n"
    "                extracted; its first word names a file there (setup.exe)\n"
    "Exit status: 0 built; 2 bad usage, no archive, or a refusal.\n";

// A name that is not ASCII and has no UTF-16 record: the program shows and
// writes it as the ANSI code page of the system it runs on reads its bytes.
struct CodePageName {
  std::string text;     // as read here, UTF-8
  std::string charset;  // what it was read in ("" kept as stored)
};

// What a program shows of code-page names on other systems. Names with
// UTF-16 records show as made everywhere, and need no word.
std::string CodePageNamesWarning(const std::vector<CodePageName>& names) {
  if (names.empty()) return "";
  bool shiftJis = true;
  for (const auto& name : names) shiftJis = shiftJis && name.charset == "CP932";
  std::string text = std::to_string(names.size()) + " member name(s) are not ASCII and have no " +
                     "UTF-16 name, such as ";
  for (std::size_t i = 0; i < names.size() && i < 3; ++i)
    text += (i == 0 ? "" : ", ") + Printable(names[i].text);
  text += shiftJis ? ": they are stored in code page 932 (Shift-JIS), so the program shows and "
                     "writes them as made only on Windows whose ANSI code page is 932 "
                     "(Japanese); elsewhere, such as on Western Windows (code page 1252), they "
                     "come out as that code page reads their bytes"
                   : ": the program shows and writes them as the ANSI code page of the Windows "
                     "it runs on reads their bytes, so they come out as made only where that "
                     "is the code page of the system that made the archive";
  return text +
         " (lzhsfx create gives a program's names UTF-16 records, which show as made "
         "everywhere)";
}

// The members whose sizes the program cannot count.
void AddBeyondProgram(lzh::FileSystem& fs, const OpenedArchive& opened,
                      std::vector<std::string>& problems) {
  lzh::ArchiveReader reader{fs, opened.handle, 0, {}};
  reader.anyMethod = true;
  lzh::HeaderCursor cursor(reader);
  if (!cursor.Seek(opened.start)) return;
  while (cursor.Read()) {
    const lzh::MemberHeader& m = cursor.Member();
    if (static_cast<lzh::FileSize>(m.originalSize) > kProgramReach ||
        static_cast<lzh::FileSize>(m.DataSize()) > kProgramReach) {
      char name[lzh::kPathBytes];
      lzh::ComposeMemberName(m, cursor.Name(), name);
      problems.push_back(Printable(lzhnames::ReadableText({}, name)) +
                         ": 2 GiB or more, which the program cannot extract");
    }
    if (!cursor.Advance()) break;
  }
}

// Runs the extracting walk without writing anything and collects why the
// stub would not extract everything, and the names shown in a code page.
std::vector<std::string> ProblemsOf(const std::string& archivePath, ArchiveSession& session,
                                    std::vector<CodePageName>& codePageNames) {
  std::vector<std::string> problems;
  ConsoleDialog& dialog = session.Dialog();
  MemberNames& names = session.Names();
  dialog.onOutcome = [&](const lzh::MemberOutcome& outcome) {
    if (!lzhnames::IsAscii(outcome.storedName) && !names.HasUtf16Names())
      codePageNames.push_back({outcome.storedName, names.LastBytesCharset()});
    if (outcome.kind == lzh::OutcomeKind::UnsupportedMethod) {
      problems.push_back(MemberLabel(outcome) + ": the program cannot decode its method " +
                         Printable(outcome.method));
    } else if (outcome.Failed()) {
      problems.push_back(MemberLabel(outcome) + ": " + Reason(outcome));
    }
  };
  // The program's own methods: what it could not decode refuses the build.
  // Names are checked as the other commands check them: a "\" that is the
  // trail byte of a double-byte character (in the charset the name reads
  // as) separates nothing.
  session.List();
  dialog.SelectAll();
  std::string error;
  session.Extract("", error);
  for (const auto& name : dialog.Unreached())
    problems.push_back(Printable(name) + ": not reached: the check stopped before it");
  if (dialog.EntryCount() == 0)
    problems.push_back(archivePath + " holds no member that can be extracted");
  AddBeyondProgram(session.Files(), session.Opened(), problems);
  return problems;
}

// Builds outPath from the archive at archivePath with the stub at
// stubPath (in UTF-8); the exit status.
int MakeProgram(const std::string& archivePath, const std::string& outPath,
                const std::string& stubPath, const lzh::sfx::ProgramSettings& settings, bool force,
                InterruptRemovals& removal) {
  // A file that holds no archive is refused even with --force.
  SessionOptions options;
  options.programMethods = true;
  options.host = &lzh::HostFileSystem();
  ArchiveSession session(options);
  std::string error;
  // build's names are in the system's code page: shown as given.
  if (!session.Open(archivePath, archivePath, error)) {
    PrintError(error + "; refusing to build");
    return kExitUsage;
  }
  const OpenedArchive& opened = session.Opened();
  lzh::FileSystem& fs = session.Files();
  lzh::FileSize end = opened.isProgram ? ArchiveEnd(fs, opened) : fs.Size(opened.handle);
  std::vector<CodePageName> codePageNames;
  std::vector<std::string> problems = ProblemsOf(archivePath, session, codePageNames);
  std::string warning = CodePageNamesWarning(codePageNames);
  if (!warning.empty()) PrintError("warning: " + warning);
  // Even --force makes no program that could not find its archive.
  if (end > kProgramReach) {
    PrintError("refusing to build: " + archivePath +
               " is 2 GiB or more, beyond what the program can read");
    return kExitUsage;
  }
  ArchiveExtent extent{static_cast<std::uint64_t>(opened.start), end};
  if (!problems.empty() && !force) {
    for (const auto& p : problems) PrintError(p);
    PrintError(
        "refusing to build: the program could not extract this archive fully "
        "(--force builds it anyway)");
    if (NeedsRepacking(archivePath))
      PrintError("--repack re-encodes the members it cannot decode as -lh5-, which it decodes");
    return kExitUsage;
  }

  std::uint32_t offset = 0;
  if (!WriteProgram(
          stubPath, lzhnames::SystemNameToUtf8(archivePath), extent,
          lzhnames::SystemNameToUtf8(outPath), settings, offset, error,
          [&removal](const std::string& path) { removal.Note(path, "the partly written"); })) {
    PrintError(error);
    return kExitUsage;
  }
  std::printf("%s: %llu bytes, archive at offset %u\n", outPath.c_str(),
              static_cast<unsigned long long>(offset) + (extent.end - extent.start), offset);
  return kExitOk;
}

// Repacks the archive at archivePath with writer, beside outPath; the exit
// status.
int Repack(const std::string& archivePath, const std::string& outPath,
           lzhwrite::ArchiveWriter& writer, InterruptRemovals& removal) {
  std::vector<RepackedMember> repacked;
  std::string error;
  if (!RepackArchive(
          archivePath, outPath, writer, repacked, error,
          [&removal](const std::string& path) { removal.Note(path, "the partly written"); })) {
    PrintError(error);
    PrintError("refusing to build: " + archivePath + " could not be repacked");
    return kExitUsage;
  }
  for (const auto& member : repacked)
    std::printf("%s: %.5s repacked as -lh5-\n", member.name.c_str(), member.method);
  return kExitOk;
}

}  // namespace

int BuildCommand(const Arguments& args, const std::string& programPath) {
  ArchiveOperand operand;
  OperandRules rules;
  rules.membersFollow = false;
  rules.check = [](const CommandLine& line) -> std::string {
    return line.Value("-o").empty() ? "-o OUT.exe is needed" : "";
  };
  int status = TakeArchiveOperand(args,
                                  {{"-o", nullptr, true},
                                   {"--stub", nullptr, true},
                                   {"--force", nullptr},
                                   {"--repack", nullptr},
                                   {"--title", nullptr, true},
                                   {"--default-dir", nullptr, true},
                                   {"--run", nullptr, true}},
                                  kUsage, rules, operand);
  if (status >= 0) return status;
  const CommandLine& line = operand.line;
  const std::string& archivePath = operand.path;
  const std::string outPath = line.Value("-o");
  // build takes its names as the system's "A" calls do; the program writer
  // takes them in UTF-8.
  std::string stubPath = line.Has("--stub") ? lzhnames::SystemNameToUtf8(line.Value("--stub"))
                                            : FindStub(lzhnames::SystemNameToUtf8(programPath));
  if (stubPath.empty()) {
    PrintError("no stub found beside this program; name one with --stub");
    return kExitUsage;
  }

  // A program's settings go on into the new one unless changed here.
  lzh::sfx::ProgramSettings settings = SettingsOf(lzhnames::SystemNameToUtf8(archivePath));
  std::string error;
  if (!TakeSettings(line, settings, error)) return UsageError(error, kUsage);

  // Repacked beside the output, then built from like any archive.
  const bool force = line.Has("--force");
  InterruptsCaught caught;
  InterruptRemovals removal;
  if (line.Has("--repack") && NeedsRepacking(archivePath)) {
    lzhwrite::ArchiveWriter writer(lzhwrite::WriterOptions{});  // -lh5- at the default effort
    status = Repack(archivePath, outPath, writer, removal);
    if (status != kExitOk) return status;
    // The temporary name in the system's names: the part added is ASCII.
    const std::string repackedPath =
        outPath + writer.TemporaryPath().substr(lzhnames::SystemNameToUtf8(outPath).size());
    return MakeProgram(repackedPath, outPath, stubPath, settings, force, removal);
  }
  return MakeProgram(archivePath, outPath, stubPath, settings, force, removal);
}

}  // namespace lzhcli
