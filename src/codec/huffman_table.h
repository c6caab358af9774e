// Canonical Huffman decoding tables of the static-Huffman methods.
//
// Format notes: a code is given by its lengths alone (0..16, 0 = absent);
// codes are assigned in order of length, then of symbol. A table of width w
// is indexed by the next w bits of the stream; each entry holds a symbol or,
// for codes longer than w bits, the root of a branch tree walked one bit per
// level through treeLeft (bit 0) and treeRight (bit 1). Symbols are numbers
// below the alphabet's count, branch nodes the numbers from that count up.
//
// The lengths come from the stream and may describe anything: codes that
// over-fill the code space, lengths above 16, or a one-symbol value outside
// the alphabet. Whatever they say, every write and lookup stays inside the
// table and the two branch arrays: such a code decodes to some symbol of its
// alphabet, the member to wrong bytes, and the CRC reports it.
#pragma once

#include <cstdint>

namespace lzh {

inline constexpr int kMaxCodeLength = 16;  // bits
inline constexpr int kTreeNodes = 1020;    // entries of treeLeft and treeRight

struct BranchTrees {
  std::uint16_t* treeLeft;
  std::uint16_t* treeRight;
};

// Builds table (2^width entries, width 8 or 12) and the branch nodes for the
// first symbolCount entries of lengths. Entries that no code covers decode
// as symbol 0. With a lengthShift, each table entry that holds a symbol s
// also holds its length, as s | lengths[s] << lengthShift (branch nodes and
// the trees hold plain numbers), so that a lookup needs no second load;
// symbols and node numbers must then stay below 2^lengthShift, and the
// lengths below 32.
void BuildDecodeTable(int symbolCount, const std::uint8_t* lengths, int width, std::uint16_t* table,
                      const BranchTrees& trees, int lengthShift = 0);

// Follows the branch trees from v (a table entry at or above symbolCount)
// with the look-ahead bits below the table's width. A walk that never
// reaches a symbol (only built from hostile lengths) yields symbol 0.
std::uint16_t WalkBranchTrees(std::uint16_t v, int symbolCount, int width, std::uint16_t lookAhead,
                              const BranchTrees& trees);

// The same walk, for loops that must not make a call (WalkBranchTrees is
// this, out of line).
inline std::uint16_t WalkBranchTreesInline(std::uint16_t v, int symbolCount, int width,
                                           std::uint16_t lookAhead, const BranchTrees& trees) {
  // Past the 16 bits of the look-ahead the walk goes left; a walk longer than
  // that plus the number of nodes has entered a loop and would never end.
  unsigned mask = 1u << (15 - width);
  for (int steps = 0; v >= symbolCount; ++steps) {
    if (steps == kMaxCodeLength + kTreeNodes) return 0;
    v = (lookAhead & mask) != 0 ? trees.treeRight[v] : trees.treeLeft[v];
    mask >>= 1;
  }
  return v;
}

// The symbol that the next bits (lookAhead, the next one in bit 15) encode.
inline std::uint16_t LookUpSymbol(const std::uint16_t* table, int symbolCount, int width,
                                  std::uint16_t lookAhead, const BranchTrees& trees) {
  std::uint16_t v = table[lookAhead >> (16 - width)];
  if (v >= symbolCount) v = WalkBranchTrees(v, symbolCount, width, lookAhead, trees);
  return v;
}

}  // namespace lzh
