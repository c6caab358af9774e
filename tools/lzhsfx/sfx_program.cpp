#include "sfx_program.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "archive_writer/utf8_path.h"
#include "commands.h"
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

// Writes the stub, then the archive's bytes in blocks, to path; the
// checksum is summed on the way and written into the stub's field last.
bool WriteStubAndArchive(const std::filesystem::path& path, const std::vector<std::uint8_t>& stub,
                         const std::string& archivePath, ArchiveExtent extent, std::string& error) {
  std::uint32_t field = 0;
  if (!lzh::sfx::FindChecksumField(stub, field, error)) return false;
  std::ifstream in(lzhwrite::Utf8Path(archivePath), std::ios::binary);
  in.seekg(static_cast<std::streamoff>(extent.start));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!in || !out) {
    error = !in ? "cannot read " + Printable(archivePath)
                : "cannot write " + Printable(lzhwrite::Utf8Name(path));
    return false;
  }
  lzh::sfx::PeChecksum checksum(field);
  checksum.Add(stub.data(), stub.size());
  out.write(reinterpret_cast<const char*>(stub.data()), static_cast<std::streamsize>(stub.size()));
  std::vector<char> block(1 << 20);
  for (std::uint64_t left = extent.end - extent.start; left > 0 && out;) {
    auto n = static_cast<std::streamsize>(std::min<std::uint64_t>(left, block.size()));
    if (!in.read(block.data(), n)) {
      error = "cannot read " + Printable(archivePath) + " (did it change meanwhile?)";
      return false;
    }
    checksum.Add(reinterpret_cast<const std::uint8_t*>(block.data()), static_cast<std::size_t>(n));
    out.write(block.data(), n);
    left -= static_cast<std::uint64_t>(n);
  }
  // Over the whole file, archive included: signing tools and scanners read a
  // wrong checksum as a file changed after it was made.
  std::uint32_t value = checksum.Finish();
  char bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  out.seekp(field);
  out.write(bytes, 4);
  if (!out.flush()) {
    error = "cannot write " + Printable(lzhwrite::Utf8Name(path));
    return false;
  }
  return true;
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

bool WriteProgram(const std::string& stubPath, const std::string& archivePath, ArchiveExtent extent,
                  const std::string& outPath, std::uint32_t& offset, std::string& error) {
  std::vector<std::uint8_t> stub;
  if (!ReadWholeFile(stubPath, stub)) {
    error = "cannot read the stub " + Printable(stubPath);
    return false;
  }
  offset = static_cast<std::uint32_t>(stub.size());
  // The program's last header must lie within its reach, which its archive
  // alone might not show.
  if (extent.end < extent.start || offset + (extent.end - extent.start) > kProgramReach) {
    error = "refusing to write " + Printable(outPath) +
            ": with the stub it would be 2 GiB or more, beyond " + "what the program can read";
    return false;
  }
  if (!lzh::sfx::PatchArchiveOffset(stub, offset, error)) {
    error = Printable(stubPath) + ": " + error;
    return false;
  }
  const std::filesystem::path temporary = lzhwrite::Utf8Path(outPath + ".part");
  std::error_code ec;
  if (!WriteStubAndArchive(temporary, stub, archivePath, extent, error)) {
    std::filesystem::remove(temporary, ec);
    return false;
  }
  std::filesystem::rename(temporary, lzhwrite::Utf8Path(outPath), ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    error = "cannot write " + Printable(outPath);
    return false;
  }
  return true;
}

}  // namespace lzhcli
