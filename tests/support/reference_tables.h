// The decoding tables of the static-Huffman methods as their references
// build them, step for step from the description: a table of 2^w entries
// indexed by the next w bits, and branch nodes numbered from the
// alphabet's count up for longer codes. The same choices as the decoders'
// where the description leaves room: uncovered entries read as symbol 0,
// lengths above 16 stay out of a code, links stay inside the 1,020 nodes, a
// walk that loops yields symbol 0, and the nodes start as zeros.
#pragma once

#include <cstdint>
#include <vector>

namespace lzhtest {

class ReferenceTables {
 public:
  void Build(int n, const std::uint8_t* lengths, int w, std::uint16_t* table) {
    std::uint16_t count[17] = {}, start[18], weight[17];
    for (int s = 0; s < n; ++s)
      if (lengths[s] >= 1 && lengths[s] <= 16) ++count[lengths[s]];
    start[1] = 0;
    for (int len = 1; len <= 16; ++len)
      start[len + 1] = static_cast<std::uint16_t>(start[len] + (count[len] << (16 - len)));
    int shift = 16 - w;
    for (int len = 1; len <= w; ++len) {
      start[len] = static_cast<std::uint16_t>(start[len] >> shift);
      weight[len] = static_cast<std::uint16_t>(1 << (w - len));
    }
    for (int len = w + 1; len <= 16; ++len)
      weight[len] = static_cast<std::uint16_t>(1 << (16 - len));
    int i = start[w + 1] >> shift;
    // Also clear when i is 0: entries no code covers read as symbol 0.
    for (int k = i; k < (1 << w); ++k) table[k] = 0;
    int avail = n;
    int mask = 1 << (15 - w);
    // Short-code runs kept unwrapped: past the table they go nowhere.
    int shortStart[17];
    for (int len = 1; len <= w; ++len) shortStart[len] = start[len];
    for (int s = 0; s < n; ++s) {
      int len = lengths[s];
      if (len == 0 || len > 16) continue;
      if (len <= w) {
        int next = shortStart[len] + weight[len];
        for (int k = shortStart[len]; k < next && k < (1 << w); ++k)
          table[k] = static_cast<std::uint16_t>(s);
        shortStart[len] = next;
        continue;
      }
      std::uint16_t k = start[len];
      std::uint16_t* slot = &table[k >> shift];
      bool placed = true;
      for (int j = 0; j < len - w; ++j) {
        if (*slot == 0) {
          if (avail >= 1020) {
            placed = false;
            break;
          }
          treeLeft_[avail] = treeRight_[avail] = 0;
          *slot = static_cast<std::uint16_t>(avail++);
        }
        slot = (k & mask) ? &treeRight_[*slot] : &treeLeft_[*slot];
        k = static_cast<std::uint16_t>(k << 1);
      }
      if (placed) *slot = static_cast<std::uint16_t>(s);
      start[len] = static_cast<std::uint16_t>(start[len] + weight[len]);
    }
  }

  std::uint16_t LookUp(const std::uint16_t* table, int n, int w, std::uint16_t lookAhead) {
    std::uint16_t v = table[lookAhead >> (16 - w)];
    unsigned mask = 1u << (15 - w);
    int steps = 0;
    while (v >= n) {
      if (++steps > 16 + 1020) return 0;  // a loop: the walk would never end
      v = (lookAhead & mask) ? treeRight_[v] : treeLeft_[v];
      mask >>= 1;
    }
    return v;
  }

 private:
  std::vector<std::uint16_t> treeLeft_ = std::vector<std::uint16_t>(1020);
  std::vector<std::uint16_t> treeRight_ = std::vector<std::uint16_t>(1020);
};

}  // namespace lzhtest
