// lzhsfx build ARCHIVE -o OUT.exe [--stub STUB.exe] [--force]: the stub,
// then the archive byte for byte, with the archive's offset written into
// the stub's string resource 4 and the PE checksum over the whole file.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "check_walk.h"
#include "command_line.h"
#include "commands.h"
#include "outcome_text.h"
#include "sfx/pe_checksum.h"
#include "sfx/pe_resources.h"

namespace lzhcli {

namespace {

const char kUsage[] =
    "usage: lzhsfx build ARCHIVE -o OUT.exe [--stub STUB.exe] [--force]\n"
    "Makes a self-extracting program: the stub followed by ARCHIVE. ARCHIVE may\n"
    "also be a self-extracting program; its archive is taken.\n"
    "Refuses an archive the stub could not fully extract (unsupported methods,\n"
    "unsafe names, damaged members, no members) unless --force is given; a file\n"
    "that holds no archive at all is always refused.\n"
    "The stub is found beside this program unless --stub names one.\n"
    "  -o OUT.exe    the program to write\n"
    "  --stub STUB   the stub to use\n"
    "  --force       build even when the stub could not extract everything\n"
    "  --version     print the version\n"
    "Exit status: 0 built; 2 bad usage, no archive, or a refusal.\n";

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

// Where the archive lies in its file: a plain archive is taken whole, a
// program's from its first header to the archive's end.
struct ArchiveExtent {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
};

// Runs the extracting walk without writing anything and collects why the
// stub would not extract everything.
std::vector<std::string> ProblemsOf(const std::string& archivePath, const OpenedArchive& opened,
                                    NullOutputFileSystem& fs) {
  std::vector<std::string> problems;
  ConsoleDialog dialog;
  dialog.onOutcome = [&](const lzh::MemberOutcome& outcome) {
    if (outcome.Failed()) problems.push_back(MemberLabel(outcome) + ": " + Reason(outcome));
  };
  // The program's own methods: what it could not decode refuses the build.
  CheckResult result = CheckByWalking(fs, opened, dialog, lzh::DecoderForMethod);
  for (const auto& name : dialog.Unreached())
    problems.push_back(Printable(name) + ": not reached: the check stopped before it");
  if (!result.listed) problems.push_back(archivePath + " holds no member that can be extracted");
  return problems;
}

// Writes the stub, then the archive's bytes in blocks, to path; the
// checksum is summed on the way and written into the stub's field last.
bool WriteProgram(const std::string& path, std::vector<std::uint8_t> stub,
                  const std::string& archivePath, ArchiveExtent extent, std::string& error) {
  std::uint32_t field = 0;
  if (!lzh::sfx::FindChecksumField(stub, field, error)) return false;
  std::ifstream in(archivePath, std::ios::binary);
  in.seekg(extent.start);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!in || !out) {
    error = !in ? "cannot read " + archivePath : "cannot write " + path;
    return false;
  }
  lzh::sfx::PeChecksum checksum(field);
  checksum.Add(stub.data(), stub.size());
  out.write(reinterpret_cast<const char*>(stub.data()), static_cast<std::streamsize>(stub.size()));
  std::vector<char> block(1 << 20);
  for (std::uint32_t left = extent.end - extent.start; left > 0 && out;) {
    auto n = static_cast<std::streamsize>(std::min<std::uint32_t>(left, block.size()));
    if (!in.read(block.data(), n)) {
      error = "cannot read " + archivePath + " (did it change meanwhile?)";
      return false;
    }
    checksum.Add(reinterpret_cast<const std::uint8_t*>(block.data()), static_cast<std::size_t>(n));
    out.write(block.data(), n);
    left -= static_cast<std::uint32_t>(n);
  }
  // Over the whole file, archive included: signing tools and scanners read a
  // wrong checksum as a file changed after it was made.
  std::uint32_t value = checksum.Finish();
  char bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  out.seekp(field);
  out.write(bytes, 4);
  if (!out.flush()) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace

int BuildCommand(const Arguments& args, const std::string& programPath) {
  CommandLine line;
  int status = ParseCommandLine(
      args, {{"-o", nullptr, true}, {"--stub", nullptr, true}, {"--force", nullptr}}, kUsage, line);
  if (status >= 0) return status;
  if (line.operands.size() != 1) return UsageError("name one ARCHIVE", kUsage);
  std::string archivePath = line.operands[0], outPath = line.Value("-o");
  std::string stubPath = line.Value("--stub");
  if (outPath.empty()) return UsageError("-o OUT.exe is needed", kUsage);
  if (stubPath.empty()) stubPath = FindStub(programPath);
  if (stubPath.empty()) {
    PrintError("no stub found beside this program; name one with --stub");
    return kExitUsage;
  }

  // A file that holds no archive is refused even with --force.
  NullOutputFileSystem fs(lzh::HostFileSystem());
  OpenedArchive opened;
  std::string error;
  if (!OpenArchive(fs, archivePath, opened, error)) {
    PrintError(error + "; refusing to build");
    return kExitUsage;
  }
  ArchiveExtent extent{static_cast<std::uint32_t>(opened.start),
                       opened.isProgram ? ArchiveEnd(fs, opened) : fs.Size(opened.handle)};
  std::vector<std::string> problems = ProblemsOf(archivePath, opened, fs);
  fs.Close(opened.handle);
  if (!problems.empty() && !line.Has("--force")) {
    for (const auto& p : problems) PrintError(p);
    PrintError(
        "refusing to build: the program could not extract this archive fully "
        "(--force builds it anyway)");
    return kExitUsage;
  }

  std::vector<std::uint8_t> stub;
  if (!ReadFile(stubPath, stub)) {
    PrintError("cannot read the stub " + stubPath);
    return kExitUsage;
  }
  auto offset = static_cast<std::uint32_t>(stub.size());
  if (!lzh::sfx::PatchArchiveOffset(stub, offset, error)) {
    PrintError(stubPath + ": " + error);
    return kExitUsage;
  }
  // Written beside the target and renamed, so a failure leaves no output.
  std::string temporary = outPath + ".part";
  if (!WriteProgram(temporary, std::move(stub), archivePath, extent, error)) {
    std::remove(temporary.c_str());
    PrintError(error);
    return kExitUsage;
  }
  std::remove(outPath.c_str());
  if (std::rename(temporary.c_str(), outPath.c_str()) != 0) {
    std::remove(temporary.c_str());
    PrintError("cannot write " + outPath);
    return kExitUsage;
  }
  std::printf("%s: %llu bytes, archive at offset %u\n", outPath.c_str(),
              static_cast<unsigned long long>(offset) + (extent.end - extent.start), offset);
  return kExitOk;
}

}  // namespace lzhcli
