#include <cstring>

#include "platform/code_page.h"

namespace lzh {

bool IsHostLeadByte(std::uint8_t) { return false; }

bool SystemNameToUtf8(const char* bytes, char* utf8, std::size_t capacity) {
  std::size_t n = std::strlen(bytes);
  if (n >= capacity) {
    utf8[0] = 0;
    return false;
  }
  std::memcpy(utf8, bytes, n + 1);
  return true;
}

}  // namespace lzh
