// lzhsfx: list, test and extract LHA archives and the programs made from
// them, and build such programs.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "codec/crc16.h"
#include "commands/command_line.h"
#include "commands/commands.h"
#include "commands/version.h"
#include "system/tool_platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace lzhcli {

namespace {

const char kUsage[] =
    "usage: lzhsfx COMMAND ...\n"
    "  list FILE [-b] [MEMBER...]  list the members, with a header and totals\n"
    "  test FILE [MEMBER...]       check the members' CRCs without writing files\n"
    "  extract FILE [-C DIR] [--no-paths] [--overwrite|--skip|--ask] [-p] [MEMBER...]\n"
    "  build ARCHIVE -o OUT.exe [--stub STUB.exe] [--force] [--repack]\n"
    "  create OUT PATH...          archive files and directories (OUT.exe: a program)\n"
    "  --version                   print the version\n"
    "FILE is an LHA archive, a self-extracting program, or - for standard input.\n"
    "Every command takes -q (errors only), -v (a line per member), --version and\n"
    "--help (also -h, but for create, where -h is the header level);\n"
    "`lzhsfx COMMAND --help` tells more. The single letters of older LHA tools\n"
    "work too: l (list), v (list -v), t (test), x and e (extract), p (extract -p),\n"
    "c (create); a (add to an archive) is refused.\n"
    "Exit status: 0 nothing failed, 1 a member failed or was skipped unattended,\n"
    "2 bad usage or no archive.\n";

std::string ProgramPath(const char* argv0) {
#ifdef _WIN32
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n > 0 && n < sizeof path) return path;
#else
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n > 0) return std::string(path, static_cast<std::size_t>(n));
#endif
  return argv0;
}

// The single letters that the older LHA tools' users type, each as the
// command (and option) it stands for.
struct Letter {
  const char* letter;
  const char* command;
  const char* option;  // put before the arguments, or nullptr
};
const Letter kLetters[] = {
    {"l", "list", nullptr},    {"v", "list", "-v"},       {"t", "test", nullptr},
    {"x", "extract", nullptr}, {"e", "extract", nullptr}, {"p", "extract", "-p"},
    {"c", "create", nullptr},
};

int RunCommand(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  // build takes its arguments as the system's "A" calls do, the others in
  // UTF-8.
  bool storedBytes = command == "build";
  Arguments args = storedBytes ? Arguments(argv + 2, argv + argc) : ToolArguments(argc, argv);
  if (!storedBytes) PrepareConsole();
  for (const Letter& letter : kLetters) {
    if (command != letter.letter) continue;
    command = letter.command;
    if (letter.option != nullptr) args.insert(args.begin(), letter.option);
  }
  if (command == "list") return ListCommand(args);
  if (command == "test") return TestCommand(args);
  if (command == "extract") return ExtractCommand(args);
  if (command == "build") return BuildCommand(args, ProgramPath(argv[0]));
  if (command == "create") return CreateCommand(args, ProgramPath(argv[0]));
  if (command == "--version") {
    PrintVersion();
    return kExitOk;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  // Taken as create, it would replace the archive it was to add to.
  if (command == "a") {
    PrintError(
        "'a' adds to an existing archive, which lzhsfx cannot do yet; use 'lzhsfx create' to "
        "make a new one");
  } else {
    PrintError(command.empty() ? "no command given" : "unknown command " + Printable(command));
  }
  PrintTryHelp("lzhsfx");
  return kExitUsage;
}

// A listing or a member cut short by a full disk or a closed pipe must not
// pass for success. The reason is known when the last flush fails; an
// earlier failed write may have left no trace but the stream's flag.
int CheckOutput(int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int error = errno;
  if (flushed && std::ferror(stdout) == 0) return status;
  PrintError(
      std::string("cannot write the output: ") +
      (!flushed && error != 0 ? std::strerror(error) : "standard output refused part of it"));
  return status > kExitMemberFailed ? status : kExitMemberFailed;
}

}  // namespace

}  // namespace lzhcli

int main(int argc, char** argv) {
  using namespace lzhcli;
#ifndef _WIN32
  // Past a file size limit (ulimit -f) a write then fails with EFBIG, which
  // is reported like any failed write, instead of killing the process.
  signal(SIGXFSZ, SIG_IGN);
#endif
  lzh::CrcTableScope crcTable;
  lzh::UseSlicedCrc(true);
  return CheckOutput(RunCommand(argc, argv));
}
