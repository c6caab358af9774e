#include "names/unicode_text.h"

#include <cstdint>

namespace lzhnames {

namespace {

// Decodes the UTF-8 character at bytes[i]; -1 when it is not well-formed.
// length gets its byte count.
std::int32_t NextUtf8(std::string_view bytes, std::size_t i, std::size_t& length) {
  const auto b = static_cast<unsigned char>(bytes[i]);
  int extra = b < 0x80             ? 0
              : (b & 0xE0) == 0xC0 ? 1
              : (b & 0xF0) == 0xE0 ? 2
              : (b & 0xF8) == 0xF0 ? 3
                                   : -1;
  if (extra < 0 || i + static_cast<std::size_t>(extra) >= bytes.size()) return -1;
  std::uint32_t c = extra == 0 ? b : b & (0x3Fu >> extra);
  for (int k = 1; k <= extra; ++k) {
    const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
    if ((next & 0xC0) != 0x80) return -1;
    c = c << 6 | (next & 0x3Fu);
  }
  static constexpr std::uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};  // no overlong forms
  if (c < kLeast[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
  length = static_cast<std::size_t>(extra) + 1;
  return static_cast<std::int32_t>(c);
}

void AppendUtf8(std::uint32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsShiftJisLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsShiftJisTrail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

}  // namespace

bool IsAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool IsUtf8(std::string_view bytes) {
  for (std::size_t i = 0, length = 0; i < bytes.size(); i += length) {
    if (NextUtf8(bytes, i, length) < 0) return false;
  }
  return true;
}

bool IsShiftJis(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) continue;
    if (!IsShiftJisLead(b) || i + 1 == bytes.size() ||
        !IsShiftJisTrail(static_cast<unsigned char>(bytes[i + 1])))
      return false;
    ++i;
  }
  return true;
}

bool Utf16ToUtf8(std::u16string_view utf16, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    std::uint32_t c = utf16[i];
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == utf16.size() || utf16[i + 1] < 0xDC00 || utf16[i + 1] > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00u);
    }
    AppendUtf8(c, out);
  }
  return true;
}

bool Utf8ToUtf16(std::string_view utf8, std::u16string& out) {
  out.clear();
  for (std::size_t i = 0, length = 0; i < utf8.size(); i += length) {
    std::int32_t c = NextUtf8(utf8, i, length);
    if (c < 0) return false;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return true;
}

std::u16string Utf16FromLittleEndian(std::string_view bytes) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                   static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  return units;
}

}  // namespace lzhnames
