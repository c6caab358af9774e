#include "sfx_program.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "archive_writer/utf8_path.h"
#include "sfx/pe_checksum.h"
#include "sfx/pe_resources.h"

namespace lzhcli {

namespace {

const char kStubName[] = "lzhsfx-stub.exe";

bool Exists(const std::string& path) {
  return std::ifstream(lzhwrite::Utf8Path(path), std::ios::binary).good();
}

std::string DirectoryOf(const std::string& path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

std::string FindStub(const std::string& programPath) {
  std::string dir = DirectoryOf(programPath);
  const std::string candidates[] = {dir + "/" + kStubName, dir + "/../win32/" + kStubName,
                                    dir + "/../share/lzhsfx/" + kStubName};
  for (const auto& candidate : candidates) {
    if (Exists(candidate)) return candidate;
  }
  return "";
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(lzhwrite::Utf8Path(path), std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

bool WriteProgram(const std::string& stubPath, const std::vector<std::uint8_t>& archive,
                  const std::string& outPath, std::size_t& programSize, std::string& error) {
  std::vector<std::uint8_t> program;
  if (!ReadWholeFile(stubPath, program)) {
    error = "cannot read the stub " + stubPath;
    return false;
  }
  if (!lzh::sfx::PatchArchiveOffset(program, static_cast<std::uint32_t>(program.size()), error)) {
    error = stubPath + ": " + error;
    return false;
  }
  program.insert(program.end(), archive.begin(), archive.end());
  // Over the whole file, archive included: signing tools and scanners read a
  // wrong checksum as a file changed after it was made.
  if (!lzh::sfx::WritePeChecksum(program, error)) {
    error = stubPath + ": " + error;
    return false;
  }
  const std::filesystem::path temporary = lzhwrite::Utf8Path(outPath + ".part");
  std::error_code ec;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(program.data()),
              static_cast<std::streamsize>(program.size()));
    if (!out.flush()) {
      std::filesystem::remove(temporary, ec);
      error = "cannot write " + outPath;
      return false;
    }
  }
  std::filesystem::rename(temporary, lzhwrite::Utf8Path(outPath), ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    error = "cannot write " + outPath;
    return false;
  }
  programSize = program.size();
  return true;
}

}  // namespace lzhcli
