// The stub's string resource 4 holds the offset of the attached archive as
// a 10-digit decimal text ("0000000000" in the stub as built). These find
// it by walking the program's resource directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lzh::sfx {

inline constexpr int kOffsetDigits = 10;

// Reads string 4 as a decimal number. False when exe is no PE program, has
// no string 4, or the text is not a whole decimal number that fits.
bool ReadArchiveOffset(const std::vector<std::uint8_t>& exe, std::uint32_t& offset);

// Writes offset into string 4 in place, zero-padded to its ten digits.
// False, with a reason in error, when the program has no such placeholder.
bool PatchArchiveOffset(std::vector<std::uint8_t>& exe, std::uint32_t offset, std::string& error);

}  // namespace lzh::sfx
