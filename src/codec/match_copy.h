// The copy of an LZ77 match, shared by the -lh1- and the -lh4- to -lh7-
// decoders: the source may overlap the destination, and then the copy must
// repeat the bytes it has just written, as a copy of one byte at a time
// would. Wide stores where the distance allows them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lzh {

// Copies n bytes upward as if one at a time, so that a source overlapping
// the destination repeats its bytes. May write up to 31 bytes past to + n:
// the caller's buffer must have that room. A source above the destination,
// which the caller knows to lie apart from it, is copied by 16 bytes.
// kNoCall, for the tool's fast loop: no call (a call there makes the
// compiler keep the loop's values in memory), so a single byte repeats by
// 8-byte stores instead of a memset; and the first 64 bytes go without a
// branch (up to 63 bytes written past to + n).
template <bool kNoCall = false>
inline void CopyForward(std::uint8_t* to, const std::uint8_t* from, int n) {
  const auto distance = to - from;
  if (static_cast<std::size_t>(distance) >= 16) {
    // 16 bytes at a time never read a byte this copy has yet to write.
    // Most matches are short: their first 32 bytes go without a loop.
    std::memcpy(to, from, 16);
    std::memcpy(to + 16, from + 16, 16);
    int i = 32;
    if constexpr (kNoCall) {
      std::memcpy(to + 32, from + 32, 16);
      std::memcpy(to + 48, from + 48, 16);
      i = 64;
    }
    for (; i < n; i += 16) std::memcpy(to + i, from + i, 16);
  } else if (distance >= 8) {
    for (int i = 0; i < n; i += 8) std::memcpy(to + i, from + i, 8);
  } else if (distance == 1) {
    if constexpr (kNoCall) {
      const std::uint64_t run = *from * 0x0101010101010101u;
      for (int i = 0; i < n; i += 8) std::memcpy(to + i, &run, 8);
    } else {
      std::memset(to, *from, static_cast<std::size_t>(n));
    }
  } else {
    // The bytes repeat with the distance as their period: past the first
    // whole number of periods that spans 8 bytes, written one by one, each
    // 8 bytes are a copy of those that many bytes back.
    const int period = static_cast<int>(distance);
    const int stride = period * ((8 + period - 1) / period);
    int i = 0;
    for (; i < stride && i < n; ++i) to[i] = from[i];
    for (; i < n; i += 8) std::memcpy(to + i, to + i - stride, 8);
  }
}

}  // namespace lzh
