#include <windows.h>

#include <cctype>
#include <string>

#include "names/code_page_text.h"

namespace lzhnames {

namespace {

constexpr UINT kNoCodePage = 0xFFFFFFFF;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The code page a charset name stands for: a number, "CP" or "WINDOWS-"
// and a number, or one of the common iconv names.
UINT CodePageOf(const std::string& charset) {
  std::string name = Upper(charset);
  struct Alias {
    const char* name;
    UINT codePage;
  };
  static const Alias kAliases[] = {
      {"UTF-8", CP_UTF8},    {"UTF8", CP_UTF8}, {"SHIFT_JIS", 932},   {"SHIFT-JIS", 932},
      {"SJIS", 932},         {"MS932", 932},    {"WINDOWS-31J", 932}, {"EUC-JP", 20932},
      {"ISO-8859-1", 28591}, {"LATIN1", 28591}, {"US-ASCII", 20127},  {"ASCII", 20127},
      {"GBK", 936},          {"BIG5", 950},     {"EUC-KR", 51949},
  };
  for (const Alias& alias : kAliases) {
    if (name == alias.name) return alias.codePage;
  }
  for (const char* prefix : {"CP", "WINDOWS-", "IBM", ""}) {
    std::string p = prefix;
    if (name.compare(0, p.size(), p) != 0 || name.size() == p.size() || name.size() > p.size() + 5)
      continue;
    std::string digits = name.substr(p.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
    UINT codePage = static_cast<UINT>(std::stoul(digits));
    return IsValidCodePage(codePage) ? codePage : kNoCodePage;
  }
  return kNoCodePage;
}

bool ToWide(UINT codePage, std::string_view bytes, std::wstring& wide) {
  if (bytes.empty()) {
    wide.clear();
    return true;
  }
  int count = static_cast<int>(bytes.size());
  // Some code pages take no flags at all.
  DWORD flags = MB_ERR_INVALID_CHARS;
  int n = MultiByteToWideChar(codePage, flags, bytes.data(), count, nullptr, 0);
  if (n == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    n = MultiByteToWideChar(codePage, flags, bytes.data(), count, nullptr, 0);
  }
  if (n <= 0) return false;
  wide.resize(static_cast<std::size_t>(n));
  return MultiByteToWideChar(codePage, flags, bytes.data(), count, wide.data(), n) == n;
}

bool FromWide(UINT codePage, const std::wstring& wide, std::string& out) {
  if (wide.empty()) {
    out.clear();
    return true;
  }
  int count = static_cast<int>(wide.size());
  // Code pages with look-alikes ("best fit") would turn a character into
  // another one; UTF-8 and UTF-7 take none of these flags.
  bool unicode = codePage == CP_UTF8 || codePage == CP_UTF7;
  DWORD flags = unicode ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* defaultFlag = unicode ? nullptr : &usedDefault;
  int n =
      WideCharToMultiByte(codePage, flags, wide.data(), count, nullptr, 0, nullptr, defaultFlag);
  if (n <= 0 || usedDefault) return false;
  out.resize(static_cast<std::size_t>(n));
  n = WideCharToMultiByte(codePage, flags, wide.data(), count, out.data(), n, nullptr, defaultFlag);
  return n == static_cast<int>(out.size()) && !usedDefault;
}

}  // namespace

bool IsKnownCharset(const std::string& charset) { return CodePageOf(charset) != kNoCodePage; }

bool CodePageToUtf8(const std::string& charset, std::string_view bytes, std::string& out) {
  UINT codePage = CodePageOf(charset);
  std::wstring wide;
  return codePage != kNoCodePage && ToWide(codePage, bytes, wide) && FromWide(CP_UTF8, wide, out);
}

bool Utf8ToCodePage(const std::string& charset, std::string_view utf8, std::string& out) {
  UINT codePage = CodePageOf(charset);
  std::wstring wide;
  return codePage != kNoCodePage && ToWide(CP_UTF8, utf8, wide) && FromWide(codePage, wide, out);
}

std::string SystemNameToUtf8(std::string_view bytes) {
  std::wstring wide;
  std::string out;
  if (ToWide(CP_ACP, bytes, wide) && FromWide(CP_UTF8, wide, out)) return out;
  return std::string(bytes);
}

}  // namespace lzhnames
