#include "codec/huffman_table.h"

namespace lzh {

// Builder notes: start[len] is the first code of each length, left-aligned
// in 16 bits; arithmetic on it wraps modulo 65,536 as the format's tools
// compute it (a code space filled exactly wraps start[17] to 0). Codes of
// up to width bits fill a run of entries; longer codes hang below the entry
// of their first width bits, one branch node per further bit. A slot that
// holds 0 counts as empty, symbol 0 included.
void BuildDecodeTable(int symbolCount, const std::uint8_t* lengths, int width, std::uint16_t* table,
                      const BranchTrees& trees, int lengthShift) {
  std::uint16_t count[kMaxCodeLength + 1] = {};
  std::uint16_t start[kMaxCodeLength + 2];
  std::uint16_t weight[kMaxCodeLength + 1];
  // Lengths above 16 have no place in the code space: such symbols stay out.
  for (int s = 0; s < symbolCount; ++s) {
    if (lengths[s] <= kMaxCodeLength) ++count[lengths[s]];
  }
  start[1] = 0;
  std::uint32_t space = 0;  // the code space the lengths take, out of 2^16
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    start[len + 1] = static_cast<std::uint16_t>(start[len] + (count[len] << (16 - len)));
    space += static_cast<std::uint32_t>(count[len]) << (16 - len);
  }

  const int shift = 16 - width;
  const int tableSize = 1 << width;
  for (int len = 1; len <= width; ++len) {
    start[len] = static_cast<std::uint16_t>(start[len] >> shift);
    weight[len] = static_cast<std::uint16_t>(1 << (width - len));
  }
  for (int len = width + 1; len <= kMaxCodeLength; ++len)
    weight[len] = static_cast<std::uint16_t>(1 << (16 - len));

  // Entries from the end of the short codes on belong to no code or to the
  // roots of long ones. When that point wraps to 0 the short codes fill the
  // table, or there are none; clearing all is right in both cases.
  // A slot is read by its number alone, whatever length it carries.
  const unsigned valueMask = lengthShift != 0 ? (1u << lengthShift) - 1 : 0xFFFFu;
  const auto entryOf = [&](int s) {
    return static_cast<std::uint16_t>(lengthShift != 0 ? s | lengths[s] << lengthShift : s);
  };
  int uncovered = start[width + 1] >> shift;
  const std::uint16_t symbolZero = entryOf(0);
  for (int i = uncovered; i < tableSize; ++i) table[i] = symbolZero;

  int avail = symbolCount;
  const std::uint16_t mask = static_cast<std::uint16_t>(1 << (15 - width));
  // Runs of short codes past an over-full table go nowhere, so their starts
  // are kept in int rather than wrapped.
  int shortStart[kMaxCodeLength + 1];
  for (int len = 1; len <= width; ++len) shortStart[len] = start[len];

  for (int s = 0; s < symbolCount; ++s) {
    const int len = lengths[s];
    if (len == 0 || len > kMaxCodeLength) continue;
    if (len <= width) {
      int next = shortStart[len] + weight[len];
      int end = next < tableSize ? next : tableSize;
      const std::uint16_t entry = entryOf(s);
      for (int i = shortStart[len]; i < end; ++i) table[i] = entry;
      shortStart[len] = next;
      continue;
    }
    std::uint16_t k = start[len];
    std::uint16_t* slot = &table[k >> shift];
    bool placed = true;
    for (int level = width; level < len; ++level) {
      if ((*slot & valueMask) == 0) {
        if (avail >= kTreeNodes) {
          // Only an over-full code runs out of nodes: this symbol is left out.
          placed = false;
          break;
        }
        trees.treeLeft[avail] = 0;
        trees.treeRight[avail] = 0;
        *slot = static_cast<std::uint16_t>(avail++);
      }
      const unsigned node = *slot & valueMask;
      slot = (k & mask) != 0 ? &trees.treeRight[node] : &trees.treeLeft[node];
      k = static_cast<std::uint16_t>(k << 1);
    }
    if (placed) *slot = static_cast<std::uint16_t>(s);
    start[len] = static_cast<std::uint16_t>(start[len] + weight[len]);
  }
  // Over-full lengths can leave entries of an earlier table that no run of
  // this one wrote: they are read with this table's lengths.
  if (lengthShift != 0 && space > (1u << 16)) {
    for (int i = 0; i < tableSize; ++i) {
      const int v = table[i] & static_cast<int>(valueMask);
      table[i] = v < symbolCount ? entryOf(v) : static_cast<std::uint16_t>(v);
    }
  }
}

std::uint16_t WalkBranchTrees(std::uint16_t v, int symbolCount, int width, std::uint16_t lookAhead,
                              const BranchTrees& trees) {
  return WalkBranchTreesInline(v, symbolCount, width, lookAhead, trees);
}

}  // namespace lzh
