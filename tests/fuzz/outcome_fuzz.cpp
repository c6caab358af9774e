// The extracting walk through its outcomes, over an arbitrary archive in the
// in-memory file system with files, symbolic links and hard links already in
// place, under each policy and answer. It fails when
//  - a file that existed before the walk changes although no member passed
//    into it with the user's leave (the policy Overwrite, or Yes to the
//    question);
//  - anything outside the extraction directory changes, also through a link
//    planted in it;
//  - a member whose outcome says nothing was written made a file, or one
//    that was cut, refused, skipped or passed over made anything at all;
//  - the archive ends inside its last header and that member was written;
//  - a member is reported failed and the walk still ends in the success
//    verdict;
//  - anything lands outside the extraction directory.
// What one input may decode is capped through the members' originalSize.
//
// Input: an archive as it stands (the corpus seeds this form: it starts
// with a header), choices then taken from its size; or four bytes of
// choices followed by the archive:
//  byte 0: bits 0-1 the policy (Overwrite, Skip, Confirm, Confirm), bits 2-7
//          the answers to the first six questions (1 Yes), later ones No;
//  byte 1: which listed entries have a file in place (bit i for entry i
//          mod 8);
//  byte 2: where the archive is cut: after size * byte / 256 bytes (0: whole);
//  byte 3: what is planted for entry i mod 4 (bits 2i and 2i+1): nothing, a
//          link to C:/elsewhere in place of the entry's first directory, a
//          link to C:/elsewhere/secret in place of its file, or a hard link
//          to that file.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "capped_archive.h"
#include "codec/crc16.h"
#include "extract/walk.h"
#include "support/memory_dialog.h"
#include "support/memory_file_system.h"

namespace {

constexpr std::int64_t kCap = 16 << 10;  // bytes decoded per input
constexpr char kSuccess[] = "CRC validation passed on all file( s )... extraction successful";

using lzhtest::MemoryFileSystem;

// Whether a member was decoded into its output file.
bool Wrote(const lzh::MemberOutcome& o) {
  switch (o.kind) {
    case lzh::OutcomeKind::Extracted:
    case lzh::OutcomeKind::CouldNotWrite:
    case lzh::OutcomeKind::CouldNotClose:
    case lzh::OutcomeKind::CouldNotRename:
      return true;
    case lzh::OutcomeKind::Damaged:
      return o.damage == lzh::Damage::Crc || o.damage == lzh::Damage::Size;
    default:
      return false;
  }
}

// A file can be put at path without clashing with a directory, a file or a
// link on the way there.
bool CanPlace(MemoryFileSystem& fs, const std::string& path) {
  if (path.rfind("C:/out/", 0) != 0 || fs.HasDirectory(path) || fs.IsLink(path.c_str()))
    return false;
  for (std::size_t slash = path.find('/'); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string on = path.substr(0, slash);
    if (fs.HasFile(on) || fs.IsLink(on.c_str())) return false;
  }
  return true;
}

// What is on the disk outside the extraction directory.
std::string Outside(const MemoryFileSystem& fs) {
  std::string census;
  for (const auto& [path, file] : fs.Files()) {
    if (path.rfind("C:/out/", 0) != 0)
      census += path + "=" + std::string(file.bytes.begin(), file.bytes.end()) + "\n";
  }
  for (const auto& dir : fs.Directories()) {
    if (dir.rfind("C:/out", 0) != 0) census += dir + "/\n";
  }
  return census;
}

[[noreturn]] void Fail() { __builtin_trap(); }

// Kinds of member that leave the disk exactly as it was.
bool TouchesNothing(const lzh::MemberOutcome& o) {
  switch (o.kind) {
    case lzh::OutcomeKind::SkippedExisting:
    case lzh::OutcomeKind::RefusedName:
    case lzh::OutcomeKind::UnsupportedMethod:
    case lzh::OutcomeKind::PassedOver:
      return true;
    case lzh::OutcomeKind::Damaged:
      return !Wrote(o);
    default:
      return false;
  }
}

// Checks each member's outcome against what the walk did to the disk while
// handling it.
class CheckingDialog : public lzhtest::MemoryDialog {
 public:
  explicit CheckingDialog(MemoryFileSystem& fs) : fs_(fs) {}
  // Takes the disk as it is now as the state the first member starts from.
  void Baseline() {
    creates_ = fs_.creates;
    directories_ = fs_.Directories().size();
  }
  void MemberFinished(const lzh::MemberOutcome& o) override {
    MemoryDialog::MemberFinished(o);
    if (fs_.creates != creates_ && !Wrote(o)) Fail();
    if (fs_.Directories().size() != directories_ && TouchesNothing(o)) Fail();
    creates_ = fs_.creates;
    directories_ = fs_.Directories().size();
  }

 private:
  MemoryFileSystem& fs_;
  int creates_ = 0;
  std::size_t directories_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static lzh::CrcTableScope table;
  std::uint8_t choices[4] = {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 2),
                             0, static_cast<std::uint8_t>(size >> 4)};
  bool plain = size >= 5 && std::memcmp(data + 2, "-lh", 3) == 0;
  if (!plain) {
    if (size < 4) return 0;
    std::memcpy(choices, data, 4);
    data += 4;
    size -= 4;
  }
  if (choices[2] != 0) size = size * choices[2] / 256;
  std::vector<std::uint8_t> archive(data, data + size);
  lzhfuzz::HeaderChain chain = lzhfuzz::CapOriginalSizes(archive, kCap);

  MemoryFileSystem fs;
  fs.AddFile("C:/sfx.exe", archive);
  fs.AddDirectory("C:/out");
  fs.AddFile("C:/elsewhere/secret", {'s'});
  lzh::WalkSession session(fs);
  session.archive.archiveHandle = fs.OpenRead("C:/sfx.exe");
  CheckingDialog dialog(fs);
  std::uint8_t policy = choices[0] & 3;
  dialog.policy = policy == 3 ? lzh::Confirm : policy;
  int questions = 0;
  std::vector<bool> answers;  // in the order asked
  dialog.onQuestion = [&](lzhtest::MemoryDialog& d, const std::string&) {
    d.answer = questions < 6 ? (choices[0] >> (2 + questions)) & 1 : 0;
    answers.push_back(d.answer != 0);
    ++questions;
  };
  lzh::WalkArchive(session, dialog, lzh::WalkMode::List);
  dialog.SelectAll(true);

  std::map<std::string, std::vector<std::uint8_t>> before;
  for (std::size_t i = 0; i < dialog.entries.size(); ++i) {
    std::string path = MemoryFileSystem::Normalize("C:/out/" + dialog.entries[i].name);
    if (!CanPlace(fs, path)) continue;
    std::size_t firstSlash = path.find('/', std::strlen("C:/out/"));
    switch ((choices[3] >> (2 * (i % 4))) & 3) {
      case 1:
        if (firstSlash != std::string::npos && !fs.HasDirectory(path.substr(0, firstSlash)))
          fs.AddLink(path.substr(0, firstSlash), "C:/elsewhere");
        continue;
      case 2:
        fs.AddLink(path, "C:/elsewhere/secret");
        continue;
      case 3:
        if (firstSlash == std::string::npos) {
          fs.AddHardLink(path, "C:/elsewhere/secret");
          before[path] = fs.Find(path)->bytes;
        }
        continue;
    }
    if (((choices[1] >> (i % 8)) & 1) == 0) continue;
    std::vector<std::uint8_t> mine = {'m', 'i', 'n', 'e', static_cast<std::uint8_t>(i)};
    fs.AddFile(path, mine);
    before[path] = mine;
  }
  const std::string outside = Outside(fs);

  lzh::CopyText(session.extractPath, sizeof session.extractPath, "C:\\out");
  dialog.Baseline();
  lzh::WalkArchive(session, dialog, lzh::WalkMode::Extract);

  // Every header reported, in order: the last outcome is the last header's.
  if (chain.lastCut && dialog.outcomes.size() == chain.headers &&
      Wrote(dialog.outcomes.back().what))
    Fail();

  // Where members were decoded into with leave to replace what was there.
  std::set<std::string> written, replaceable;
  std::size_t asked = 0;
  bool anyFailed = false;
  for (const auto& reported : dialog.outcomes) {
    const lzh::MemberOutcome& o = reported.what;
    bool yes = o.byAnswer && asked < answers.size() && answers[asked];
    if (o.byAnswer) ++asked;
    anyFailed = anyFailed || o.Failed();
    if (!Wrote(o)) continue;
    std::string path = MemoryFileSystem::Normalize(reported.outputPath);
    written.insert(path);
    bool leave = o.byAnswer ? yes : dialog.policy == lzh::Overwrite;
    if (leave && o.kind == lzh::OutcomeKind::Extracted) replaceable.insert(path);
  }
  if (anyFailed && dialog.status == kSuccess) Fail();
  if (Outside(fs) != outside) Fail();
  for (const auto& [path, file] : fs.Files()) {
    if (path.rfind("C:/out/", 0) != 0) continue;
    auto old = before.find(path);
    // A file of its own: a member's output, no temporary file left over.
    if (old == before.end()) {
      if (written.count(path) == 0) Fail();
    } else if (file.bytes != old->second && replaceable.count(path) == 0) {
      Fail();
    }
  }
  return 0;
}
