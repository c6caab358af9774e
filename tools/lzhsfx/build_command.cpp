// lzhsfx build ARCHIVE -o OUT.exe [--stub STUB.exe] [--force]: the stub,
// then the archive byte for byte, with the archive's offset written into
// the stub's string resource 4 and the PE checksum over the whole file.
#include <cstdio>

#include "check_walk.h"
#include "commands.h"
#include "outcome_text.h"
#include "sfx_program.h"

namespace lzhcli {

namespace {

const char kUsage[] =
    "usage: lzhsfx build ARCHIVE -o OUT.exe [--stub STUB.exe] [--force]\n"
    "Makes a self-extracting program: the stub followed by ARCHIVE.\n"
    "Refuses an archive the stub could not fully extract (unsupported methods,\n"
    "unsafe names, damaged members, no members) unless --force is given.\n"
    "The stub is found beside this program unless --stub names one.\n";

// Runs the extracting walk without writing anything and collects why the
// stub would not extract everything.
std::vector<std::string> ProblemsOf(const std::string& archivePath) {
  std::vector<std::string> problems;
  NullOutputFileSystem fs(lzh::HostFileSystem());
  OpenedArchive opened;
  std::string error;
  if (!OpenArchive(fs, archivePath, opened, error)) return {error};
  if (opened.isProgram) {
    fs.Close(opened.handle);
    return {archivePath + " is a program already; give the plain archive"};
  }
  ConsoleDialog dialog;
  dialog.onOutcome = [&](const lzh::MemberOutcome& outcome) {
    if (outcome.Failed()) problems.push_back(MemberLabel(outcome) + ": " + Reason(outcome));
  };
  // The program's own methods: what it could not decode refuses the build.
  CheckResult result = CheckByWalking(fs, opened, dialog, lzh::DecoderForMethod);
  fs.Close(opened.handle);
  for (const auto& name : dialog.Unreached())
    problems.push_back(Printable(name) + ": not reached: the check stopped before it");
  if (!result.listed) problems.push_back(archivePath + " holds no member that can be extracted");
  return problems;
}

}  // namespace

int BuildCommand(const Arguments& args, const std::string& programPath) {
  std::string archivePath, outPath, stubPath;
  bool force = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if ((a == "-o" || a == "--stub") && i + 1 < args.size()) {
      (a == "-o" ? outPath : stubPath) = args[++i];
    } else if (a == "--force") {
      force = true;
    } else if (!a.empty() && a[0] != '-' && archivePath.empty()) {
      archivePath = a;
    } else {
      PrintError("unexpected argument " + a);
      std::fputs(kUsage, stderr);
      return kExitUsage;
    }
  }
  if (archivePath.empty() || outPath.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (stubPath.empty()) stubPath = FindStub(programPath);
  if (stubPath.empty()) {
    PrintError("no stub found beside this program; name one with --stub");
    return kExitUsage;
  }

  std::vector<std::string> problems = ProblemsOf(archivePath);
  if (!problems.empty() && !force) {
    for (const auto& p : problems) PrintError(p);
    PrintError(
        "refusing to build: the program could not extract this archive fully "
        "(--force builds it anyway)");
    return kExitUsage;
  }

  std::vector<std::uint8_t> archive;
  if (!ReadWholeFile(archivePath, archive)) {
    PrintError("cannot read " + archivePath);
    return kExitUsage;
  }
  std::size_t programSize = 0;
  std::string error;
  if (!WriteProgram(stubPath, archive, outPath, programSize, error)) {
    PrintError(error);
    return kExitUsage;
  }
  std::printf("%s: %zu bytes, archive at offset %zu\n", outPath.c_str(), programSize,
              programSize - archive.size());
  return kExitOk;
}

}  // namespace lzhcli
