// The whole walk over an arbitrary archive in memory: list, select all,
// extract, as the program does or (by the input's last bit) as the tool
// does. Checks that nothing lands outside the extraction directory; what
// one input may decode is capped through the members' originalSize.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "capped_archive.h"
#include "codec/crc16.h"
#include "extract/walk.h"
#include "support/memory_file_system.h"

namespace {

constexpr std::int64_t kCap = 16 << 10;  // bytes decoded per input

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
  std::vector<std::uint8_t> archive(data, data + size);
  lzhfuzz::CapOriginalSizes(archive, kCap);
  lzhtest::MemoryFileSystem fs;
  fs.AddFile("C:/sfx.exe", archive);
  fs.AddDirectory("C:/out");
  lzh::WalkSession session(fs);
  session.archive.archiveHandle = fs.OpenRead("C:/sfx.exe");
  // Half the inputs walk as the command-line tool does: members of any
  // method, the walk goes on past those it cannot decode and looks for the
  // next header after bytes that are none.
  if (size > 0 && (data[size - 1] & 1) != 0) {
    session.archive.anyMethod = true;
    session.archive.findsLostHeaders = true;
    session.passOverUnsupported = true;
    session.decoders = &lzh::ToolDecoders();
  }
  FuzzDialog dialog;
  lzh::WalkArchive(session, dialog, lzh::WalkMode::List);
  lzh::CopyText(session.extractPath, sizeof session.extractPath, "C:\\out");
  lzh::WalkArchive(session, dialog, lzh::WalkMode::Extract);
  for (const auto& [path, file] : fs.Files()) {
    if (path != "C:/sfx.exe" && path.rfind("C:/out/", 0) != 0) std::abort();
  }
  for (const auto& dir : fs.Directories()) {
    if (!dir.empty() && dir != "C:" && dir.rfind("C:/out", 0) != 0) std::abort();
  }
  return 0;
}
