#include "names/name_charset.h"

#include "names/code_page_text.h"
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

std::string ConvertedOrKept(const std::string& charset, std::string_view bytes) {
  std::string text;
  if (CodePageToUtf8(charset, bytes, text)) return text;
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

std::string ReadableText(const NameCharset& charset, std::string_view bytes,
                         std::uint32_t codePage) {
  switch (charset.mode) {
    case CharsetMode::Raw:
      return SystemNameToUtf8(bytes);
    case CharsetMode::Named:
      return ConvertedOrKept(charset.name, bytes);
    case CharsetMode::Auto:
      break;
  }
  if (IsAscii(bytes)) return std::string(bytes);
  // The archiver said what the bytes are.
  if (codePage != kNoCodePage) return ConvertedOrKept(CharsetOfCodePage(codePage), bytes);
  if (IsUtf8(bytes)) return std::string(bytes);
  if (IsShiftJis(bytes)) return ConvertedOrKept(kShiftJis, bytes);
  return SystemNameToUtf8(bytes);
}

bool StoredBytes(const std::string& charset, std::string_view utf8, std::string& bytes) {
  return Utf8ToCodePage(charset, utf8, bytes);
}

std::string CharsetOfCodePage(std::uint32_t codePage) {
  return codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage);
}

}  // namespace lzhnames
