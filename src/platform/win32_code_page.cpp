#include <windows.h>

#include "platform/code_page.h"
#include "platform/win32_text.h"

namespace lzh {

bool IsHostLeadByte(std::uint8_t byte) { return IsDBCSLeadByte(byte) != FALSE; }

bool SystemNameToUtf8(const char* bytes, char* utf8, std::size_t capacity) {
  wchar_t wide[kWidePathUnits];
  if (MultiByteToWideChar(CP_ACP, 0, bytes, -1, wide, kWidePathUnits) != 0)
    return WideToUtf8(wide, utf8, capacity);
  utf8[0] = 0;
  return false;
}

}  // namespace lzh
