#include "startup/switches.h"

namespace lzh {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool EndsWord(wchar_t c) { return c == 0 || IsBlank(c); }

// The program's name: quoted (spaces allowed), or up to the first blank.
const wchar_t* PastProgramName(const wchar_t* p) {
  if (*p == L'"') {
    for (++p; *p != 0 && *p != L'"'; ++p) {
    }
    return *p == L'"' ? p + 1 : p;
  }
  while (!EndsWord(*p)) ++p;
  return p;
}

// The rest of the line without its trailing blanks, which no folder name
// keeps on Windows.
bool TakeDirectory(const wchar_t* p, wchar_t (&directory)[kDirectoryUnits]) {
  int length = 0;
  while (p[length] != 0) ++length;
  while (length > 0 && IsBlank(p[length - 1])) --length;
  if (length == 0 || length >= kDirectoryUnits) return false;
  for (int i = 0; i < length; ++i) directory[i] = p[i];
  directory[length] = 0;
  return true;
}

}  // namespace

void ReadSwitches(const wchar_t* commandLine, Switches& switches) {
  const wchar_t* p = PastProgramName(commandLine);
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (*p == 0) return;
    // A stray word or an unknown switch is noted and passed over, so that a
    // /S after it still keeps every window away.
    if (*p != L'/' && *p != L'-') {
      switches.bad = true;
      while (!EndsWord(*p)) ++p;
      continue;
    }
    wchar_t letter = p[1] | 0x20;  // ASCII letters in lower case; '?' stays
    if (letter == L'd' && p[2] == L'=') {
      if (!TakeDirectory(p + 3, switches.directory)) switches.bad = true;
      return;
    }
    bool known = EndsWord(p[2]);
    if (known && letter == L's') {
      switches.silent = true;
    } else if (known && letter == L'o') {
      switches.overwrite = true;
    } else if (known && (letter == L'?' || letter == L'h')) {
      switches.help = true;
    } else {
      switches.bad = true;
    }
    for (p += 1; !EndsWord(*p); ++p) {
    }
  }
}

}  // namespace lzh
