// The whole walk over an arbitrary archive in memory: list, select all,
// extract. Checks that nothing lands outside the extraction directory and
// caps output so decompression bombs stay bounded.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "codec/crc16.h"
#include "extract/walk.h"
#include "support/memory_file_system.h"

namespace {

struct OutputCap {};

// Stops a member (and the walk) once it has written more than the cap.
class CappedFileSystem : public lzhtest::MemoryFileSystem {
 public:
  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override {
    written_ += count;
    if (written_ > kCap) throw OutputCap{};
    return MemoryFileSystem::Write(file, buffer, count);
  }

 private:
  static constexpr std::int64_t kCap = 256 << 10;  // bytes
  std::int64_t written_ = 0;
};

// The in-memory dialog the walk needs: every entry selected, Overwrite.
class FuzzDialog : public lzh::WalkDialog {
 public:
  int entries = 0;
  void ResetList() override { entries = 0; }
  void AddEntry(const char*) override { ++entries; }
  int FindEntry(int after, const char*) override {
    return entries == 0 ? -1 : (after + 1) % entries;
  }
  int IsSelected(int index) override { return index >= 0 ? 1 : -1; }
  void Deselect(int) override {}
  int EntryCount() override { return entries; }
  int SelectedCount() override { return 0; }
  bool StoredPathsTicked() override { return ticked; }
  void TurnOffStoredPaths() override { ticked = false; }
  void SetStatus(const char*) override {}
  void ShowMessage(const char*, const char*) override {}
  void PumpOneMessage() override {}
  std::uint8_t OverwritePolicy() override { return lzh::Overwrite; }
  void AskOverwrite(const char*) override {}
  std::uint8_t OverwriteAnswer() override { return 1; }
  void MemberFinished(const lzh::MemberOutcome&) override {}
  bool ticked = true;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static lzh::CrcTableScope table;
  CappedFileSystem fs;
  fs.AddFile("C:/sfx.exe", std::vector<std::uint8_t>(data, data + size));
  fs.AddDirectory("C:/out");
  lzh::WalkSession session(fs);
  session.archive.archiveHandle = fs.OpenRead("C:/sfx.exe");
  FuzzDialog dialog;
  try {
    lzh::WalkArchive(session, dialog, lzh::WalkMode::List);
    lzh::CopyText(session.extractPath, sizeof session.extractPath, "C:\\out");
    lzh::WalkArchive(session, dialog, lzh::WalkMode::Extract);
  } catch (const OutputCap&) {
  }
  for (const auto& [path, file] : fs.Files()) {
    if (path != "C:/sfx.exe" && path.rfind("C:/out/", 0) != 0) std::abort();
  }
  for (const auto& dir : fs.Directories()) {
    if (!dir.empty() && dir != "C:" && dir.rfind("C:/out", 0) != 0) std::abort();
  }
  return 0;
}
