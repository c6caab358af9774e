#include "platform/code_page.h"

namespace lzh {

bool IsHostLeadByte(std::uint8_t) { return false; }

}  // namespace lzh
