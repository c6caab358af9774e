// The builder's view of the stub's resources: string 4 found through the
// resource directory, read, and patched in place.
#include "sfx/pe_resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// A minimal PE image: headers, then one section at file offset 0x200 and
// virtual address 0x1000 holding a resource tree with one string block
// (ids 0 to 15) in one language. strings[i] is string i of the block.
Bytes MakePe(const std::vector<std::u16string>& strings, bool pe32Plus = false) {
  constexpr std::uint32_t kSectionFile = 0x200, kSectionRva = 0x1000;
  Bytes b(kSectionFile, 0);
  Put16(b, 0, 0x5A4D);
  Put32(b, 0x3C, 0x40);
  Put32(b, 0x40, 0x00004550);
  const std::size_t fileHeader = 0x44, optional = fileHeader + 20;
  const std::uint32_t optionalBytes = pe32Plus ? 240 : 224;
  Put16(b, fileHeader, pe32Plus ? 0x8664 : 0x14C);
  Put16(b, fileHeader + 2, 1);  // one section
  Put16(b, fileHeader + 16, optionalBytes);
  Put16(b, optional, pe32Plus ? 0x20B : 0x10B);
  const std::size_t directories = optional + (pe32Plus ? 112 : 96);
  Put32(b, directories - 4, 16);  // NumberOfRvaAndSizes

  // The resource tree: root -> type 6 -> block 1 -> language 0x409 -> data.
  Bytes r(0x60, 0);
  Put16(r, 0x0E, 1);  // root: one id entry
  Put32(r, 0x10, 6);
  Put32(r, 0x14, 0x80000000u | 0x18);
  Put16(r, 0x18 + 0x0E, 1);  // type directory
  Put32(r, 0x18 + 0x10, 1);
  Put32(r, 0x18 + 0x14, 0x80000000u | 0x30);
  Put16(r, 0x30 + 0x0E, 1);  // name directory
  Put32(r, 0x30 + 0x10, 0x409);
  Put32(r, 0x30 + 0x14, 0x48);
  Bytes block;
  for (std::size_t i = 0; i < 16; ++i) {
    std::u16string s = i < strings.size() ? strings[i] : u"";
    block.push_back(static_cast<std::uint8_t>(s.size()));
    block.push_back(static_cast<std::uint8_t>(s.size() >> 8));
    for (char16_t c : s) {
      block.push_back(static_cast<std::uint8_t>(c));
      block.push_back(static_cast<std::uint8_t>(c >> 8));
    }
  }
  Put32(r, 0x48, kSectionRva + 0x60);  // data entry: RVA, size
  Put32(r, 0x4C, static_cast<std::uint32_t>(block.size()));
  r.insert(r.end(), block.begin(), block.end());

  Put32(b, directories + 16, kSectionRva);
  Put32(b, directories + 20, static_cast<std::uint32_t>(r.size()));
  const std::size_t section = optional + optionalBytes;
  std::copy_n(".rsrc", 5, b.begin() + static_cast<std::ptrdiff_t>(section));
  Put32(b, section + 8, static_cast<std::uint32_t>(r.size()));
  Put32(b, section + 12, kSectionRva);
  Put32(b, section + 16, static_cast<std::uint32_t>(r.size()));
  Put32(b, section + 20, kSectionFile);
  b.insert(b.end(), r.begin(), r.end());
  return b;
}

const std::vector<std::u16string> kStubStrings = {u"", u"a", u"bc", u"def", u"0000000000"};

std::string Read4(const Bytes& exe) {
  std::string text, error;
  EXPECT_TRUE(lzh::sfx::ReadString(exe, 4, text, error)) << error;
  return text;
}

TEST(PeResources, PatchWritesTenDigitsInPlaceAndNothingElse) {
  for (bool pe32Plus : {false, true}) {
    Bytes exe = MakePe(kStubStrings, pe32Plus);
    std::uint32_t offset = 99;
    ASSERT_TRUE(lzh::sfx::ReadArchiveOffset(exe, offset));
    EXPECT_EQ(offset, 0u);

    Bytes before = exe;
    std::string error;
    ASSERT_TRUE(lzh::sfx::PatchArchiveOffset(exe, 1234567, error)) << error;
    EXPECT_EQ(Read4(exe), "0001234567");
    ASSERT_TRUE(lzh::sfx::ReadArchiveOffset(exe, offset));
    EXPECT_EQ(offset, 1234567u);
    ASSERT_EQ(exe.size(), before.size());
    int changed = 0;
    for (std::size_t i = 0; i < exe.size(); ++i) changed += exe[i] != before[i];
    EXPECT_EQ(changed, 7);  // the seven digits that are not zero

    // Patching again (a rebuilt program) is allowed, and the largest offset
    // the program can use fits.
    ASSERT_TRUE(lzh::sfx::PatchArchiveOffset(exe, 0x7FFFFFFF, error)) << error;
    EXPECT_EQ(Read4(exe), "2147483647");
  }
}

TEST(PeResources, RefusesWhatTheStubCouldNotUse) {
  std::string error;
  Bytes exe = MakePe(kStubStrings);
  EXPECT_FALSE(lzh::sfx::PatchArchiveOffset(exe, 0x80000000u, error));
  EXPECT_EQ(Read4(exe), "0000000000");

  for (const char16_t* wrong : {u"000000000", u"00000000000", u"00000x0000", u""}) {
    Bytes other = MakePe({u"", u"a", u"bc", u"def", wrong});
    Bytes before = other;
    EXPECT_FALSE(lzh::sfx::PatchArchiveOffset(other, 5, error));
    EXPECT_EQ(other, before);
  }
  std::uint32_t offset = 0;
  EXPECT_FALSE(lzh::sfx::ReadArchiveOffset(MakePe({u"", u"", u"", u"", u"12a"}), offset));
  EXPECT_FALSE(lzh::sfx::ReadArchiveOffset(MakePe({u"", u"", u"", u"", u"4294967296"}), offset));
  ASSERT_TRUE(lzh::sfx::ReadArchiveOffset(MakePe({u"", u"", u"", u"", u"4294967295"}), offset));
  EXPECT_EQ(offset, 0xFFFFFFFFu);
}

TEST(PeResources, TruncatedOrForeignFilesFailCleanly) {
  Bytes exe = MakePe(kStubStrings);
  std::string error;
  for (std::size_t size = 0; size < exe.size(); ++size) {
    Bytes cut(exe.begin(), exe.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_FALSE(lzh::sfx::PatchArchiveOffset(cut, 1, error)) << "size " << size;
  }
  Bytes text(4096, 'x');
  EXPECT_FALSE(lzh::sfx::PatchArchiveOffset(text, 1, error));
  EXPECT_NE(error.find("MZ"), std::string::npos);

  // A string-table entry that claims more code units than its block holds.
  Bytes lying = MakePe(kStubStrings);
  lying[0x200 + 0x60] = 0xFF;  // length of string 0
  EXPECT_FALSE(lzh::sfx::PatchArchiveOffset(lying, 1, error));
}

// The cross-built stub, when the Windows build has run.
TEST(PeResources, RealStubKeepsItsPlaceholderAndDialogFont) {
  std::ifstream in(LZH_WIN32_STUB, std::ios::binary);
  if (!in) GTEST_SKIP() << "no cross-built stub at " << LZH_WIN32_STUB;
  Bytes exe((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(Read4(exe), "0000000000");
  std::string text, error;
  for (std::uint16_t id = 1; id <= 3; ++id) {
    EXPECT_TRUE(lzh::sfx::ReadString(exe, id, text, error)) << id << ": " << error;
  }

  std::string patchError;
  ASSERT_TRUE(lzh::sfx::PatchArchiveOffset(exe, static_cast<std::uint32_t>(exe.size()), patchError))
      << patchError;
  std::uint32_t offset = 0;
  ASSERT_TRUE(lzh::sfx::ReadArchiveOffset(exe, offset));
  EXPECT_EQ(offset, exe.size());
}

// A dialog template as the system reads it (DLGTEMPLATE and its items).
struct Control {
  int id;
  std::string className;  // upper case; predefined classes by their atom
  std::u16string text;
  std::uint32_t style;
  int x, y, cx, cy;
  bool operator==(const Control&) const = default;
};
struct Template {
  std::uint32_t style = 0, exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::u16string className, caption, font;
  int pointSize = 0;
  std::vector<Control> controls;
};

class TemplateReader {
 public:
  TemplateReader(const Bytes& bytes, std::size_t at) : b_(bytes), at_(at) {}
  std::uint16_t Word() {
    std::uint16_t w = static_cast<std::uint16_t>(b_.at(at_) | b_.at(at_ + 1) << 8);
    at_ += 2;
    return w;
  }
  std::uint32_t Dword() {
    std::uint32_t low = Word();
    return low | static_cast<std::uint32_t>(Word()) << 16;
  }
  // A zero-terminated UTF-16 text, or 0xFFFF and an ordinal ("#n").
  std::u16string SizedText() {
    std::u16string text;
    std::uint16_t first = Word();
    if (first == 0xFFFF) {
      std::string ordinal = "#" + std::to_string(Word());
      return std::u16string(ordinal.begin(), ordinal.end());
    }
    for (std::uint16_t c = first; c != 0; c = Word()) text.push_back(c);
    return text;
  }
  void AlignDword(std::size_t base) { at_ += (4 - (at_ - base) % 4) % 4; }

 private:
  const Bytes& b_;
  std::size_t at_;
};

std::string ClassName(const std::u16string& raw) {
  if (raw == u"#128") return "BUTTON";
  if (raw == u"#129") return "EDIT";
  if (raw == u"#130") return "STATIC";
  if (raw == u"#131") return "LISTBOX";
  std::string name;
  for (char16_t c : raw) name.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
  return name;
}

Template ReadTemplate(const Bytes& exe, const std::string& name) {
  std::uint32_t offset = 0, size = 0;
  std::string error;
  Template t;
  EXPECT_TRUE(lzh::sfx::FindResource(exe, 5, name, offset, size, error)) << name << ": " << error;
  if (offset == 0) return t;
  TemplateReader r(exe, offset);
  t.style = r.Dword();
  t.exStyle = r.Dword();
  int count = r.Word();
  t.x = static_cast<std::int16_t>(r.Word());
  t.y = static_cast<std::int16_t>(r.Word());
  t.cx = r.Word();
  t.cy = r.Word();
  EXPECT_EQ(r.SizedText(), u"") << name << " has a menu";
  t.className = r.SizedText();
  t.caption = r.SizedText();
  t.pointSize = r.Word();
  t.font = r.SizedText();
  for (int i = 0; i < count; ++i) {
    r.AlignDword(offset);
    Control c;
    c.style = r.Dword();
    EXPECT_EQ(r.Dword(), 0u) << name << " control " << i << " has an extended style";
    c.x = static_cast<std::int16_t>(r.Word());
    c.y = static_cast<std::int16_t>(r.Word());
    c.cx = r.Word();
    c.cy = r.Word();
    c.id = r.Word();
    c.className = ClassName(r.SizedText());
    c.text = r.SizedText();
    EXPECT_EQ(r.Word(), 0) << name << " control " << i << " has creation data";
    t.controls.push_back(c);
  }
  return t;
}

const std::u16string kFont = u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF";

TEST(PeResources, RealStubDialogTemplatesAreTheAgreedLayout) {
  std::ifstream in(LZH_WIN32_STUB, std::ios::binary);
  if (!in) GTEST_SKIP() << "no cross-built stub at " << LZH_WIN32_STUB;
  Bytes exe((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  Template main = ReadTemplate(exe, "MainDialog");
  EXPECT_EQ(main.style, 0x90CA0844u);
  EXPECT_EQ(main.exStyle, 0u);
  EXPECT_EQ(main.cx, 284);
  EXPECT_EQ(main.cy, 208);
  EXPECT_EQ(main.className, u"");
  EXPECT_FALSE(main.caption.empty());
  EXPECT_EQ(main.pointSize, 10);
  EXPECT_EQ(main.font, kFont);
  const std::vector<Control> mainControls = {
      {101, "EDIT", u"", 0x50800000, 60, 12, 209, 12},
      {401, "BUTTON", u"Use S&tored Paths", 0x50010003, 97, 25, 73, 15},
      {301, "LISTBOX", u"", 0x50B1008B, 13, 44, 257, 77},
      {65535, "BUTTON", u"Existing File(s)", 0x50000007, 15, 125, 110, 58},
      {503, "BUTTON", u"&Confirm before overwriting", 0x50010009, 23, 138, 96, 9},
      {501, "BUTTON", u"&Overwrite (don't ask)", 0x50010009, 23, 152, 85, 10},
      {502, "BUTTON", u"&Skip (don't extract)", 0x50010009, 23, 167, 87, 10},
      {65535, "BUTTON", u"File Selection", 0x50020027, 134, 125, 134, 29},
      {121, "BUTTON", u"Select &All", 0x50010009, 144, 138, 54, 9},
      {122, "BUTTON", u"&Unselect All", 0x50010009, 203, 137, 59, 9},
      {1, "BUTTON", u"&Extract", 0x50010000, 153, 163, 43, 19},
      {2, "BUTTON", u"E&xit", 0x50010000, 207, 163, 44, 19},
      {100, "STATIC", u"Extract &Path:", 0x50020000, 12, 14, 44, 8},
      {601, "EDIT", u"", 0x50810800, 0, 195, 284, 13},
  };
  EXPECT_EQ(main.controls, mainControls);

  Template question = ReadTemplate(exe, "FileExist");
  EXPECT_EQ(question.style, 0x90C800C0u);
  EXPECT_EQ(question.exStyle, 0u);
  EXPECT_EQ(question.className, u"");
  EXPECT_EQ(question.pointSize, 10);
  EXPECT_EQ(question.x, 13);
  EXPECT_EQ(question.y, 19);
  EXPECT_EQ(question.cx, 194);
  EXPECT_EQ(question.cy, 56);
  EXPECT_EQ(question.caption, u"Confirm overwrite of...");
  EXPECT_EQ(question.font, kFont);
  const std::vector<Control> questionControls = {
      {1, "BUTTON", u"&Yes", 0x50010001, 42, 39, 50, 14},
      {2, "BUTTON", u"&No", 0x50010000, 100, 39, 50, 14},
      {101, "EDIT", u"", 0x50000805, 10, 4, 177, 16},
      {401, "BUTTON", u"Don't &ask again", 0x50010003, 67, 24, 65, 12},
  };
  EXPECT_EQ(question.controls, questionControls);

  Template password = ReadTemplate(exe, "PWD");
  EXPECT_EQ(password.style, 0x90C000C0u);
  EXPECT_EQ(password.className, u"bordlg");  // as written, not upper-cased
  EXPECT_EQ(password.caption, u"Enter Password...");
  EXPECT_EQ(password.x, 7);
  EXPECT_EQ(password.y, 18);
  EXPECT_EQ(password.cx, 94);
  EXPECT_EQ(password.cy, 16);
  EXPECT_EQ(password.pointSize, 10);
  EXPECT_EQ(password.font, kFont);
  const std::vector<Control> passwordControls = {{101, "EDIT", u"", 0x50810020, 4, 2, 86, 12}};
  EXPECT_EQ(password.controls, passwordControls);
}

}  // namespace
