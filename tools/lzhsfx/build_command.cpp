// lzhsfx build ARCHIVE -o OUT.exe [--stub STUB.exe] [--force] [--repack]: the stub,
// then the archive byte for byte, with the archive's offset written into
// the stub's string resource 4 and the PE checksum over the whole file.
#include <cstdio>

#include "check_walk.h"
#include "commands.h"
#include "names/code_page_text.h"
#include "outcome_text.h"
#include "repack.h"
#include "sfx_program.h"

namespace lzhcli {

namespace {

const char kUsage[] =
    "usage: lzhsfx build ARCHIVE -o OUT.exe [--stub STUB.exe] [--force] [--repack]\n"
    "Makes a self-extracting program: the stub followed by ARCHIVE.\n"
    "Refuses an archive the stub could not fully extract (unsupported methods,\n"
    "unsafe names, damaged members, no members) unless --force is given.\n"
    "  --repack  re-encode members the stub cannot decode (-lh6-, -lh7-) as\n"
    "            -lh5-, keeping names, time stamps and directory entries\n"
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

// Builds outPath from the archive at archivePath; the exit status.
int MakeProgram(const std::string& archivePath, const std::string& outPath,
                const std::string& stubPath, bool force) {
  std::vector<std::string> problems = ProblemsOf(archivePath);
  if (!problems.empty() && !force) {
    for (const auto& p : problems) PrintError(p);
    PrintError(
        "refusing to build: the program could not extract this archive fully "
        "(--force builds it anyway)");
    if (NeedsRepacking(archivePath))
      PrintError("--repack re-encodes its -lh6- and -lh7- members as -lh5-, which it decodes");
    return kExitUsage;
  }

  std::vector<std::uint8_t> archive;
  // build takes its names as the system's "A" calls do; the program
  // writer takes them in UTF-8.
  if (!ReadWholeFile(lzhnames::SystemNameToUtf8(archivePath), archive)) {
    PrintError("cannot read " + archivePath);
    return kExitUsage;
  }
  std::size_t programSize = 0;
  std::string error;
  if (!WriteProgram(lzhnames::SystemNameToUtf8(stubPath), archive,
                    lzhnames::SystemNameToUtf8(outPath), programSize, error)) {
    PrintError(error);
    return kExitUsage;
  }
  std::printf("%s: %zu bytes, archive at offset %zu\n", outPath.c_str(), programSize,
              programSize - archive.size());
  return kExitOk;
}

// Repacks the archive at archivePath into repackedPath; the exit status.
int Repack(const std::string& archivePath, const std::string& repackedPath) {
  std::vector<RepackedMember> repacked;
  std::string error;
  if (!RepackArchive(archivePath, repackedPath, repacked, error)) {
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
  std::string archivePath, outPath, stubPath;
  bool force = false, repack = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if ((a == "-o" || a == "--stub") && i + 1 < args.size()) {
      (a == "-o" ? outPath : stubPath) = args[++i];
    } else if (a == "--force") {
      force = true;
    } else if (a == "--repack") {
      repack = true;
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

  // Repacked beside the output, then built from like any archive.
  if (repack && NeedsRepacking(archivePath)) {
    const std::string repackedPath = outPath + ".lzh-part";
    int status = Repack(archivePath, repackedPath);
    if (status == kExitOk) status = MakeProgram(repackedPath, outPath, stubPath, force);
    std::remove(repackedPath.c_str());
    return status;
  }
  return MakeProgram(archivePath, outPath, stubPath, force);
}

}  // namespace lzhcli
