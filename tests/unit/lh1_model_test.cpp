// The adaptive Huffman model of -lh1-: when and how it is rebuilt, and that
// its fast searches evolve the tree node for node as the plain scans do.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "codec/adaptive_huffman.h"
#include "platform/heap.h"
#include "support/lh1_bit_writer.h"

namespace {

using lzh::lh1::AdaptiveHuffman;
using lzh::lh1::kNodeCount;
using lzh::lh1::kRootNode;
using lzhtest::lh1::ReferenceModel;

unsigned LeafWeight(const AdaptiveHuffman& m, unsigned symbol) {
  return m.frequency[m.parent[kNodeCount + symbol]];
}

bool SameTree(const AdaptiveHuffman& m, const ReferenceModel& r) {
  return std::memcmp(m.frequency, r.freq, sizeof r.freq) == 0 &&
         std::memcmp(m.parent, r.parent, sizeof r.parent) == 0 &&
         std::memcmp(m.child, r.child, sizeof r.child) == 0;
}

TEST(Lh1Model, RebuildWaitsForTheNextSymbolAndHalvesRoundingUp) {
  lzh::HeapArray<AdaptiveHuffman> model(1);
  AdaptiveHuffman& m = model[0];
  m.ResetModel();
  EXPECT_EQ(m.frequency[kRootNode], 314u);
  m.CountSymbol(2);
  m.CountSymbol(2);  // weight 3
  m.CountSymbol(3);  // weight 2
  while (m.frequency[kRootNode] < 0x8000) m.CountSymbol(0);
  // The root has reached the limit; nothing happens until the next count.
  ASSERT_EQ(m.frequency[kRootNode], 0x8000u);
  unsigned zero = LeafWeight(m, 0);
  EXPECT_EQ(zero, 0x8000u - 313 - 3);
  m.CountSymbol(1);
  EXPECT_EQ(LeafWeight(m, 0), (zero + 1) / 2);
  EXPECT_EQ(LeafWeight(m, 1), 2u);  // 1 stays 1, then counted
  EXPECT_EQ(LeafWeight(m, 2), 2u);  // 3 becomes 2
  EXPECT_EQ(LeafWeight(m, 3), 1u);  // 2 becomes 1
  EXPECT_EQ(LeafWeight(m, 313), 1u);
  EXPECT_EQ(m.frequency[kRootNode], (zero + 1) / 2 + 2 + 2 + 1 + 310);
  EXPECT_EQ(m.frequency[kNodeCount], 0xFFFFu);
  EXPECT_EQ(m.parent[kRootNode], 0u);
}

// Symbol sources of different shapes: uniform (long runs of equal weights),
// skewed like text, bursts of one symbol (deep swaps, quick rebuilds), and
// weights falling steeply (deep trees: leaves 16 levels down).
unsigned NextSymbol(std::mt19937& random, int shape) {
  switch (shape) {
    case 0:
      return random() % 314;
    case 1: {
      std::geometric_distribution<unsigned> g(0.05);
      return g(random) % 314;
    }
    case 3: {
      std::geometric_distribution<unsigned> g(0.45);
      return g(random) % 314;
    }
    default: {
      unsigned r = random() % 100;
      return r < 90 ? 32 : (r < 95 ? 256 + random() % 58 : random() % 314);
    }
  }
}

// The tool's count is told the leaf's depth, as its decoder knows it.
void CountLeafFast(AdaptiveHuffman& m, unsigned symbol) {
  unsigned leaf = m.parent[kNodeCount + symbol], depth = 0;
  for (unsigned n = leaf; n != kRootNode; n = m.parent[n]) ++depth;
  m.CountLeafFast(leaf, depth);
}

// The program's counting and the tool's (CountLeafFast) alike, at every depth.
TEST(Lh1Model, EvolvesNodeForNodeLikeThePlainScans) {
  lzh::HeapArray<AdaptiveHuffman> model(2);
  AdaptiveHuffman& m = model[0];
  AdaptiveHuffman& tool = model[1];
  ReferenceModel r;
  for (int shape = 0; shape < 4; ++shape) {
    std::mt19937 random(100 + shape);
    m.ResetModel();
    tool.ResetModel();
    r.Reset();
    ASSERT_TRUE(SameTree(m, r));
    int rebuilds = 0;
    for (int i = 0; i < 120000; ++i) {
      unsigned s = NextSymbol(random, shape);
      if (m.frequency[kRootNode] == 0x8000) ++rebuilds;
      m.CountSymbol(s);
      CountLeafFast(tool, s);
      r.Count(s);
      ASSERT_TRUE(SameTree(m, r)) << "shape " << shape << ", symbol " << i;
      ASSERT_TRUE(SameTree(tool, r)) << "tool, shape " << shape << ", symbol " << i;
    }
    EXPECT_GE(rebuilds, 3) << "shape " << shape;
    for (unsigned n = 0; n + 1 < kNodeCount; ++n)
      ASSERT_LE(m.frequency[n], m.frequency[n + 1]) << "shape " << shape << ", node " << n;
  }
}

// The decoder's shortcut through the top of the tree must always land where
// the walk from the root lands after as many bits, however the tree has
// changed since the table was made. (A leaf it stops at may since have
// become an internal node: the decoder then walks on from it.) The tool
// cuts its table back and regrows it, the program makes it again.
TEST(Lh1Model, TopTableAlwaysAgreesWithTheWalkFromTheRoot) {
  lzh::HeapArray<AdaptiveHuffman> model(1);
  AdaptiveHuffman& m = model[0];
  constexpr int kBits = AdaptiveHuffman::kTopBits;
  for (int variant = 0; variant < 6; ++variant) {
    const int shape = variant % 3;
    const bool tool = variant >= 3;
    std::mt19937 random(200 + shape);
    m.ResetModel();
    for (int i = 0; i < 40000; ++i) {
      const AdaptiveHuffman::TopEntry* top = tool ? m.TopTableFast() : m.TopTable();
      for (unsigned prefix = 0; prefix < 1u << kBits; ++prefix) {
        unsigned node = kRootNode;
        ASSERT_GE(top[prefix].bits, 1);
        ASSERT_LE(top[prefix].bits, kBits);
        for (int depth = 0; depth < top[prefix].bits; ++depth) {
          ASSERT_FALSE(AdaptiveHuffman::IsLeaf(m.child[node]));
          node = m.child[node] + ((prefix >> (kBits - 1 - depth)) & 1);
        }
        ASSERT_EQ(top[prefix].node, node) << "variant " << variant << ", symbol " << i;
      }
      if (tool) {
        // The tool's decoder regrows an entry that an exchange cut back
        // as it walks through; the next round checks what it wrote.
        unsigned index = random() % (1u << kBits);
        AdaptiveHuffman::TopEntry entry = top[index];
        if (!AdaptiveHuffman::IsLeaf(m.child[entry.node]) && entry.bits < kBits) {
          AdaptiveHuffman::TopEntry reached = m.RegrowTop(entry, index);
          ASSERT_TRUE(reached.bits == kBits || AdaptiveHuffman::IsLeaf(m.child[reached.node]));
        }
      }
      unsigned s = NextSymbol(random, shape);
      if (tool)
        CountLeafFast(m, s);
      else
        m.CountSymbol(s);
    }
  }
}

}  // namespace
