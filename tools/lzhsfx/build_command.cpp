// lzhsfx build ARCHIVE -o OUT.exe [--stub STUB.exe] [--force]: the stub,
// then the archive byte for byte, with the archive's offset written into
// the stub's string resource 4 and the PE checksum over the whole file.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "check_walk.h"
#include "commands.h"
#include "names/name_charset.h"
#include "names/unicode_text.h"
#include "outcome_text.h"
#include "sfx/pe_checksum.h"
#include "sfx/pe_resources.h"

namespace lzhcli {

namespace {

const char kUsage[] =
    "usage: lzhsfx build ARCHIVE -o OUT.exe [--stub STUB.exe] [--force]\n"
    "Makes a self-extracting program: the stub followed by ARCHIVE.\n"
    "Refuses an archive the stub could not fully extract (unsupported methods,\n"
    "unsafe names, damaged members, no members) unless --force is given.\n"
    "The stub is found beside this program unless --stub names one.\n";

const char kStubName[] = "lzhsfx-stub.exe";

bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

bool Exists(const std::string& path) { return std::ifstream(path, std::ios::binary).good(); }

std::string DirectoryOf(const std::string& path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Beside the tool (an installed pair, or the Windows build directory), or
// in the cross build next to the native one.
std::string FindStub(const std::string& programPath) {
  std::string dir = DirectoryOf(programPath);
  const std::string candidates[] = {dir + "/" + kStubName, dir + "/../win32/" + kStubName,
                                    dir + "/../share/lzhsfx/" + kStubName};
  for (const auto& candidate : candidates) {
    if (Exists(candidate)) return candidate;
  }
  return "";
}

// The names that are not ASCII: the program shows and writes names in the
// ANSI code page of the system it runs on, so they read as made only where
// that is the code page of the system that made the archive.
std::string NonAsciiWarning(const std::vector<std::string>& names) {
  if (names.empty()) return "";
  std::string text = std::to_string(names.size()) + " member name(s) are not ASCII, such as ";
  for (std::size_t i = 0; i < names.size() && i < 3; ++i)
    text += (i == 0 ? "" : ", ") + Printable(lzhnames::ReadableText({}, names[i]));
  return text +
         ": the program shows and writes names in the code page of the Windows system it runs "
         "on, so they come out as stored only where that code page is the archive's";
}

// Runs the extracting walk without writing anything and collects why the
// stub would not extract everything, and the names that are not ASCII.
std::vector<std::string> ProblemsOf(const std::string& archivePath,
                                    std::vector<std::string>& nonAsciiNames) {
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
    if (!lzhnames::IsAscii(outcome.storedName)) nonAsciiNames.push_back(outcome.storedName);
    if (outcome.kind == lzh::OutcomeKind::UnsupportedMethod) {
      problems.push_back(MemberLabel(outcome) + ": the program cannot decode its method " +
                         Printable(outcome.method));
    } else if (outcome.Failed()) {
      problems.push_back(MemberLabel(outcome) + ": " + Reason(outcome));
    }
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

  std::vector<std::string> nonAsciiNames;
  std::vector<std::string> problems = ProblemsOf(archivePath, nonAsciiNames);
  std::string warning = NonAsciiWarning(nonAsciiNames);
  if (!warning.empty()) PrintError("warning: " + warning);
  if (!problems.empty() && !force) {
    for (const auto& p : problems) PrintError(p);
    PrintError(
        "refusing to build: the program could not extract this archive fully "
        "(--force builds it anyway)");
    return kExitUsage;
  }

  std::vector<std::uint8_t> program, archive;
  if (!ReadFile(stubPath, program)) {
    PrintError("cannot read the stub " + stubPath);
    return kExitUsage;
  }
  if (!ReadFile(archivePath, archive)) {
    PrintError("cannot read " + archivePath);
    return kExitUsage;
  }
  std::string error;
  if (!lzh::sfx::PatchArchiveOffset(program, static_cast<std::uint32_t>(program.size()), error)) {
    PrintError(stubPath + ": " + error);
    return kExitUsage;
  }
  program.insert(program.end(), archive.begin(), archive.end());
  // Over the whole file, archive included: signing tools and scanners read a
  // wrong checksum as a file changed after it was made.
  if (!lzh::sfx::WritePeChecksum(program, error)) {
    PrintError(stubPath + ": " + error);
    return kExitUsage;
  }

  // Written beside the target and renamed, so a failure leaves no output.
  std::string temporary = outPath + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(program.data()),
              static_cast<std::streamsize>(program.size()));
    if (!out.flush()) {
      std::remove(temporary.c_str());
      PrintError("cannot write " + outPath);
      return kExitUsage;
    }
  }
  std::remove(outPath.c_str());
  if (std::rename(temporary.c_str(), outPath.c_str()) != 0) {
    std::remove(temporary.c_str());
    PrintError("cannot write " + outPath);
    return kExitUsage;
  }
  std::printf("%s: %zu bytes, archive at offset %zu\n", outPath.c_str(), program.size(),
              program.size() - archive.size());
  return kExitOk;
}

}  // namespace lzhcli
