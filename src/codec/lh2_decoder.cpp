// -lh2-: LZ77 over an 8 KiB dictionary with two adaptive Huffman codes,
// one for literals and match lengths, one for a position's upper bits,
// which grows as the member does.
//
// Format notes. Bits are read most significant first; the stream carries
// no end marker, as in -lh1-: decoding stops when the member's size is
// reached, or earlier when a symbol needs bits beyond the packed bytes.
// Symbols 0..255 are bytes, 256..284 matches of 3..31 bytes, and 285 is
// followed by 8 plain bits e: a match of 32 + e bytes. A match's position
// code j is followed by 6 plain bits: position 64 j + bits, and the match
// starts position + 1 bytes back. Before the member's first byte the
// dictionary holds spaces.
//
// Each code is a tree whose nodes are kept in order of non-increasing
// weight, the root first; an internal node's two children are adjacent, a
// 1 bit leading to the first (the heavier) and a 0 bit to the second.
// After a symbol is decoded its weights are counted from the leaf up: a
// node about to gain is first exchanged (with its subtree) with the first
// node of its weight, unless it is that node, and counting goes on from
// the parent of where it ends up.
// - The literal/length code starts as -lh1-'s does, with 286 symbols of
//   weight 1: node j internal below 285, with children 2j + 1 and 2j + 2,
//   symbol s on node 570 - s. With each symbol the root is counted (and
//   the tree rebuilt first if its weight has reached 0x8000:
//   every leaf weight halved, rounding up, and the nodes ordered anew by
//   weight, the leaves in their order, each new internal node ahead of the
//   nodes of its weight).
// - The position code starts as the single leaf of code 0, at the root,
//   which is never counted (it stands above every weight). Before a
//   position is read, code k is added for each k >= 1 with 64 k below the
//   bytes decoded so far, up to 127: the last node (always a leaf) becomes
//   an internal node whose children are that leaf (1 bit) and the new one
//   (0 bit, weight 0), and the new code is counted. After 0x8000 counts
//   the tree is rebuilt as above and the count starts again from the sum
//   of its leaves.
//
// The packed bytes are read in blocks of up to 32 KiB, never past
// packedLeft. The output is written in blocks of 32 KiB and the rest at
// the end.
#include <cstring>

#include "codec/decoder.h"
#include "codec/match_copy.h"
#include "platform/heap.h"

namespace lzh {

namespace {

constexpr int kCodeSymbols = 286;
constexpr int kLongMatchCode = 285;  // followed by 8 plain bits
constexpr int kLongMatchBits = 8;
constexpr int kPositionSymbols = 128;
constexpr int kPositionStep = 64;  // bytes decoded per position code added
constexpr int kPositionLowBits = 6;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 287;
constexpr int kDictionaryBytes = 8192;
constexpr int kOutputBlockBytes = 32768;
constexpr std::int32_t kInputBlockBytes = 32768;
constexpr unsigned kRebuildWeight = 0x8000;  // the literal root's weight that forces a rebuild
constexpr unsigned kRebuildCounts = 0x8000;  // position counts that force a rebuild
constexpr std::uint16_t kAboveAll = 0xFFFF;  // the position root's weight
constexpr std::uint16_t kLeaf = 0x8000;      // child entry of a leaf: kLeaf | symbol

// One adaptive code of up to kSymbols symbols.
template <int kSymbols>
struct AdaptiveTree {
  static constexpr int kNodes = 2 * kSymbols - 1;
  std::uint16_t weight[kNodes];
  // Internal node: its first child; leaf: kLeaf | its symbol.
  std::uint16_t child[kNodes];
  std::uint16_t parent[kNodes];
  std::uint16_t leaf[kSymbols];  // the node of each symbol
  int nodes;                     // in use, from 0

  static bool IsLeaf(unsigned entry) { return (entry & kLeaf) != 0; }

  void Link(unsigned n) {
    const unsigned c = child[n];
    if (IsLeaf(c)) {
      leaf[c & ~kLeaf] = static_cast<std::uint16_t>(n);
    } else {
      parent[c] = parent[c + 1] = static_cast<std::uint16_t>(n);
    }
  }

  // The first node of weight w, given that node n (> 0) has it; the root
  // is never one.
  unsigned FirstOfWeight(unsigned n, unsigned w) const {
    if (weight[n - 1] != w || n == 1) return n;
    // Gallop back, then bisect: runs of equal weight can be long.
    unsigned above = n - 1, step = 1;  // weight[above] == w
    unsigned below;                    // weight[below] > w, or 0
    for (;;) {
      if (above <= step) {
        below = 0;
        break;
      }
      below = above - step;
      if (weight[below] != w) break;
      above = below;
      step <<= 1;
    }
    while (above - below > 1) {
      const unsigned middle = (above + below) / 2;
      if (weight[middle] == w) {
        above = middle;
      } else {
        below = middle;
      }
    }
    return above;
  }

  // Counts from node n up to the root, which is left alone.
  void CountFrom(unsigned n) {
    while (n != 0) {
      const unsigned w = weight[n];
      const unsigned first = FirstOfWeight(n, w);
      if (first != n) {
        const std::uint16_t c = child[n];
        child[n] = child[first];
        child[first] = c;
        Link(n);
        Link(first);
        n = first;
      }
      weight[n] = static_cast<std::uint16_t>(w + 1);
      n = parent[n];
    }
  }

  // Halves the leaf weights (rounding up) and orders the nodes anew.
  void Rebuild() {
    // The leaves in their order, heaviest first.
    std::uint16_t leafWeight[kSymbols] = {}, leafEntry[kSymbols] = {};
    int leaves = 0;
    for (int n = 0; n < nodes; ++n) {
      if (IsLeaf(child[n])) {
        leafWeight[leaves] = static_cast<std::uint16_t>((weight[n] + 1) / 2);
        leafEntry[leaves] = child[n];
        ++leaves;
      }
    }
    // Filled from the lightest end: the next two nodes placed are paired
    // under a new node, which goes ahead of every leaf of its weight or
    // less not yet placed.
    int at = nodes - 1;
    int pair = nodes - 2;  // its first node
    auto placeLeaf = [&] {
      --leaves;
      weight[at] = leafWeight[leaves];
      child[at] = leafEntry[leaves];
      --at;
    };
    while (at >= 0) {
      while (at >= pair) placeLeaf();  // NOLINT(bugprone-infinite-loop): it moves at
      const unsigned sum = weight[pair] + weight[pair + 1];
      while (leaves > 0 && leafWeight[leaves - 1] <= sum) placeLeaf();
      weight[at] = static_cast<std::uint16_t>(sum);
      child[at] = static_cast<std::uint16_t>(pair);
      --at;
      pair -= 2;
    }
    for (int n = 0; n < nodes; ++n) Link(static_cast<unsigned>(n));
  }
};

struct Lh2Storage {
  AdaptiveTree<kCodeSymbols> code;
  AdaptiveTree<kPositionSymbols> position;
  std::uint8_t inputBlock[kInputBlockBytes];
  // kDictionaryBytes of history, then the output block; the slack takes a
  // match that starts at the block's last byte and the bytes its copy may
  // write past the match (match_copy.h).
  std::uint8_t window[kDictionaryBytes + kOutputBlockBytes + kMaxMatch + 32];
};

class Lh2Decoder {
 public:
  Lh2Decoder(MemberStream& member, Lh2Storage& s) : member_(member), s_(s) {}

  void Run();

 private:
  void StartCode();
  void StartPosition();
  void ReadInputBlock();
  // The next n bits (n = 1..16).
  unsigned TakeBits(int n);
  template <int kSymbols>
  unsigned Walk(const AdaptiveTree<kSymbols>& tree);
  unsigned DecodeCode();
  unsigned DecodePosition(std::int64_t decoded);
  void CountPosition(unsigned code);
  void AddPositionCode();
  bool PastTheEnd() const { return phantomBits_ > bitCount_; }

  MemberStream& member_;
  Lh2Storage& s_;
  std::int32_t inputPos_ = 0;
  std::int32_t inputCount_ = 0;
  int phantomBits_ = 0;  // zero bits supplied after a read delivered nothing
  // Look-ahead bits, left-aligned: the next bit is bit 63.
  std::uint64_t bitBuffer_ = 0;
  int bitCount_ = 0;
  unsigned positionCounts_ = 0;  // since the position tree was last rebuilt
  int positionCodes_ = 1;
};

void Lh2Decoder::StartCode() {
  auto& t = s_.code;
  t.nodes = t.kNodes;
  for (int s = 0; s < kCodeSymbols; ++s) {
    const int n = t.kNodes - 1 - s;
    t.weight[n] = 1;
    t.child[n] = static_cast<std::uint16_t>(kLeaf | s);
  }
  for (int n = kCodeSymbols - 2; n >= 0; --n) {
    t.child[n] = static_cast<std::uint16_t>(2 * n + 1);
    t.weight[n] = static_cast<std::uint16_t>(t.weight[2 * n + 1] + t.weight[2 * n + 2]);
  }
  for (int n = 0; n < t.nodes; ++n) t.Link(static_cast<unsigned>(n));
}

void Lh2Decoder::StartPosition() {
  auto& t = s_.position;
  t.nodes = 1;
  t.weight[0] = 1;
  t.child[0] = kLeaf | 0;
  t.leaf[0] = 0;
}

// Reads stop at the member's own packed bytes.
void Lh2Decoder::ReadInputBlock() {
  inputPos_ = 0;
  const std::int32_t want = member_.packedLeft < kInputBlockBytes
                                ? static_cast<std::int32_t>(member_.packedLeft)
                                : kInputBlockBytes;
  inputCount_ = want > 0 ? member_.ReadPacked(s_.inputBlock, want) : 0;
  if (inputCount_ < 0) inputCount_ = 0;
  if (inputCount_ > want) inputCount_ = want;
  member_.packedLeft -= inputCount_;
}

// Once a read has delivered nothing, zero bits stand in and the archive is
// not read again.
inline unsigned Lh2Decoder::TakeBits(int n) {
  while (bitCount_ < n) {
    std::uint8_t byte = 0;
    if (inputPos_ == inputCount_ && inputCount_ != 0) ReadInputBlock();
    if (inputPos_ < inputCount_) {
      byte = s_.inputBlock[inputPos_++];
    } else {
      phantomBits_ += 8;
    }
    bitBuffer_ |= std::uint64_t{byte} << (56 - bitCount_);
    bitCount_ += 8;
  }
  const auto bits = static_cast<unsigned>(bitBuffer_ >> (64 - n));
  bitBuffer_ <<= n;
  bitCount_ -= n;
  return bits;
}

template <int kSymbols>
unsigned Lh2Decoder::Walk(const AdaptiveTree<kSymbols>& tree) {
  unsigned c = tree.child[0];
  while (!tree.IsLeaf(c)) c = tree.child[c + 1 - TakeBits(1)];
  return c & ~kLeaf;
}

// The symbol is read from the tree as it stands; the count that follows
// may first rebuild it.
unsigned Lh2Decoder::DecodeCode() {
  auto& t = s_.code;
  const unsigned symbol = Walk(t);
  if (t.weight[0] == kRebuildWeight) t.Rebuild();
  ++t.weight[0];
  t.CountFrom(t.leaf[symbol]);
  if (symbol == kLongMatchCode) return symbol + TakeBits(kLongMatchBits);
  return symbol;
}

void Lh2Decoder::AddPositionCode() {
  auto& t = s_.position;
  const int last = t.nodes - 1;
  const int moved = last + 1, added = last + 2;
  t.child[moved] = t.child[last];
  t.weight[moved] = t.weight[last];
  t.child[added] = static_cast<std::uint16_t>(kLeaf | positionCodes_);
  t.weight[added] = 0;
  t.child[last] = static_cast<std::uint16_t>(moved);
  if (last == 0) t.weight[0] = kAboveAll;
  t.nodes += 2;
  t.Link(static_cast<unsigned>(last));
  t.Link(static_cast<unsigned>(moved));
  t.Link(static_cast<unsigned>(added));
  ++positionCodes_;
}

unsigned Lh2Decoder::DecodePosition(std::int64_t decoded) {
  auto& t = s_.position;
  while (positionCodes_ < kPositionSymbols &&
         decoded > std::int64_t{kPositionStep} * positionCodes_) {
    const unsigned code = static_cast<unsigned>(positionCodes_);
    AddPositionCode();
    // The new code is counted as if decoded.
    CountPosition(code);
  }
  const unsigned code = Walk(t);
  CountPosition(code);
  return code << kPositionLowBits | TakeBits(kPositionLowBits);
}

// Counts one position code, rebuilding the tree first when the counts are
// full.
void Lh2Decoder::CountPosition(unsigned code) {
  auto& t = s_.position;
  if (positionCounts_ == kRebuildCounts) {
    t.Rebuild();
    positionCounts_ = t.weight[0];
    t.weight[0] = kAboveAll;
  }
  t.CountFrom(t.leaf[code]);
  ++positionCounts_;
}

// The produced count is compared with the original size only before each
// symbol; a last match past it is cut there (decoder.h).
void Lh2Decoder::Run() {
  if (member_.originalSize <= 0) return;
  ReadInputBlock();
  StartCode();
  StartPosition();
  std::uint8_t* const window = s_.window;
  std::memset(window, ' ', kDictionaryBytes);
  int pos = kDictionaryBytes;
  std::int64_t written = 0;
  const std::int64_t size = member_.originalSize;
  while (written + (pos - kDictionaryBytes) < size) {
    const unsigned c = DecodeCode();
    if (c < 256) {
      if (PastTheEnd()) break;
      window[pos++] = static_cast<std::uint8_t>(c);
    } else {
      const std::int64_t decoded = written + (pos - kDictionaryBytes);
      const int distance = static_cast<int>(DecodePosition(decoded)) + 1;
      if (PastTheEnd()) break;
      int length = static_cast<int>(c) - 256 + kMinMatch;
      if (length > size - decoded) {
        length = static_cast<int>(size - decoded);
        member_.overran = true;
      }
      CopyForward(window + pos, window + pos - distance, length);
      pos += length;
    }
    if (pos >= kDictionaryBytes + kOutputBlockBytes) {
      member_.WriteOutput(window + kDictionaryBytes, kOutputBlockBytes);
      written += kOutputBlockBytes;
      // The last 8 KiB become the history, with what passed the block.
      pos -= kOutputBlockBytes;
      std::memmove(window, window + kOutputBlockBytes, static_cast<std::size_t>(pos));
    }
  }
  if (pos > kDictionaryBytes)
    member_.WriteOutput(window + kDictionaryBytes, pos - kDictionaryBytes);
}

}  // namespace

void DecodeLh2(MemberStream& member) {
  HeapArray<Lh2Storage> storage(1);
  Lh2Decoder(member, storage[0]).Run();
}

}  // namespace lzh
