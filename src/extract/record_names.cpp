#include "extract/record_names.h"

#include <cstring>

#include "platform/code_page.h"

namespace lzh {

namespace {

constexpr std::uint8_t kUtf16NameRecord = 0x44;
constexpr std::uint8_t kUtf16DirectoryRecord = 0x45;
constexpr std::uint16_t kUtf16Separator = 0xFFFF;  // ends each directory component in 0x45

// Appends code point c as UTF-8; false when it does not fit.
bool PutUtf8(std::uint32_t c, char* out, std::size_t capacity, std::size_t& at) {
  std::uint8_t bytes[4];
  int n;
  if (c < 0x80) {
    bytes[0] = static_cast<std::uint8_t>(c);
    n = 1;
  } else if (c < 0x800) {
    bytes[0] = static_cast<std::uint8_t>(0xC0 | c >> 6);
    n = 2;
  } else if (c < 0x10000) {
    bytes[0] = static_cast<std::uint8_t>(0xE0 | c >> 12);
    n = 3;
  } else {
    bytes[0] = static_cast<std::uint8_t>(0xF0 | c >> 18);
    n = 4;
  }
  for (int i = 1; i < n; ++i)
    bytes[i] = static_cast<std::uint8_t>(0x80 | ((c >> (6 * (n - 1 - i))) & 0x3F));
  if (at + static_cast<std::size_t>(n) >= capacity) return false;
  for (int i = 0; i < n; ++i) out[at++] = static_cast<char>(bytes[i]);
  return true;
}

}  // namespace

bool Utf16LeToUtf8(const std::uint8_t* data, std::uint32_t size, std::uint16_t separator, char* out,
                   std::size_t capacity) {
  std::size_t at = 0;
  bool ok = true;
  for (std::uint32_t i = 0; ok && i + 1 < size; i += 2) {
    std::uint32_t unit = static_cast<std::uint32_t>(data[i] | data[i + 1] << 8);
    if (unit == 0) break;
    if (unit == separator) unit = '\\';
    if (unit >= 0xD800 && unit < 0xE000) {
      // A high surrogate and a low one make one code point; alone, either is no text.
      std::uint32_t low =
          i + 3 < size ? static_cast<std::uint32_t>(data[i + 2] | data[i + 3] << 8) : 0;
      ok = unit < 0xDC00 && low >= 0xDC00 && low < 0xE000;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    ok = ok && PutUtf8(unit, out, capacity, at);
  }
  out[ok ? at : 0] = 0;
  return ok;
}

void RecordNames::HeaderStarts() { name_[0] = directory_[0] = 0; }

void RecordNames::Record(std::uint8_t type, const std::uint8_t* data, std::uint32_t size) {
  if (type == kUtf16NameRecord) {
    Utf16LeToUtf8(data, size, 0, name_, sizeof name_);
  } else if (type == kUtf16DirectoryRecord) {
    Utf16LeToUtf8(data, size, kUtf16Separator, directory_, sizeof directory_);
  }
}

NameRefusal RecordNames::ReadName(const MemberHeader& member, const char* name,
                                  char (&memberName)[kPathBytes]) {
  char text[kPathBytes];
  bool fits;
  if (name_[0] == 0 && directory_[0] == 0) {
    fits = SystemNameToUtf8(memberName, text, sizeof text);
  } else {
    char bytes[kPathBytes];
    if (directory_[0] != 0) {
      fits = CopyText(text, sizeof text, directory_);
    } else {
      DirectoryFromExtension(member.extensionText, bytes, sizeof bytes);
      fits = SystemNameToUtf8(bytes, text, sizeof text);
    }
    // The directory's own closing separators stand for one.
    while (EndsInBackslash(text)) text[std::strlen(text) - 1] = 0;
    if (text[0] != 0) fits = AddTrailingBackslash(text, sizeof text) && fits;
    if (name_[0] != 0) {
      fits = AppendText(text, sizeof text, name_) && fits;
    } else {
      fits = SystemNameToUtf8(name, bytes, sizeof bytes) && AppendText(text, sizeof text, bytes) &&
             fits;
    }
  }
  if (!fits) return NameRefusal::TooLong;
  CopyText(memberName, sizeof memberName, text);
  return NameRefusal::None;
}

}  // namespace lzh
