#include "codec/adaptive_huffman.h"

#include <cstring>

namespace lzh::lh1 {

namespace {

constexpr std::uint16_t kSentinel = 0xFFFF;

// The highest node at or above `first` whose weight is below `weight`, given
// that node `first` is below it. The weights are sorted and the sentinel
// stops the search, so a gallop and a bisection find the same node as a
// step-by-step scan, without walking long runs of equal weights (the leaves
// of rarely used symbols, or every leaf of incompressible data).
unsigned LastNodeBelow(const std::uint16_t* frequency, unsigned first, unsigned weight) {
  unsigned below = first, above, step = 1;
  for (;;) {
    above = below + step;
    if (above >= NodeCount) {
      above = NodeCount;
      break;
    }
    if (frequency[above] >= weight) break;
    below = above;
    step <<= 1;
  }
  while (above - below > 1) {
    unsigned middle = (below + above) / 2;
    if (frequency[middle] < weight)
      below = middle;
    else
      above = middle;
  }
  return below;
}

}  // namespace

// Format notes: a node about to pass its right neighbour's weight trades
// places with the highest node of its own weight; equal weights are not
// passed. The two subtrees are exchanged, not the positions' parents, so
// counting goes on at the partner's position, which is returned; the caller
// then adds the 1 there.
inline unsigned AdaptiveHuffman::Exchange(unsigned n) {
  unsigned l = LastNodeBelow(Frequency, n + 1, Frequency[n] + 1u);
  if (inTop_[n] || inTop_[l]) topValid_ = false;
  // Every node from n to l has the same weight: only the subtrees move.
  unsigned i = Child[n];
  Parent[i] = static_cast<std::uint16_t>(l);
  if (!IsLeaf(i)) Parent[i + 1] = static_cast<std::uint16_t>(l);
  unsigned j = Child[l];
  Child[l] = static_cast<std::uint16_t>(i);
  Parent[j] = static_cast<std::uint16_t>(n);
  if (!IsLeaf(j)) Parent[j + 1] = static_cast<std::uint16_t>(n);
  Child[n] = static_cast<std::uint16_t>(j);
  return l;
}

void AdaptiveHuffman::ResetModel() {
  for (unsigned s = 0; s < SymbolCount; ++s) {
    Frequency[s] = 1;
    Child[s] = static_cast<std::uint16_t>(s + NodeCount);
    Parent[s + NodeCount] = static_cast<std::uint16_t>(s);
  }
  for (unsigned n = SymbolCount, i = 0; n < NodeCount; ++n, i += 2) {
    Frequency[n] = static_cast<std::uint16_t>(Frequency[i] + Frequency[i + 1]);
    Child[n] = static_cast<std::uint16_t>(i);
    Parent[i] = Parent[i + 1] = static_cast<std::uint16_t>(n);
  }
  Frequency[NodeCount] = kSentinel;
  Parent[RootNode] = 0;
  std::memset(inTop_, 0, sizeof inTop_);
  topValid_ = false;
}

// Format notes: node 0 always holds a leaf (the lightest node), so a parent
// of 0 marks the root.
void AdaptiveHuffman::CountSymbol(unsigned symbol) {
  if (Frequency[RootNode] == FrequencyLimit) RebuildTree();
  unsigned n = Parent[NodeCount + symbol];
  do {
    if (Frequency[n] + 1u > Frequency[n + 1]) n = Exchange(n);
    ++Frequency[n];
    n = Parent[n];
  } while (n != 0);
}

// Format notes: leaves keep their relative order; a new internal node goes
// after every node of equal weight.
void AdaptiveHuffman::RebuildTree() {
  topValid_ = false;
  unsigned j = 0;
  for (unsigned n = 0; n < NodeCount; ++n) {
    if (IsLeaf(Child[n])) {
      Frequency[j] = static_cast<std::uint16_t>((Frequency[n] + 1) / 2);
      Child[j] = Child[n];
      ++j;
    }
  }
  for (unsigned k = SymbolCount, i = 0; k < NodeCount; ++k, i += 2) {
    unsigned f = Frequency[i] + Frequency[i + 1];
    unsigned l = k - 1;
    while (f < Frequency[l]) --l;
    ++l;
    std::memmove(Frequency + l + 1, Frequency + l, (k - l) * sizeof Frequency[0]);
    std::memmove(Child + l + 1, Child + l, (k - l) * sizeof Child[0]);
    Frequency[l] = static_cast<std::uint16_t>(f);
    Child[l] = static_cast<std::uint16_t>(i);
  }
  for (unsigned n = 0; n < NodeCount; ++n) {
    unsigned c = Child[n];
    Parent[c] = static_cast<std::uint16_t>(n);
    if (!IsLeaf(c)) Parent[c + 1] = static_cast<std::uint16_t>(n);
  }
}

void AdaptiveHuffman::BuildTopTable() {
  std::memset(inTop_, 0, sizeof inTop_);
  FillTop(RootNode, 0, 0);
  topValid_ = true;
}

void AdaptiveHuffman::FillTop(unsigned node, int depth, unsigned prefix) {
  if (depth == TopBits || IsLeaf(Child[node])) {
    int spread = TopBits - depth;
    TopEntry entry{static_cast<std::uint16_t>(node), static_cast<std::uint16_t>(depth)};
    for (unsigned i = 0; i < 1u << spread; ++i) top_[prefix << spread | i] = entry;
    return;
  }
  inTop_[node] = true;
  unsigned c = Child[node];
  FillTop(c, depth + 1, prefix << 1);
  FillTop(c + 1, depth + 1, prefix << 1 | 1);
}

}  // namespace lzh::lh1
