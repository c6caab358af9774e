// Test support for -lh4- and -lh5-: a bit writer and the pieces of the
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

}  // namespace lzhtest::lh5
