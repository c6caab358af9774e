// Which charset a stored name is read in, and the rules that turn its bytes
// into the UTF-8 text people read (and a UTF-8 text back into bytes).
//
// Format notes. LHA names are bytes: in practice Shift-JIS (code page 932)
// from Japanese tools, ASCII or a DOS code page from others, and UTF-8
// from some recent ones. Level-2 headers of current Windows archivers may
// add the code page of those bytes (record 0x46, four bytes little-endian)
// and the names as UTF-16 (records 0x44 and 0x45), which the caller
// prefers to any bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lzhnames {

enum class CharsetMode : std::uint8_t {
  // UTF-8 and ASCII kept, else Shift-JIS when it reads plausibly as such,
  // else a Latin code page whose letters read it (name_guess.h), else the bytes
  Auto,
  Raw,    // the bytes as the system takes file names
  Named,  // the bytes read in the charset named
};

struct NameCharset {
  CharsetMode mode = CharsetMode::Auto;
  std::string name;  // Named: the charset, as iconv names it
};

inline constexpr std::uint32_t kNoCodePage = 0;

// The value of --charset: "auto", "raw" or a charset the system knows
// (case is ignored for the first two). False, with the reason in error, for
// a charset the system cannot convert.
bool ParseCharset(const std::string& value, NameCharset& charset, std::string& error);

// The text of stored name bytes in UTF-8. codePage is the one a header
// records (kNoCodePage when none), which decides Auto. Bytes that are not
// valid in the charset chosen are kept as they are (Raw's reading).
// usedCharset, when given, receives the charset the bytes were read in
// ("UTF-8" for UTF-8 kept), or "" when they were kept as bytes or are ASCII.
std::string ReadableText(const NameCharset& charset, std::string_view bytes,
                         std::uint32_t codePage = kNoCodePage, std::string* usedCharset = nullptr);

// True when charset is a double-byte code page whose trail bytes include
// "" (0x5C): Shift-JIS (932), GBK (936), UHC (949), Big5 (950).
bool HasBackslashTrailBytes(const std::string& charset);

// Lead bytes of the others than Shift-JIS (IsShiftJisLeadByte): 0x81-0xFE.
bool IsWideLeadByte(std::uint8_t byte);

// The bytes that store a UTF-8 text in charset; false when a character has
// no code there.
bool StoredBytes(const std::string& charset, std::string_view utf8, std::string& bytes);

// The charset of a Windows code page number: "CP932"; 65001 is "UTF-8".
std::string CharsetOfCodePage(std::uint32_t codePage);

}  // namespace lzhnames
