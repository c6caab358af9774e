#include "extract/safe_names.h"

#include <cstdint>
#include <cstring>

#include "extract/paths.h"

namespace lzh {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Win32 opens the device itself for these names, whatever the directory
// and whatever follows a dot.
bool IsDeviceName(const char* component, std::size_t length) {
  std::size_t base = 0;
  while (base < length && component[base] != '.') ++base;
  while (base > 0 && component[base - 1] == ' ') --base;
  char name[8] = {};
  if (base < 3 || base > 7) return false;
  for (std::size_t i = 0; i < base; ++i) name[i] = Upper(component[i]);
  static const char* const kDevices[] = {"CON", "NUL", "AUX", "PRN", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (std::strcmp(name, device) == 0) return true;
  }
  if (base == 4 && (std::memcmp(name, "COM", 3) == 0 || std::memcmp(name, "LPT", 3) == 0))
    return name[3] >= '1' && name[3] <= '9';
  return false;
}

// Dots and spaces alone: Win32 drops trailing dots and spaces, so ". ."
// and "..." resolve like "." or "..".
bool IsDotsOnly(const char* component, std::size_t length) {
  int dots = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (component[i] == '.') {
      ++dots;
    } else if (component[i] != ' ') {
      return false;
    }
  }
  return dots >= 2;
}

bool IsRefusedByte(std::uint8_t c) {
  return c < 0x20 || c == 0x7F || std::strchr("<>\"|?*:", c) != nullptr;
}

}  // namespace

bool IsSafeMemberPath(const char* memberName) {
  if (memberName[0] == 0) return false;
  // One leading "\" is the root of the extraction directory; two are a UNC
  // or rooted name.
  if (IsSeparator(memberName[0]) && IsSeparator(memberName[1])) return false;
  const char* component = memberName;
  for (const char* p = memberName;; p += CharLength(p)) {
    bool single = *p == 0 || CharLength(p) == 1;
    if (*p == 0 || (single && IsSeparator(*p))) {
      std::size_t length = static_cast<std::size_t>(p - component);
      if (IsDotsOnly(component, length) || IsDeviceName(component, length)) return false;
      if (*p == 0) break;
      component = p + 1;
      continue;
    }
    if (single && IsRefusedByte(static_cast<std::uint8_t>(*p))) return false;
  }
  // A name that ends in a separator names a directory, not a file.
  return !IsSeparator(memberName[std::strlen(memberName) - 1]);
}

}  // namespace lzh
