#include "codec/adaptive_huffman.h"

#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lzh::lh1 {

namespace {

constexpr std::uint16_t kSentinel = 0xFFFF;

// The highest node at or above `first` whose weight is below `weight`, given
// that node `first` is below it. The weights are sorted and the sentinel
// stops the search, so a gallop and a bisection find the same node as a
// step-by-step scan, without walking long runs of equal weights (the leaves
// of rarely used symbols, or every leaf of incompressible data).
[[gnu::always_inline]] inline unsigned LastNodeBelow(const std::uint16_t* frequency, unsigned first,
                                                     unsigned weight) {
  unsigned below = first, above, step = 1;
  for (;;) {
    above = below + step;
    if (above >= kNodeCount) {
      above = kNodeCount;
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

// The tool's search for the same node: the next four weights are compared
// at once, as a word, before the gallop takes over (most runs of equal
// weights are short, and the branches of a gallop are hard to predict). A
// word read at the last nodes runs into the sentinels, which end the run.
// Where SSE2 is there, eight are compared.
unsigned LastNodeBelowFast(const std::uint16_t* frequency, unsigned first, unsigned weight) {
#if defined(__SSE2__)
  // The lanes still below `weight` (equal to weight - 1) come first.
  const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frequency + first + 1));
  const __m128i same = _mm_cmpeq_epi16(next, _mm_set1_epi16(static_cast<short>(weight - 1u)));
  const unsigned differ = ~static_cast<unsigned>(_mm_movemask_epi8(same)) & 0xFFFFu;
  if (differ != 0) return first + static_cast<unsigned>(std::countr_zero(differ)) / 2;
  return LastNodeBelow(frequency, first + 8, weight);
#else
  // (On 32-bit hosts a 64-bit count of zeros is a library call, which the
  // program must not link even unused.)
  if constexpr (std::endian::native == std::endian::little && sizeof(void*) >= 8) {
    std::uint64_t next;
    std::memcpy(&next, frequency + first + 1, sizeof next);
    // The weights are sorted: the lanes still below `weight` come first.
    std::uint64_t differ = next ^ std::uint64_t{weight - 1u} * 0x0001000100010001u;
    if (differ != 0) return first + static_cast<unsigned>(std::countr_zero(differ)) / 16;
    return LastNodeBelow(frequency, first + 4, weight);
  } else {
    return LastNodeBelow(frequency, first, weight);
  }
#endif
}

}  // namespace

// Format notes: a node about to pass its right neighbour's weight trades
// places with the highest node of its own weight; equal weights are not
// passed. The two subtrees are exchanged, not the positions' parents, so
// counting goes on at the partner's position, which is returned; the caller
// then adds the 1 there.
template <bool kFast>
inline unsigned AdaptiveHuffman::Exchange(unsigned n) {
  unsigned l;
  if constexpr (kFast)
    l = LastNodeBelowFast(frequency, n + 1, frequency[n] + 1u);
  else
    l = LastNodeBelow(frequency, n + 1, frequency[n] + 1u);
  // Every node from n to l has the same weight: only the subtrees move.
  unsigned i = child[n];
  if constexpr (kFast) {
    // Without branches: a leaf's one entry is written twice.
    unsigned j = child[l];
    child[l] = static_cast<std::uint16_t>(i);
    child[n] = static_cast<std::uint16_t>(j);
    parent[i] = parent[i + !IsLeaf(i)] = static_cast<std::uint16_t>(l);
    parent[j] = parent[j + !IsLeaf(j)] = static_cast<std::uint16_t>(n);
    // (The depths mean nothing, and may be unset, until the table is made.)
    if (topValid_ && (topDepth_[n] < kTopBits || topDepth_[l] < kTopBits)) CutTop(n, l);
  } else {
    if (inTop_[n] || inTop_[l]) topValid_ = false;
    parent[i] = static_cast<std::uint16_t>(l);
    if (!IsLeaf(i)) parent[i + 1] = static_cast<std::uint16_t>(l);
    unsigned j = child[l];
    child[l] = static_cast<std::uint16_t>(i);
    parent[j] = static_cast<std::uint16_t>(n);
    if (!IsLeaf(j)) parent[j + 1] = static_cast<std::uint16_t>(n);
    child[n] = static_cast<std::uint16_t>(j);
  }
  return l;
}

unsigned AdaptiveHuffman::ExchangeOutOfLine(unsigned n) { return Exchange<false>(n); }

void AdaptiveHuffman::ResetModel() {
  for (unsigned s = 0; s < kSymbolCount; ++s) {
    frequency[s] = 1;
    child[s] = static_cast<std::uint16_t>(s + kNodeCount);
    parent[s + kNodeCount] = static_cast<std::uint16_t>(s);
  }
  for (unsigned n = kSymbolCount, i = 0; n < kNodeCount; ++n, i += 2) {
    frequency[n] = static_cast<std::uint16_t>(frequency[i] + frequency[i + 1]);
    child[n] = static_cast<std::uint16_t>(i);
    parent[i] = parent[i + 1] = static_cast<std::uint16_t>(n);
  }
  for (unsigned n = kNodeCount; n < sizeof frequency / sizeof frequency[0]; ++n)
    frequency[n] = kSentinel;
  parent[kRootNode] = 0;
  std::memset(inTop_, 0, sizeof inTop_);
  topValid_ = false;
}

// Format notes: node 0 always holds a leaf (the lightest node), so a parent
// of 0 marks the root.
template <bool kFast>
inline void AdaptiveHuffman::CountFrom(unsigned n) {
  do {
    // The weights are in order, so the count passes the neighbour's
    // exactly when the two are equal.
    const unsigned weight = frequency[n];
    if (weight == frequency[n + 1]) n = kFast ? Exchange<true>(n) : ExchangeOutOfLine(n);
    frequency[n] = static_cast<std::uint16_t>(weight + 1);
    n = parent[n];
  } while (n != 0);
}

void AdaptiveHuffman::CountSymbol(unsigned symbol) {
  if (frequency[kRootNode] == kFrequencyLimit) Rebuild<false>();
  CountFrom<false>(parent[kNodeCount + symbol]);
}

// The leaf moves in a rebuild; its symbol does not. Until an exchange moves
// the count to another branch, the path's length is known: the count jumps
// into a line of steps at the leaf's depth, a jump that the decoder's walk
// down the same path has all but announced, instead of looping until a
// parent loaded last turns out to be the root.
void AdaptiveHuffman::CountLeafFast(unsigned leaf, unsigned depth) {
  if (frequency[kRootNode] == kFrequencyLimit) {
    unsigned symbolCode = child[leaf];
    Rebuild<true>();
    CountFrom<true>(parent[symbolCode]);
    return;
  }
  unsigned n = leaf;
  // One level: false where the node ties and the count has gone on the
  // slow way, from that node.
  auto step = [&]() __attribute__((always_inline)) {
    const unsigned weight = frequency[n];
    if (weight == frequency[n + 1]) [[unlikely]] {
      CountFrom<true>(n);
      return false;
    }
    frequency[n] = static_cast<std::uint16_t>(weight + 1);
    n = parent[n];
    return true;
  };
  constexpr unsigned kLined = 12;
  if (depth > kLined) [[unlikely]] {
    for (; depth > kLined; --depth)
      if (!step()) return;
  }
#define LZH_COUNT_STEP(d) \
  case d:                 \
    if (!step()) return;  \
    [[fallthrough]];
  switch (depth) {
    // The cases are alike on purpose: each is a step of the line.
    // NOLINTNEXTLINE(bugprone-branch-clone)
    LZH_COUNT_STEP(12)
    LZH_COUNT_STEP(11)
    LZH_COUNT_STEP(10)
    LZH_COUNT_STEP(9)
    LZH_COUNT_STEP(8)
    LZH_COUNT_STEP(7)
    LZH_COUNT_STEP(6)
    LZH_COUNT_STEP(5)
    LZH_COUNT_STEP(4)
    LZH_COUNT_STEP(3)
    LZH_COUNT_STEP(2)
    LZH_COUNT_STEP(1)
#undef LZH_COUNT_STEP
    default:
      break;
  }
  ++frequency[kRootNode];
}

// Format notes: leaves keep their relative order; a new internal node goes
// after every node of equal weight. The nodes placed so far are in order of
// weight, so the tool finds that place by bisection; the program scans down
// from the top, which is shorter code.
template <bool kFast>
void AdaptiveHuffman::Rebuild() {
  topValid_ = false;
  unsigned j = 0;
  for (unsigned n = 0; n < kNodeCount; ++n) {
    if (IsLeaf(child[n])) {
      frequency[j] = static_cast<std::uint16_t>((frequency[n] + 1) / 2);
      child[j] = child[n];
      ++j;
    }
  }
  for (unsigned k = kSymbolCount, i = 0; k < kNodeCount; ++k, i += 2) {
    unsigned f = frequency[i] + frequency[i + 1];
    unsigned l;
    if constexpr (kFast) {
      l = 0;
      unsigned above = k;  // the first node heavier than f is in [l, above]
      while (l < above) {
        unsigned middle = (l + above) / 2;
        if (frequency[middle] > f)
          above = middle;
        else
          l = middle + 1;
      }
    } else {
      l = k - 1;
      while (f < frequency[l]) --l;
      ++l;
    }
    std::memmove(frequency + l + 1, frequency + l, (k - l) * sizeof frequency[0]);
    std::memmove(child + l + 1, child + l, (k - l) * sizeof child[0]);
    frequency[l] = static_cast<std::uint16_t>(f);
    child[l] = static_cast<std::uint16_t>(i);
  }
  for (unsigned n = 0; n < kNodeCount; ++n) {
    unsigned c = child[n];
    parent[c] = static_cast<std::uint16_t>(n);
    if (!IsLeaf(c)) parent[c + 1] = static_cast<std::uint16_t>(n);
  }
}

void AdaptiveHuffman::RebuildTree() { Rebuild<false>(); }

void AdaptiveHuffman::RebuildTreeFast() { Rebuild<true>(); }

void AdaptiveHuffman::BuildTopTable() {
  std::memset(inTop_, 0, sizeof inTop_);
  FillTop(kRootNode, 0, 0);
  topValid_ = true;
}

void AdaptiveHuffman::FillTop(unsigned node, int depth, unsigned prefix) {
  if (depth == kTopBits || IsLeaf(child[node])) {
    int spread = kTopBits - depth;
    TopEntry entry{static_cast<std::uint16_t>(node), static_cast<std::uint16_t>(depth)};
    for (unsigned i = 0; i < 1u << spread; ++i) top_[prefix << spread | i] = entry;
    return;
  }
  inTop_[node] = true;
  unsigned c = child[node];
  FillTop(c, depth + 1, prefix << 1);
  FillTop(c + 1, depth + 1, prefix << 1 | 1);
}

void AdaptiveHuffman::BuildTopTableFast() {
  std::memset(topDepth_, kBeyondTop, sizeof topDepth_);
  FillTopFast(kRootNode, 0, 0);
  topValid_ = true;
}

void AdaptiveHuffman::FillTopFast(unsigned node, unsigned depth, unsigned prefix) {
  topDepth_[node] = static_cast<std::uint8_t>(depth);
  topPrefix_[node] = static_cast<std::uint8_t>(prefix);
  unsigned c = child[node];
  if (depth == kTopBits || IsLeaf(c)) {
    SpreadTop(node, depth, prefix);
    return;
  }
  FillTopFast(c, depth + 1, prefix << 1);
  FillTopFast(c + 1, depth + 1, prefix << 1 | 1);
}

// Every entry that starts with the `depth` bits of prefix stops at node.
void AdaptiveHuffman::SpreadTop(unsigned node, unsigned depth, unsigned prefix) {
  const unsigned spread = kTopBits - depth;
  const TopEntry entry{static_cast<std::uint16_t>(node), static_cast<std::uint16_t>(depth)};
  TopEntry* at = top_ + (prefix << spread);
  for (unsigned i = 0; i < 1u << spread; ++i) at[i] = entry;
}

// Nodes n and l have just exchanged their subtrees; each keeps its own
// place in the tree, while the nodes below now hang where the other's did.
void AdaptiveHuffman::CutTop(unsigned n, unsigned l) {
  CutTopAt(n);
  CutTopAt(l);
}

void AdaptiveHuffman::CutTopAt(unsigned node) {
  UnmarkBelow(node);
  const unsigned depth = topDepth_[node];
  if (depth < kTopBits) SpreadTop(node, depth, topPrefix_[node]);
}

// The marks below node were made where its subtree used to hang.
void AdaptiveHuffman::UnmarkBelow(unsigned node) {
  unsigned c = child[node];
  if (IsLeaf(c)) return;
  for (unsigned q = c; q <= c + 1; ++q) {
    if (topDepth_[q] != kBeyondTop) {
      topDepth_[q] = kBeyondTop;
      UnmarkBelow(q);
    }
  }
}

// Each step down makes the sibling left behind an entry of its own (its
// subtree's entries are regrown when a walk goes through it).
AdaptiveHuffman::TopEntry AdaptiveHuffman::RegrowTop(TopEntry entry, unsigned index) {
  unsigned node = entry.node, depth = entry.bits;
  while (depth < kTopBits && !IsLeaf(child[node])) {
    const unsigned c = child[node];
    ++depth;
    const unsigned prefix = index >> (kTopBits - depth);
    const unsigned sibling = c + (~prefix & 1);
    topDepth_[sibling] = static_cast<std::uint8_t>(depth);
    topPrefix_[sibling] = static_cast<std::uint8_t>(prefix ^ 1);
    SpreadTop(sibling, depth, prefix ^ 1);
    node = c + (prefix & 1);
    topDepth_[node] = static_cast<std::uint8_t>(depth);
    topPrefix_[node] = static_cast<std::uint8_t>(prefix);
  }
  SpreadTop(node, depth, index >> (kTopBits - depth));
  return {static_cast<std::uint16_t>(node), static_cast<std::uint16_t>(depth)};
}

}  // namespace lzh::lh1
