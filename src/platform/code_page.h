// The system's ANSI code page, as the path operations and the names need it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh {

// True when byte starts a double-byte character in the system's ANSI code
// page (Windows' IsDBCSLeadByte); always false on POSIX, whose names are
// not read in a double-byte ANSI code page.
bool IsHostLeadByte(std::uint8_t byte);

// bytes, a name in the system's ANSI code page, as UTF-8 in utf8 (capacity
// bytes, NUL included): what the system's byte calls would make of it. On
// POSIX names are bytes and stay as they are. False, utf8 empty, when it
// does not fit.
bool SystemNameToUtf8(const char* bytes, char* utf8, std::size_t capacity);

}  // namespace lzh
