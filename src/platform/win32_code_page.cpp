#include <windows.h>

#include "platform/code_page.h"

namespace lzh {

bool IsHostLeadByte(std::uint8_t byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace lzh
