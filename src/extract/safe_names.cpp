#include "extract/safe_names.h"

#include <cstdint>
#include <cstring>

#include "extract/paths.h"

namespace lzh {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The digit of COM and LPT devices: 1-9, and the superscripts 1, 2 and 3,
// which Windows also takes for device numbers; as ANSI (Latin-1) bytes or
// as UTF-8 (0xC2 first), since names reach other systems in either.
bool IsDeviceDigit(const char* digit, std::size_t length) {
  if (length == 2 && static_cast<std::uint8_t>(*digit) == 0xC2) {
    ++digit;
    --length;
  }
  return length == 1 && *digit != 0 && std::strchr("123456789\xB9\xB2\xB3", *digit) != nullptr;
}

// Win32 opens the device itself for these names, whatever the directory
// and whatever follows a dot.
bool IsDeviceName(const char* component, std::size_t length) {
  std::size_t base = 0;
  while (base < length && component[base] != '.') ++base;
  while (base > 0 && component[base - 1] == ' ') --base;
  if (base < 3 || base > 7) return false;
  char name[8] = {};
  for (std::size_t i = 0; i < base; ++i) name[i] = Upper(component[i]);
  static const char* const kDevices[] = {"CON", "NUL", "AUX", "PRN", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (std::strcmp(name, device) == 0) return true;
  }
  if (std::memcmp(name, "COM", 3) == 0 || std::memcmp(name, "LPT", 3) == 0)
    return IsDeviceDigit(component + 3, base - 3);
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

NameRefusal MemberPathRefusal(const char* memberName) {
  if (memberName[0] == 0) return NameRefusal::NoFileName;
  // One leading "\" is the root of the extraction directory; two are a UNC
  // or rooted name.
  if (IsSeparator(memberName[0]) && IsSeparator(memberName[1])) return NameRefusal::Rooted;
  const char* component = memberName;
  for (const char* p = memberName;; p += CharLength(p)) {
    bool single = *p == 0 || CharLength(p) == 1;
    if (*p == 0 || (single && IsSeparator(*p))) {
      std::size_t length = static_cast<std::size_t>(p - component);
      if (IsDotsOnly(component, length)) return NameRefusal::ParentDirectory;
      if (IsDeviceName(component, length)) return NameRefusal::Device;
      // A name that ends in a separator names a directory, not a file; a
      // trail byte "\" ends a character, not a component.
      if (*p == 0) return length == 0 ? NameRefusal::NoFileName : NameRefusal::None;
      component = p + 1;
      continue;
    }
    // A ":" after a component's first character names a drive.
    if (single && IsRefusedByte(static_cast<std::uint8_t>(*p)))
      return *p == ':' && p == component + 1 ? NameRefusal::Rooted : NameRefusal::BadCharacter;
  }
}

}  // namespace lzh
