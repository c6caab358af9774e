// The system's ANSI code page, as the path operations need it.
#pragma once

#include <cstdint>

namespace lzh {

// True when byte starts a double-byte character in the system's ANSI code
// page (Windows' IsDBCSLeadByte); always false on POSIX, whose names are
// not read in a double-byte ANSI code page.
bool IsHostLeadByte(std::uint8_t byte);

}  // namespace lzh
