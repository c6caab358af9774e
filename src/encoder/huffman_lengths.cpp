#include "encoder/huffman_lengths.h"

#include <algorithm>

#include "codec/huffman_table.h"
#include "codec/static_huffman_format.h"

namespace lzh {

namespace {

constexpr int kMaxSymbols = kLiteralCodeCount;

// Depth of every leaf of a Huffman tree over the sorted weights, built with
// two queues: leaves in order, and inner nodes, which are made in order of
// weight too. depth[i] is the depth of leaf i.
void HuffmanDepths(const std::uint64_t* sorted, int leafCount, int* depth) {
  std::uint64_t innerWeight[kMaxSymbols];
  int parent[2 * kMaxSymbols] = {};  // leaves first, then inner nodes
  int nextLeaf = 0, nextInner = 0, innerCount = 0;
  auto takeSmallest = [&]() {
    bool leaf = nextLeaf < leafCount &&
                (nextInner >= innerCount || (sorted[nextLeaf] >> 10) <= innerWeight[nextInner]);
    if (leaf) {
      const int at = nextLeaf++;
      return std::pair<int, std::uint64_t>(at, sorted[at] >> 10);
    }
    const int inner = nextInner++;
    return std::pair<int, std::uint64_t>(leafCount + inner, innerWeight[inner]);
  };
  for (int made = 0; made < leafCount - 1; ++made) {
    auto [a, wa] = takeSmallest();
    auto [b, wb] = takeSmallest();
    parent[a] = parent[b] = leafCount + innerCount;
    innerWeight[innerCount++] = wa + wb;
  }
  // The root is the last inner node; parents come after their children.
  // leafCount - 1 joins gave every other node its parent, which the
  // analyser cannot follow through the queues.
  int innerDepth[kMaxSymbols];
  // NOLINTBEGIN(clang-analyzer-core.UndefinedBinaryOperatorResult)
  innerDepth[innerCount - 1] = 0;
  for (int i = innerCount - 2; i >= 0; --i)
    innerDepth[i] = innerDepth[parent[leafCount + i] - leafCount] + 1;
  for (int i = 0; i < leafCount; ++i) depth[i] = innerDepth[parent[i] - leafCount] + 1;
  // NOLINTEND(clang-analyzer-core.UndefinedBinaryOperatorResult)
}

// Sorts weight << 10 | symbol entries, made in order of symbol. A block
// parse builds many codes, most of them small (the position code, the
// length code), and a comparison sort spends more time than the counts
// need: a few entries are sorted in place by insertion; weights below 2^16
// (a block's counts) by stable passes of a byte each, one when every weight
// fits in a byte.
void SortByWeight(std::uint64_t* entries, int count) {
  if (count <= 32) {
    for (int i = 1; i < count; ++i) {
      const std::uint64_t entry = entries[i];
      int j = i;
      for (; j > 0 && entries[j - 1] > entry; --j) entries[j] = entries[j - 1];
      entries[j] = entry;
    }
    return;
  }
  std::uint64_t largest = 0;
  for (int i = 0; i < count; ++i) largest |= entries[i];
  if ((largest >> 10) >= (1u << 16)) {
    std::sort(entries, entries + count);
    return;
  }
  // One stable pass by the byte at shift, from into to.
  const auto pass = [count](const std::uint64_t* from, std::uint64_t* to, int shift) {
    int start[257] = {};
    for (int i = 0; i < count; ++i) ++start[((from[i] >> shift) & 255) + 1];
    for (int b = 0; b < 256; ++b) start[b + 1] += start[b];
    for (int i = 0; i < count; ++i) to[start[(from[i] >> shift) & 255]++] = from[i];
  };
  std::uint64_t scratch[kMaxSymbols];
  pass(entries, scratch, 10);
  if ((largest >> 10) < 256) {
    std::copy(scratch, scratch + count, entries);
    return;
  }
  pass(scratch, entries, 18);
}

}  // namespace

// Format notes: the decoders take any set of lengths up to 16 bits that
// fills the code space, so a tree deeper than maxLength is flattened by
// counts alone: every deeper leaf is lifted to maxLength, then, while the
// code space is over-full, one leaf at maxLength is dropped and one leaf at
// the deepest shorter length split into two one level down, which keeps
// the leaf count and lowers the sum by one unit of 2^-maxLength.
int BuildCodeLengths(const std::uint32_t* frequencies, int symbolCount, int maxLength,
                     std::uint8_t* lengths) {
  std::uint64_t sorted[kMaxSymbols];  // weight << 10 | symbol: ascending weight, then symbol
  int used = 0;
  for (int s = 0; s < symbolCount; ++s) {
    lengths[s] = 0;
    if (frequencies[s] != 0) sorted[used++] = static_cast<std::uint64_t>(frequencies[s]) << 10 | s;
  }
  if (used < 2) return used;
  SortByWeight(sorted, used);
  int depth[kMaxSymbols];
  HuffmanDepths(sorted, used, depth);

  int countOfLength[kMaxCodeLength + 1] = {};
  for (int i = 0; i < used; ++i) ++countOfLength[std::min(depth[i], maxLength)];
  std::uint32_t kraft = 0;  // in units of 2^-maxLength
  for (int len = 1; len <= maxLength; ++len)
    kraft += static_cast<std::uint32_t>(countOfLength[len]) << (maxLength - len);
  while (kraft > (1u << maxLength)) {
    --countOfLength[maxLength];
    for (int len = maxLength - 1; len >= 1; --len) {
      if (countOfLength[len] != 0) {
        --countOfLength[len];
        countOfLength[len + 1] += 2;
        break;
      }
    }
    --kraft;
  }
  // The rarest symbols take the longest codes.
  int i = 0;
  for (int len = maxLength; len >= 1; --len) {
    for (int k = 0; k < countOfLength[len]; ++k)
      lengths[sorted[i++] & 1023] = static_cast<std::uint8_t>(len);
  }
  return used;
}

void AssignCanonicalCodes(const std::uint8_t* lengths, int symbolCount, std::uint16_t* codes) {
  int countOfLength[kMaxCodeLength + 1] = {};
  for (int s = 0; s < symbolCount; ++s) ++countOfLength[lengths[s]];
  countOfLength[0] = 0;
  std::uint32_t next[kMaxCodeLength + 2];
  next[1] = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len)
    next[len + 1] = (next[len] + static_cast<std::uint32_t>(countOfLength[len])) << 1;
  for (int s = 0; s < symbolCount; ++s) {
    codes[s] = lengths[s] == 0 ? 0 : static_cast<std::uint16_t>(next[lengths[s]]++);
  }
}

}  // namespace lzh
