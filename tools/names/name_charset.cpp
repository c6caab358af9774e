#include "names/name_charset.h"

#include "names/code_page_text.h"
#include "names/name_guess.h"
#include "names/unicode_text.h"

namespace lzhnames {

namespace {

constexpr char kShiftJis[] = "CP932";  // iconv's CP932 maps 0x5C to "\", as Windows does

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string ConvertedOrKept(const std::string& charset, std::string_view bytes,
                            std::string* usedCharset) {
  std::string text;
  if (CodePageToUtf8(charset, bytes, text)) {
    if (usedCharset != nullptr) *usedCharset = charset;
    return text;
  }
  return SystemNameToUtf8(bytes);
}

}  // namespace

bool ParseCharset(const std::string& value, NameCharset& charset, std::string& error) {
  std::string lower = Lower(value);
  if (lower == "auto" || lower == "raw") {
    charset = {lower == "auto" ? CharsetMode::Auto : CharsetMode::Raw, ""};
    return true;
  }
  if (!IsKnownCharset(value)) {
    error = "unknown charset " + value + ": the system cannot convert it (try CP932, CP437, " +
            "UTF-8, auto or raw)";
    return false;
  }
  charset = {CharsetMode::Named, value};
  return true;
}

std::string ReadableText(const NameCharset& charset, std::string_view bytes, std::uint32_t codePage,
                         std::string* usedCharset) {
  if (usedCharset != nullptr) usedCharset->clear();
  switch (charset.mode) {
    case CharsetMode::Raw:
      return SystemNameToUtf8(bytes);
    case CharsetMode::Named:
      return ConvertedOrKept(charset.name, bytes, usedCharset);
    case CharsetMode::Auto:
      break;
  }
  if (IsAscii(bytes)) return std::string(bytes);
  // The archiver said what the bytes are.
  if (codePage != kNoCodePage)
    return ConvertedOrKept(CharsetOfCodePage(codePage), bytes, usedCharset);
  if (IsUtf8(bytes)) {
    if (usedCharset != nullptr) *usedCharset = "UTF-8";
    return std::string(bytes);
  }
  // A Western name may be well-formed Shift-JIS, or not convert as such.
  std::string text;
  if (IsShiftJis(bytes) && !DoubtfulShiftJis(bytes) && CodePageToUtf8(kShiftJis, bytes, text)) {
    if (usedCharset != nullptr) *usedCharset = kShiftJis;
    return text;
  }
  if (const char* latin = LatinCodePageOf(bytes)) return ConvertedOrKept(latin, bytes, usedCharset);
  if (IsShiftJis(bytes)) return ConvertedOrKept(kShiftJis, bytes, usedCharset);
  return SystemNameToUtf8(bytes);
}

bool HasBackslashTrailBytes(const std::string& charset) {
  static const char* const kNames[] = {"CP932", "932",         "SJIS",  "SHIFT_JIS", "SHIFT-JIS",
                                       "MS932", "WINDOWS-31J", "CP936", "936",       "GBK",
                                       "CP949", "949",         "UHC",   "CP950",     "950",
                                       "BIG5",  "BIG5-HKSCS"};
  std::string upper = Upper(charset);
  for (const char* name : kNames) {
    if (upper == name) return true;
  }
  return false;
}

bool IsWideLeadByte(std::uint8_t byte) { return byte >= 0x81 && byte <= 0xFE; }

bool StoredBytes(const std::string& charset, std::string_view utf8, std::string& bytes) {
  return Utf8ToCodePage(charset, utf8, bytes);
}

std::string CharsetOfCodePage(std::uint32_t codePage) {
  return codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage);
}

}  // namespace lzhnames
