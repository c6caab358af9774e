// Texts between UTF-8, which the program and the tool keep every name in,
// and the UTF-16 of Windows' wide calls.
#pragma once

#include <windows.h>

#include <cstddef>

namespace lzh {

// Room for the paths the walk forms (kPathBytes of UTF-8 never need more
// UTF-16 units) and for the texts the dialogs show.
inline constexpr int kWidePathUnits = 1024;

// utf8 as UTF-16 in wide (units, NUL included). False, wide empty, when it
// is not UTF-8 or does not fit.
inline bool Utf8ToWide(const char* utf8, wchar_t* wide, int units) {
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, units) != 0) return true;
  wide[0] = 0;
  return false;
}

// wide as UTF-8 in utf8 (capacity bytes, NUL included). False, utf8 empty,
// when it does not fit.
inline bool WideToUtf8(const wchar_t* wide, char* utf8, std::size_t capacity) {
  if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, static_cast<int>(capacity), nullptr,
                          nullptr) != 0)
    return true;
  utf8[0] = 0;
  return false;
}

}  // namespace lzh
