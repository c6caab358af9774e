// Text in a code page, through the system's conversion tables: iconv on
// POSIX, MultiByteToWideChar and WideCharToMultiByte on Windows. Charsets
// are named as iconv names them ("CP932", "CP437", "ISO-8859-1", "UTF-8");
// Windows takes the names of its code pages and their numbers ("932").
#pragma once

#include <string>
#include <string_view>

namespace lzhnames {

// True when the system converts between charset and Unicode.
bool IsKnownCharset(const std::string& charset);

// Bytes in charset to UTF-8. False, out unspecified, when a byte sequence
// has no character in charset or the charset is unknown: a name is then
// better kept as bytes than half converted.
bool CodePageToUtf8(const std::string& charset, std::string_view bytes, std::string& out);

// UTF-8 to bytes in charset. False, out unspecified, when the text is not
// UTF-8 or a character has no code in charset (no look-alike is chosen).
bool Utf8ToCodePage(const std::string& charset, std::string_view utf8, std::string& out);

// Names as the system names its own files, to UTF-8: unchanged on POSIX,
// whose names are bytes; from the ANSI code page on Windows, as the
// system's "A" calls would read them.
std::string SystemNameToUtf8(std::string_view bytes);

}  // namespace lzhnames
