#include "commands/stored_name.h"

#include "names/code_page_text.h"
#include "names/unicode_text.h"

namespace lzhcli {

namespace {

const char kShiftJis[] = "CP932";  // the format's customary code page

// The name in code page 932 with "_" for each character it lacks.
std::string ShiftJisFallback(const std::string& utf8) {
  std::string bytes, converted;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t length = 1;
    while (i + length < utf8.size() &&
           (static_cast<unsigned char>(utf8[i + length]) & 0xC0) == 0x80)
      ++length;
    bytes +=
        lzhnames::Utf8ToCodePage(kShiftJis, utf8.substr(i, length), converted) ? converted : "_";
    i += length;
  }
  return bytes;
}

bool IsShiftJisLead(std::uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
// GBK, Big5 and UHC.
bool IsWideLead(std::uint8_t c) { return c >= 0x81 && c <= 0xFE; }

lzh::LeadByteTest LeadByteTestOf(const std::string& charset) {
  std::string name;
  for (char c : charset) name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  for (const char* sjis :
       {"CP932", "932", "SHIFT_JIS", "SHIFT-JIS", "SJIS", "MS932", "WINDOWS-31J"})
    if (name == sjis) return IsShiftJisLead;
  for (const char* wide : {"CP936", "936", "GBK", "GB18030", "CP950", "950", "BIG5", "BIG5-HKSCS",
                           "CP949", "949", "UHC"})
    if (name == wide) return IsWideLead;
  return nullptr;
}

// MakeStoredName without the UTF-16 a program's names get.
bool MakeStoredBytes(const std::string& utf8, const lzhnames::NameCharset& charset, int headerLevel,
                     StoredName& out, std::string& error) {
  out = StoredName{};
  switch (charset.mode) {
    case lzhnames::CharsetMode::Raw:
      out.bytes = utf8;
      return true;
    case lzhnames::CharsetMode::Named:
      if (lzhnames::Utf8ToCodePage(charset.name, utf8, out.bytes)) {
        out.leadByteTest = LeadByteTestOf(charset.name);
        return true;
      }
      error = "its name has a character that " + charset.name +
              " lacks; choose another --charset (auto, cp932, raw or an iconv name)";
      return false;
    case lzhnames::CharsetMode::Auto:
      break;
  }
  if (lzhnames::IsAscii(utf8)) {
    out.bytes = utf8;
    return true;
  }
  if (lzhnames::Utf8ToCodePage(kShiftJis, utf8, out.bytes)) {
    out.leadByteTest = IsShiftJisLead;
    return true;
  }
  if (!lzhnames::IsUtf8(utf8)) {
    error = "its name is not UTF-8, so it cannot be converted; --charset raw stores its bytes";
    return false;
  }
  if (headerLevel < 2) {
    error = "its name has characters code page 932 lacks, which a level-" +
            std::to_string(headerLevel) +
            " header cannot store; use -h 2 (UTF-16 beside the code page), or --charset "
            "cp932, an iconv name (such as UTF-8) or raw";
    return false;
  }
  lzhnames::Utf8ToUtf16(utf8, out.utf16);
  out.bytes = ShiftJisFallback(utf8);
  out.leadByteTest = IsShiftJisLead;
  return true;
}

}  // namespace

bool MakeStoredName(const std::string& utf8, const lzhnames::NameCharset& charset, int headerLevel,
                    bool withUtf16, StoredName& out, std::string& error) {
  if (!MakeStoredBytes(utf8, charset, headerLevel, out, error)) return false;
  if (withUtf16 && headerLevel >= 2 && out.utf16.empty() && !lzhnames::IsAscii(utf8) &&
      lzhnames::IsUtf8(utf8))
    lzhnames::Utf8ToUtf16(utf8, out.utf16);
  return true;
}

}  // namespace lzhcli
