// Byte-level tests and the UTF-8 / UTF-16 conversions that need no code
// page table.
#pragma once

#include <string>
#include <string_view>

namespace lzhnames {

bool IsAscii(std::string_view bytes);

// Well-formed UTF-8: shortest forms only, no surrogates, at most U+10FFFF.
bool IsUtf8(std::string_view bytes);

// Well-formed Shift-JIS as code page 932 lays it out: single bytes
// 0x00-0x7F and 0xA1-0xDF (half-width katakana); lead bytes 0x81-0x9F and
// 0xE0-0xFC, each followed by a trail byte 0x40-0x7E or 0x80-0xFC. Tells
// only the structure; whether each pair has a character is the table's.
bool IsShiftJis(std::string_view bytes);

// UTF-16 code units to UTF-8; false (out unspecified) for an unpaired
// surrogate.
bool Utf16ToUtf8(std::u16string_view utf16, std::string& out);

// UTF-8 to UTF-16 code units; false (out unspecified) for bytes that are
// not well-formed UTF-8.
bool Utf8ToUtf16(std::string_view utf8, std::u16string& out);

// UTF-16LE bytes (as extension records hold them) to code units; an odd
// last byte is dropped.
std::u16string Utf16FromLittleEndian(std::string_view bytes);

}  // namespace lzhnames
