// The adaptive Huffman code of -lh1-: one tree of 314 symbols whose weights
// are counted as symbols are decoded.
//
// Format notes. Symbols 0..255 are literal bytes, 256..313 matches of length
// symbol - 253 (3..60). The tree starts with every weight 1 and leaves 0..313
// carrying symbols 0..313, so symbols 0..115 have 9-bit codes and 116..313
// 8-bit codes. Nodes are kept in order of non-decreasing weight; the two
// children of an internal node sit at adjacent indices (a 0 bit picks the
// lower one). After each symbol its leaf-to-root path is counted, and a node
// whose weight passes its right neighbour's is exchanged with the highest
// node still below the new weight. When the root reaches 0x8000 the next
// count first halves every leaf weight (rounding up) and rebuilds the tree.
// The encoder runs the same model, so every tie-break here is part of the
// format.
#pragma once

#include <cstdint>

namespace lzh::lh1 {

inline constexpr int kSymbolCount = 314;
inline constexpr int kNodeCount = 2 * kSymbolCount - 1;  // 627
inline constexpr int kRootNode = kNodeCount - 1;         // 626
inline constexpr unsigned kFrequencyLimit = 0x8000;      // root weight that forces a rebuild

struct AdaptiveHuffman {
  // Node weights; the entries from kNodeCount on are sentinels above every
  // real weight: the tool reads weights eight at a time. (A ninth keeps the
  // arrays after this one 8-byte aligned, as they were with one.)
  std::uint16_t frequency[kNodeCount + 9];
  // 0..626: the parent of each node (the root's entry is 0);
  // 627..940: the leaf that carries symbol (index - 627).
  std::uint16_t parent[kNodeCount + kSymbolCount];
  // Internal node: its first child (the second is the next index).
  // Leaf: 627 + its symbol.
  std::uint16_t child[kNodeCount];

  void ResetModel();
  // Counts one occurrence of symbol (0..313) along its path to the root.
  void CountSymbol(unsigned symbol);
  void RebuildTree();
  // The command-line tool's: the same counts and the same tree, given the
  // symbol's leaf (which the decoder has just reached), the searches done
  // with fewer branches and the rebuild finding each new internal node's
  // place by bisection (the program does without the code).
  // depth: the leaf's distance from the root, which the decoder has just
  // walked.
  void CountLeafFast(unsigned leaf, unsigned depth);
  void RebuildTreeFast();

  static bool IsLeaf(unsigned child) { return child >= kNodeCount; }

  // A shortcut through the top of the tree for the decoder: for the next
  // kTopBits bits, a node that the walk from the root reaches after the
  // first `bits` of them (after all of them, or at a leaf when the table was
  // made); the walk goes on from there. The top of the tree holds the heaviest
  // nodes, whose weights seldom tie, so it changes far less often than the
  // bottom; the table is made again only when an exchange or a rebuild has
  // touched a node that it walks through.
  static constexpr int kTopBits = 6;
  struct TopEntry {
    std::uint16_t node;  // where the walk goes on
    std::uint16_t bits;  // bits it took to get there
  };
  const TopEntry* TopTable() {
    if (!topValid_) BuildTopTable();
    return top_;
  }
  // The tool's: the same table, kept true through every exchange without
  // being made again. It holds nodes, not symbols, so leaves trading places
  // leave it as it is; where an exchange moves an internal node, the entries
  // that walked through either node are cut back to stop there, and the
  // decoder regrows them as it walks on from such an entry (RegrowTop).
  const TopEntry* TopTableFast() {
    if (!topValid_) BuildTopTableFast();
    return top_;
  }
  // For an entry of TopTableFast that stops at an internal node before
  // kTopBits: walks on by the rest of the entry's index, making the entries
  // on the way reach as far as the walk does, and returns where it ends.
  TopEntry RegrowTop(TopEntry entry, unsigned index);

 private:
  template <bool kFast>
  unsigned Exchange(unsigned n);
  // The program's, kept out of line: its code is shorter so.
  [[gnu::noinline]] unsigned ExchangeOutOfLine(unsigned n);
  template <bool kFast>
  [[gnu::always_inline]] void CountFrom(unsigned leaf);
  template <bool kFast>
  void Rebuild();
  void BuildTopTable();
  void FillTop(unsigned node, int depth, unsigned prefix);
  void BuildTopTableFast();
  void FillTopFast(unsigned node, unsigned depth, unsigned prefix);
  void UnmarkBelow(unsigned node);
  [[gnu::noinline]] void CutTop(unsigned n, unsigned l);
  void CutTopAt(unsigned node);
  void SpreadTop(unsigned node, unsigned depth, unsigned prefix);

  TopEntry top_[1 << kTopBits];
  bool inTop_[kNodeCount];  // the program's: nodes whose children the table walks through
  // The tool's: for each node that the table's entries reach (no more than
  // kTopBits from the root), its depth and the bits that lead to it;
  // kBeyondTop for the others.
  std::uint8_t topDepth_[kNodeCount];
  std::uint8_t topPrefix_[kNodeCount];
  static constexpr std::uint8_t kBeyondTop = 0xFF;
  static_assert(kTopBits <= 8, "prefixes are kept in a byte");
  bool topValid_;
};

}  // namespace lzh::lh1
