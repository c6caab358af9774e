#include "session/member_names.h"

#include <cstring>
#include <string_view>

#include "extract/safe_names.h"
#include "names/unicode_text.h"

namespace lzhcli {

namespace {

constexpr std::uint8_t kUtf16NameRecord = 0x44;
constexpr std::uint8_t kUtf16DirectoryRecord = 0x45;
constexpr std::uint8_t kCodePageRecord = 0x46;
constexpr char16_t kUtf16Separator = 0xFFFF;  // ends each directory component in 0x45
// How much of a name too long to use is shown with its refusal.
constexpr std::size_t kShownPrefixBytes = 60;

// UTF-16LE record data, cut at its first zero unit as byte names are.
std::u16string RecordText(const std::uint8_t* data, std::uint32_t size) {
  std::u16string units =
      lzhnames::Utf16FromLittleEndian(std::string_view(reinterpret_cast<const char*>(data), size));
  std::size_t end = units.find(u'\0');
  return end == std::u16string::npos ? units : units.substr(0, end);
}

lzh::LeadByteTest LeadTestOf(const std::string& charset) {
  if (!lzhnames::HasBackslashTrailBytes(charset)) return nullptr;
  std::string upper;
  for (char c : charset) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  bool shiftJis = upper.find("932") != std::string::npos ||
                  upper.find("JIS") != std::string::npos || upper.find("31J") != std::string::npos;
  return shiftJis ? lzhnames::IsShiftJisLeadByte : lzhnames::IsWideLeadByte;
}

}  // namespace

void MemberNames::HeaderStarts() {
  hasUtf16Name_ = hasUtf16Directory_ = false;
  utf16Name_.clear();
  utf16Directory_.clear();
  codePage_ = lzhnames::kNoCodePage;
}

void MemberNames::Record(std::uint8_t type, const std::uint8_t* data, std::uint32_t size) {
  if (type == kUtf16NameRecord) {
    hasUtf16Name_ = true;
    utf16Name_ = RecordText(data, size);
  } else if (type == kUtf16DirectoryRecord) {
    hasUtf16Directory_ = true;
    utf16Directory_ = RecordText(data, size);
    for (char16_t& unit : utf16Directory_) {
      if (unit == kUtf16Separator) unit = u'\\';
    }
    while (!utf16Directory_.empty() && utf16Directory_.back() == u'\\') utf16Directory_.pop_back();
  } else if (type == kCodePageRecord && size >= 4) {
    codePage_ = static_cast<std::uint32_t>(data[0] | data[1] << 8 | data[2] << 16) |
                static_cast<std::uint32_t>(data[3]) << 24;
  }
}

std::string MemberNames::BytesText(const std::string& bytes, std::string& usedCharset) const {
  return lzhnames::ReadableText(charset_, bytes, codePage_, &usedCharset);
}

std::string MemberNames::Text(const lzh::MemberHeader& member, const char* name,
                              std::string* bytesCharset) const {
  bool raw = charset_.mode == lzhnames::CharsetMode::Raw;
  std::string used, directory, file;
  // A UTF-16 record that is not text is passed over for the bytes.
  if (raw || !hasUtf16Directory_ || !lzhnames::Utf16ToUtf8(utf16Directory_, directory)) {
    char bytes[lzh::kPathBytes];
    lzh::DirectoryFromExtension(member.extensionText, bytes, sizeof bytes);
    directory = BytesText(bytes, used);
  }
  if (raw || !hasUtf16Name_ || !lzhnames::Utf16ToUtf8(utf16Name_, file)) {
    std::string nameUsed;
    file = BytesText(name, nameUsed);
    if (!nameUsed.empty()) used = nameUsed;
  }
  if (bytesCharset != nullptr) *bytesCharset = used;
  if (directory.empty()) return file;
  if (directory.back() != '\\') directory += '\\';
  return directory + file;
}

std::string MemberNames::Reading(const lzh::MemberHeader& member, const char* name) const {
  std::string used;
  const std::string text = Text(member, name, &used);
  if (HasOwnName()) return "utf-16";
  if (!used.empty()) {
    std::string lower;
    for (char c : used) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower == "cp932" ? "shift-jis" : lower;
  }
  return lzhnames::IsAscii(text) ? "ascii" : "raw";
}

lzh::NameRefusal MemberNames::BytesRefusal(const lzh::MemberHeader& member, const char* bytes,
                                           const std::string& charset) const {
  std::string path = bytes;
  lzh::SetLeadByteTest(LeadTestOf(charset));
  if (!storedPaths) {
    char fileName[lzh::kFileNameMax + 1];
    lzh::FileNamePart(path.c_str(), fileName);
    path = fileName;
  }
  // A directory entry's name ends in a separator.
  while (member.IsDirectoryEntry() && !path.empty() &&
         (lzh::EndsInBackslash(path.c_str()) || path.back() == '/'))
    path.pop_back();
  lzh::NameRefusal refusal =
      path.empty() ? lzh::NameRefusal::None : lzh::MemberPathRefusal(path.c_str());
  // Converted names are UTF-8: no byte of theirs is a lead byte.
  lzh::SetLeadByteTest(nullptr);
  return refusal;
}

bool MemberNames::HasOwnName() const {
  std::string text;
  return charset_.mode != lzhnames::CharsetMode::Raw && hasUtf16Name_ && !utf16Name_.empty() &&
         lzhnames::Utf16ToUtf8(utf16Name_, text);
}

lzh::NameRefusal MemberNames::ReadName(const lzh::MemberHeader& member, const char* name,
                                       char (&memberName)[lzh::kPathBytes]) {
  // The charset the bytes were read in decides where they separate.
  std::string used;
  std::string text = Text(member, name, &used);
  lastBytesCharset_ = used;
  if (text == memberName) return lzh::NameRefusal::None;  // the walk checks it as it is
  lzh::NameRefusal refusal = BytesRefusal(member, memberName, used);
  if (!lzh::CopyText(memberName, sizeof memberName, text.c_str())) {
    // Refused all the same, but named: its start and an ellipsis ("..."
    // would read as a component that climbs), cut between characters.
    std::size_t cut = kShownPrefixBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    lzh::CopyText(memberName, sizeof memberName, (text.substr(0, cut) + "\u2026").c_str());
    return lzh::NameRefusal::TooLong;
  }
  return refusal;
}

}  // namespace lzhcli
