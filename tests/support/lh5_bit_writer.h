// Test support for -lh4- to -lh7-: a bit writer and the pieces of the
// block format, to craft packed streams field by field.
#pragma once

#include <cstdint>
#include <vector>

#include "support/bit_writer.h"

namespace lzhtest::lh5 {

using lzhtest::BitWriter;

// The canonical code of every symbol for the given lengths: shorter codes
// first, equal lengths in symbol order (0 where a length is 0).
inline std::vector<std::uint16_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths) {
  std::vector<std::uint16_t> codes(lengths.size(), 0);
  std::uint32_t next = 0;
  for (int len = 1; len <= 16; ++len) {
    for (std::size_t s = 0; s < lengths.size(); ++s) {
      if (lengths[s] == len) codes[s] = static_cast<std::uint16_t>(next++);
    }
    next <<= 1;
  }
  return codes;
}

// A code ready to write symbols with.
struct Code {
  std::vector<std::uint8_t> lengths;
  std::vector<std::uint16_t> codes;
  explicit Code(std::vector<std::uint8_t> l)
      : lengths(std::move(l)), codes(CanonicalCodes(lengths)) {}
  void Put(BitWriter& out, int symbol) const { out.Put(codes[symbol], lengths[symbol]); }
};

// One length of the length code or the position code: 3 bits up to 6;
// from 7 on "111", a 1 bit per unit above 7 and a closing 0.
inline void PutAuxLength(BitWriter& out, int length) {
  if (length < 7) {
    out.Put(static_cast<std::uint32_t>(length), 3);
    return;
  }
  out.Put(7, 3);
  for (int i = 7; i < length; ++i) out.PutBit(1);
  out.PutBit(0);
}

// The position alphabet of each method: 13, 14, 16, 17 or 20 (-lhx-)
// codes, their lengths opened by a count of 4 bits up to -lh5- and of 5
// bits above.
inline int PositionCodes(char digit) {
  return digit == '4' ? 13 : digit == '5' ? 14 : digit == '6' ? 16 : digit == '7' ? 17 : 20;
}
inline int PositionCodeBits(char digit) { return PositionCodes(digit) > 16 ? 5 : 4; }

// A block whose codes all have one length, which makes the canonical code
// of a symbol the symbol itself: the length code is the one-symbol code 11
// (literal length 9), all 510 literal/length codes take 9 bits and all
// position codes 4 bits (5 for the 17 of -lh7- and the 20 of -lhx-).
inline void PutFlatBlock(BitWriter& out, std::uint16_t codes, char digit = '5') {
  out.Put(codes, 16);  // codes in the block
  out.Put(0, 5);       // length code: count 0, so one symbol ...
  out.Put(11, 5);      // ... 11, that is literal length 9, read with no bits
  out.Put(510, 9);     // 510 literal/length lengths follow, no bits each
  out.Put(static_cast<std::uint32_t>(PositionCodes(digit)), digit <= '5' ? 4 : 5);
  for (int j = 0; j < PositionCodes(digit); ++j) PutAuxLength(out, PositionCodeBits(digit));
}
inline void PutLiteral(BitWriter& out, int byte) { out.Put(static_cast<std::uint32_t>(byte), 9); }
// A match in a flat block: length 3..256, distance 1 .. 2^(position codes - 1).
inline void PutMatch(BitWriter& out, int length, int distance, char digit = '5') {
  out.Put(static_cast<std::uint32_t>(253 + length), 9);
  int position = distance - 1;
  int j = 0;
  while ((position >> j) != 0) ++j;  // position code: bit width of position
  out.Put(static_cast<std::uint32_t>(j), PositionCodeBits(digit));
  if (j > 1) out.Put(static_cast<std::uint32_t>(position - (1 << (j - 1))), j - 1);
}

}  // namespace lzhtest::lh5
