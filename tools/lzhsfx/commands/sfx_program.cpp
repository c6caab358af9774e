#include "commands/sfx_program.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "archive_writer/temporary_file.h"
#include "archive_writer/utf8_path.h"
#include "commands/commands.h"
#include "names/code_page_text.h"
#include "names/unicode_text.h"
#include "sfx/pe_checksum.h"
#include "sfx/pe_resources.h"
#include "system/interrupt_registry.h"
#include "system/tool_platform.h"

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

// Writes the stub, then the archive's bytes in blocks, to out (outName in
// messages: what the user named, not the temporary file); the checksum is summed on the way and
// written into the stub's field last.
bool WriteStubAndArchive(std::FILE* out, const std::string& outName,
                         const std::vector<std::uint8_t>& stub, const std::string& archivePath,
                         ArchiveExtent extent, std::string& error) {
  std::uint32_t field = 0;
  if (!lzh::sfx::FindChecksumField(stub, field, error)) return false;
  ClearSystemError();
  std::ifstream in(lzhwrite::Utf8Path(archivePath), std::ios::binary);
  in.seekg(static_cast<std::streamoff>(extent.start));
  if (!in) {
    error = "cannot read " + Printable(archivePath) + SystemReason(LastSystemError());
    return false;
  }
  lzh::sfx::PeChecksum checksum(field);
  checksum.Add(stub.data(), stub.size());
  bool written = std::fwrite(stub.data(), 1, stub.size(), out) == stub.size();
  std::vector<char> block(1 << 20);
  for (std::uint64_t left = extent.end - extent.start; left > 0 && written;) {
    auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
    if (!in.read(block.data(), static_cast<std::streamsize>(n))) {
      error = "cannot read " + Printable(archivePath) + " (did it change meanwhile?)";
      return false;
    }
    checksum.Add(reinterpret_cast<const std::uint8_t*>(block.data()), n);
    written = std::fwrite(block.data(), 1, n, out) == n;
    left -= n;
  }
  // Over the whole file, archive included: signing tools and scanners read a
  // wrong checksum as a file changed after it was made.
  std::uint32_t value = checksum.Finish();
  char bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  written = written && std::fseek(out, static_cast<long>(field), SEEK_SET) == 0 &&
            std::fwrite(bytes, 1, 4, out) == 4 && std::fflush(out) == 0;
  if (!written) error = "cannot write " + Printable(outName) + SystemReason(LastSystemError());
  return written;
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

lzh::sfx::ProgramSettings SettingsOf(const std::string& path) {
  std::ifstream in(lzhwrite::Utf8Path(path), std::ios::binary);
  std::vector<std::uint8_t> head(4096);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  std::uint32_t end = 0;
  if (head.size() < 2 || head[0] != 'M' || head[1] != 'Z' || !lzh::sfx::ImageEnd(head, end) ||
      end > kProgramReach)
    return {};
  if (end > head.size()) {
    std::size_t had = head.size();
    head.resize(end);
    in.read(reinterpret_cast<char*>(head.data() + had), static_cast<std::streamsize>(end - had));
    head.resize(had + static_cast<std::size_t>(in.gcount()));
  }
  return lzh::sfx::ReadSettings(head);
}

bool TakeSettings(const CommandLine& line, lzh::sfx::ProgramSettings& settings,
                  std::string& error) {
  struct Setting {
    const char* option;
    std::u16string* text;
    std::size_t most;
  };
  for (const Setting& setting :
       {Setting{"--title", &settings.title, lzh::sfx::kTitleUnits},
        Setting{"--default-dir", &settings.defaultDir, lzh::sfx::kSettingUnits},
        Setting{"--run", &settings.run, lzh::sfx::kSettingUnits}}) {
    if (!line.Has(setting.option)) continue;
    if (!lzhnames::Utf8ToUtf16(lzhnames::SystemNameToUtf8(line.Value(setting.option)),
                               *setting.text)) {
      error = std::string(setting.option) + " is not text in the system's character set";
      return false;
    }
    if (setting.text->size() > setting.most) {
      error = std::string(setting.option) + " is longer than " + std::to_string(setting.most) +
              " characters";
      return false;
    }
  }
  return true;
}

bool WriteProgram(const std::string& stubPath, const std::string& archivePath, ArchiveExtent extent,
                  const std::string& outPath, const lzh::sfx::ProgramSettings& settings,
                  std::uint32_t& offset, std::string& error,
                  const std::function<void(const std::string&)>& onTemporary) {
  std::vector<std::uint8_t> stub;
  ClearSystemError();
  if (!ReadWholeFile(stubPath, stub)) {
    error = "cannot read the stub " + Printable(stubPath) + SystemReason(LastSystemError());
    return false;
  }
  if (!lzh::sfx::WriteSettings(stub, settings, error)) {
    error = Printable(stubPath) + ": " + error;
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
  std::string temporary;
  int systemError = 0;
  std::FILE* out = nullptr;
  {
    InterruptsHeld hold;  // an interruption finds the file noted once it is made
    out = lzhwrite::CreateTemporaryBeside(outPath, ".part", temporary, systemError);
    if (out != nullptr && onTemporary) onTemporary(temporary);
  }
  // The program is written beside OUT under a temporary name, which the
  // messages leave out: OUT is what the user named.
  if (out == nullptr) {
    error =
        "cannot create " + Printable(outPath) + ": " + std::generic_category().message(systemError);
    return false;
  }
  bool written = WriteStubAndArchive(out, outPath, stub, archivePath, extent, error);
  ClearSystemError();
  written = std::fclose(out) == 0 && written;
  if (!written && error.empty())
    error = "cannot write " + Printable(outPath) + SystemReason(LastSystemError());
  std::error_code ec;
  if (written)
    std::filesystem::rename(lzhwrite::Utf8Path(temporary), lzhwrite::Utf8Path(outPath), ec);
  if (!written || ec) {
    if (written)
      error =
          "cannot put the finished program in place as " + Printable(outPath) + ": " + ec.message();
    std::filesystem::remove(lzhwrite::Utf8Path(temporary), ec);
    return false;
  }
  return true;
}

}  // namespace lzhcli
