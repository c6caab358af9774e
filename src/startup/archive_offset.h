// Where the attached archive starts, from the text of string resource 4.
#pragma once

#include <cstdint>

namespace lzh {

// The offset that text names in an executable of fileSize bytes (the low 32
// bits of its size). The text must be a whole decimal number, digits only,
// that fits a signed 32-bit offset; the offset must fall inside the file and
// after its start. Anything else gives 0: no archive attached.
inline std::int32_t ArchiveOffsetFromText(const char* text, std::uint32_t fileSize) {
  if (text[0] == 0) return 0;
  std::uint64_t value = 0;  // wide enough that one more digit cannot wrap
  for (const char* c = text; *c != 0; ++c) {
    if (*c < '0' || *c > '9') return 0;
    value = value * 10 + static_cast<std::uint64_t>(*c - '0');
    if (value > 0x7FFFFFFFu) return 0;
  }
  if (value == 0 || value >= fileSize) return 0;
  return static_cast<std::int32_t>(value);
}

}  // namespace lzh
