// The shipped 32-bit program read as a file. Where the kernel runs no 32-bit
// code the Wine tests run the x86-64 build of the same sources, so what
// only the 32-bit link decides is checked here: its header and flags, its
// imports, its entry point, and its manifest.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "sfx/pe_resources.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Bounds-checked reads over a PE image, by file offset or by RVA.
class PeImage {
 public:
  explicit PeImage(Bytes bytes) : b_(std::move(bytes)) {
    pe_ = U32(0x3C);
    optional_ = pe_ + 24;
  }
  std::uint32_t U16(std::size_t at) const { return b_.at(at) | b_.at(at + 1) << 8; }
  std::uint32_t U32(std::size_t at) const { return U16(at) | U16(at + 2) << 16; }
  std::uint32_t Header(std::size_t field) const { return U32(pe_ + field); }
  std::uint32_t Optional16(std::size_t field) const { return U16(optional_ + field); }
  std::uint32_t Optional32(std::size_t field) const { return U32(optional_ + field); }
  // Data directory i of a PE32 optional header: RVA and size.
  std::uint32_t DirectoryRva(int i) const { return Optional32(96 + 8 * i); }
  std::uint32_t DirectorySize(int i) const { return Optional32(100 + 8 * i); }

  std::size_t Offset(std::uint32_t rva) const {
    std::size_t table = optional_ + U16(pe_ + 20);
    for (std::uint32_t i = 0; i < U16(pe_ + 6); ++i) {
      std::size_t s = table + 40 * i;
      std::uint32_t start = U32(s + 12), rawSize = U32(s + 16);
      if (rva >= start && rva - start < rawSize) return U32(s + 20) + (rva - start);
    }
    ADD_FAILURE() << "RVA " << rva << " lies in no section";
    return 0;
  }
  std::string TextAt(std::uint32_t rva) const {
    std::string text;
    for (std::size_t at = Offset(rva); b_.at(at) != 0; ++at)
      text.push_back(static_cast<char>(b_[at]));
    return text;
  }
  const Bytes& Data() const { return b_; }

 private:
  Bytes b_;
  std::size_t pe_ = 0, optional_ = 0;
};

class Stub32Image : public ::testing::Test {
 protected:
  void SetUp() override {
    Bytes bytes = ReadAll(LZH_WIN32_STUB);
    if (bytes.empty()) GTEST_SKIP() << "no cross-built 32-bit stub at " << LZH_WIN32_STUB;
    image = std::make_unique<PeImage>(std::move(bytes));
  }
  std::unique_ptr<PeImage> image;
};

TEST_F(Stub32Image, IsASmallGuiProgramForI386WithAslrDepAndTerminalServerAwareness) {
  const PeImage& pe = *image;
  EXPECT_LE(pe.Data().size(), static_cast<std::size_t>(LZH_PROGRAM_BUDGET));
  EXPECT_EQ(pe.Header(0), 0x00004550u);       // "PE\0\0"
  EXPECT_EQ(pe.Header(4) & 0xFFFF, 0x014Cu);  // machine i386
  EXPECT_EQ(pe.Header(22) & 0x0001, 0u);      // relocations kept, so it can move
  EXPECT_NE(pe.DirectorySize(5), 0u);         // ... and there are some
  EXPECT_EQ(pe.Optional16(0), 0x010Bu);       // PE32
  EXPECT_EQ(pe.Optional16(68), 2u);           // Windows GUI subsystem
  std::uint32_t flags = pe.Optional16(70);
  EXPECT_EQ(flags & 0x0040, 0x0040u) << "not DYNAMIC_BASE";
  EXPECT_EQ(flags & 0x0100, 0x0100u) << "not NX_COMPAT";
  EXPECT_EQ(flags & 0x8000, 0x8000u) << "not TERMINAL_SERVER_AWARE";
}

// Only DLLs the system keeps as known DLLs, which are always loaded from the
// system directory. The program opens itself by its UTF-16 path, names
// every file and shows every name through the wide calls, and the call that
// limits the DLL search is looked up, not imported: systems that lack it
// would refuse to start the program.
TEST_F(Stub32Image, ImportsOnlyKnownDllsAndNoAnsiPathOfItsOwn) {
  const PeImage& pe = *image;
  std::set<std::string> dlls, functions;
  for (std::uint32_t d = pe.DirectoryRva(1);; d += 20) {
    std::size_t at = pe.Offset(d);
    std::uint32_t nameRva = pe.U32(at + 12), thunks = pe.U32(at);
    if (nameRva == 0) break;
    std::string dll = pe.TextAt(nameRva);
    std::transform(dll.begin(), dll.end(), dll.begin(), ::toupper);
    dlls.insert(dll);
    if (thunks == 0) thunks = pe.U32(at + 16);
    for (std::uint32_t t = thunks; pe.U32(pe.Offset(t)) != 0; t += 4) {
      std::uint32_t entry = pe.U32(pe.Offset(t));
      if ((entry & 0x80000000u) == 0) functions.insert(pe.TextAt(entry + 2));  // after the hint
    }
  }
  EXPECT_EQ(dlls, (std::set<std::string>{"KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL"}));
  for (const char* needed : {"CreateFileW", "GetModuleFileNameW", "SetDllDirectoryW",
                             "GetProcAddress", "DialogBoxParamW", "MoveFileExW"})
    EXPECT_TRUE(functions.count(needed)) << needed << " is not imported";
  for (const char* refused :
       {"SetDefaultDllDirectories", "GetModuleFileNameA", "LoadLibraryA", "LoadLibraryW",
        "LoadLibraryExW", "CreateFileA", "FindFirstFileA", "CreateDirectoryA", "DialogBoxParamA"})
    EXPECT_FALSE(functions.count(refused)) << refused << " is imported";
}

// The program starts in ProgramEntry, not in the C run time's start-up code.
TEST_F(Stub32Image, EntryPointIsProgramEntry) {
  std::ifstream map(LZH_WIN32_MAP);
  if (!map) GTEST_SKIP() << "no link map at " << LZH_WIN32_MAP;
  std::uint64_t entry = 0;
  for (std::string line; std::getline(map, line);) {
    std::size_t symbol = line.find(" ProgramEntry@0");
    if (symbol != std::string::npos && symbol + 15 == line.size())
      entry = std::stoull(line.substr(line.find("0x")), nullptr, 16);
  }
  ASSERT_NE(entry, 0u) << "ProgramEntry@0 is not in the map";
  const PeImage& pe = *image;
  EXPECT_EQ(pe.Optional32(28) + pe.Optional32(16), entry);  // image base + entry RVA
}

// Other tools find a program's archive by the first method tag among its
// bytes ("-lh5-", "-lzs-", "-pm2-", ...): one of the program's own would
// hide the archive from them.
TEST_F(Stub32Image, HoldsNoMethodTag) {
  const Bytes& b = image->Data();
  for (std::size_t at = 0; at + 5 <= b.size(); ++at) {
    if (b[at] == '-' && (b[at + 1] == 'l' || b[at + 1] == 'p') && b[at + 4] == '-')
      ADD_FAILURE() << "\"" << std::string(b.begin() + at, b.begin() + at + 5) << "\" at " << at;
  }
}

// Drawn at the screen's DPI, not stretched: per-monitor (v2) awareness, and
// system-wide awareness where the system knows no better. (Wine draws every
// program at the screen's DPI, so only the file shows the declaration.)
TEST_F(Stub32Image, ManifestDeclaresDpiAwareness) {
  std::uint32_t offset = 0, size = 0;
  std::string error;
  ASSERT_TRUE(lzh::sfx::FindResource(image->Data(), 24, 1, offset, size, error)) << error;
  std::string manifest(image->Data().begin() + offset, image->Data().begin() + offset + size);
  EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find(">PerMonitorV2, System</dpiAwareness>"), std::string::npos) << manifest;
}

}  // namespace
