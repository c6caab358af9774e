// A -lh2- decoder written step for step from the format's description
// (src/codec/lh2_decoder.cpp), one bit of input at a time, to hold the
// decoder against: the first node of a weight is found by a scan back to
// it, and a rebuild orders the nodes from the lightest up, as -lh1-'s
// model does, then turns the order round. Its writes are the decoder's:
// every 32 KiB and the rest.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "codec/decoder.h"

namespace lzhtest::lh2 {

// Nodes in order of non-increasing weight, the root first; an internal
// node's children are `first` (1 bit) and first + 1 (0 bit).
struct Tree {
  struct Node {
    unsigned weight = 0;
    bool leaf = false;
    int symbol = 0;  // a leaf's
    int first = 0;   // an internal node's first child
    int parent = 0;
  };
  std::vector<Node> nodes;

  int LeafOf(int symbol) const {
    for (int n = 0; n < static_cast<int>(nodes.size()); ++n)
      if (nodes[n].leaf && nodes[n].symbol == symbol) return n;
    return -1;
  }
  void Link(int n) {
    if (!nodes[n].leaf) nodes[nodes[n].first].parent = nodes[nodes[n].first + 1].parent = n;
  }
  void Relink() {
    for (int n = 0; n < static_cast<int>(nodes.size()); ++n) {
      if (!nodes[n].leaf) nodes[nodes[n].first].parent = nodes[nodes[n].first + 1].parent = n;
    }
  }
  // From node n up, the root left alone: a node first trades its subtree
  // with the first node of its weight.
  void Count(int n) {
    while (n != 0) {
      int first = n;
      while (first > 1 && nodes[first - 1].weight == nodes[n].weight) --first;
      if (first != n) {
        std::swap(nodes[n].leaf, nodes[first].leaf);
        std::swap(nodes[n].symbol, nodes[first].symbol);
        std::swap(nodes[n].first, nodes[first].first);
        Link(n);
        Link(first);
        n = first;
      }
      ++nodes[n].weight;
      n = nodes[n].parent;
    }
  }
  // Halved leaves, lightest first (the order turned round); pairs of the
  // ordered list from its start each get a node that goes after every node
  // of its weight or less.
  void Rebuild() {
    std::vector<Node> up;
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) {
      if (!it->leaf) continue;
      Node leaf = *it;
      leaf.weight = (leaf.weight + 1) / 2;
      up.push_back(leaf);
    }
    // Children by their place in `up`, counted from its start.
    for (std::size_t pair = 0; up.size() < nodes.size(); pair += 2) {
      Node inner;
      inner.weight = up[pair].weight + up[pair + 1].weight;
      inner.first = static_cast<int>(pair);
      std::size_t at = up.size();
      while (at > 0 && up[at - 1].weight > inner.weight) --at;
      up.insert(up.begin() + static_cast<std::ptrdiff_t>(at), inner);
    }
    // Turned round: place i from the start is node size - 1 - i, and the
    // lighter child (place first) is the second.
    const int size = static_cast<int>(up.size());
    for (int i = 0; i < size; ++i) {
      Node n = up[static_cast<std::size_t>(i)];
      if (!n.leaf) n.first = size - 2 - n.first;
      nodes[static_cast<std::size_t>(size - 1 - i)] = n;
    }
    Relink();
  }
};

// The two codes as they stand, counted as a member's symbols are: what the
// reference decoder and the tests' encoder share.
struct Model {
  Tree code, position;
  int codes = 1;        // position codes so far
  unsigned counts = 0;  // position counts since the last rebuild

  Model() {
    // The literal/length code: symbol s on node 570 - s, node j < 285 the
    // parent of 2j + 1 and 2j + 2.
    code.nodes.resize(571);
    for (int s = 0; s < 286; ++s) {
      Tree::Node& leaf = code.nodes[static_cast<std::size_t>(570 - s)];
      leaf.leaf = true;
      leaf.symbol = s;
      leaf.weight = 1;
    }
    for (int j = 284; j >= 0; --j) {
      code.nodes[j].first = 2 * j + 1;
      code.nodes[j].weight = code.nodes[2 * j + 1].weight + code.nodes[2 * j + 2].weight;
    }
    code.Relink();
    // The position code: code 0 alone, at the root.
    position.nodes.resize(1);
    position.nodes[0].leaf = true;
    position.nodes[0].weight = 1;
  }

  void CountCode(int c) {
    if (code.nodes[0].weight == 0x8000) code.Rebuild();
    ++code.nodes[0].weight;
    code.Count(code.LeafOf(c));
  }
  void CountPosition(int j) {
    if (counts == 0x8000) {
      position.Rebuild();
      counts = position.nodes[0].weight;
      position.nodes[0].weight = 0xFFFF;
    }
    position.Count(position.LeafOf(j));
    ++counts;
  }
  // Codes 64 k below the bytes decoded so far, each counted once.
  void GrowPositions(std::int64_t decoded) {
    while (codes < 128 && decoded > 64 * codes) {
      const int last = static_cast<int>(position.nodes.size()) - 1;
      Tree::Node moved = position.nodes[static_cast<std::size_t>(last)], added;
      added.leaf = true;
      added.symbol = codes;
      position.nodes[static_cast<std::size_t>(last)].leaf = false;
      position.nodes[static_cast<std::size_t>(last)].first = last + 1;
      if (last == 0) position.nodes[0].weight = 0xFFFF;
      position.nodes.push_back(moved);
      position.nodes.push_back(added);
      position.Relink();
      CountPosition(codes);
      ++codes;
    }
  }
  // The bits of a symbol's code, first bit first.
  static std::vector<int> CodeOf(const Tree& tree, int symbol) {
    std::vector<int> bits;
    for (int n = tree.LeafOf(symbol); n != 0;) {
      const int parent = tree.nodes[static_cast<std::size_t>(n)].parent;
      bits.insert(bits.begin(), tree.nodes[static_cast<std::size_t>(parent)].first == n ? 1 : 0);
      n = parent;
    }
    return bits;
  }
};

class ReferenceDecoder {
 public:
  explicit ReferenceDecoder(lzh::MemberStream& member) : m_(member) {}

  void Run() {
    if (m_.originalSize <= 0) return;
    std::vector<std::uint8_t> out;
    std::int64_t decoded = 0;
    while (decoded < m_.originalSize) {
      int c = Walk(model_.code);
      model_.CountCode(c);
      if (c == 285) c += Take(8);
      if (c < 256) {
        if (used_ > real_) break;  // the symbol needed bits past the data
        Put(out, static_cast<std::uint8_t>(c));
        ++decoded;
        continue;
      }
      model_.GrowPositions(decoded);
      const int j = Walk(model_.position);
      model_.CountPosition(j);
      const int distance = (j << 6 | Take(6)) + 1;
      if (used_ > real_) break;
      std::int64_t length = c - 253;
      if (length > m_.originalSize - decoded) {
        length = m_.originalSize - decoded;
        m_.overran = true;
      }
      for (std::int64_t i = 0; i < length; ++i) {
        const std::int64_t from = static_cast<std::int64_t>(history_.size()) - distance;
        Put(out, from < 0 ? ' ' : history_[static_cast<std::size_t>(from)]);
      }
      decoded += length;
    }
    if (!out.empty()) m_.WriteOutput(out.data(), static_cast<std::int32_t>(out.size()));
  }

 private:
  int Walk(const Tree& tree) {
    int n = 0;
    while (!tree.nodes[static_cast<std::size_t>(n)].leaf)
      n = tree.nodes[static_cast<std::size_t>(n)].first + (Take(1) == 1 ? 0 : 1);
    return tree.nodes[static_cast<std::size_t>(n)].symbol;
  }

  void Put(std::vector<std::uint8_t>& out, std::uint8_t byte) {
    out.push_back(byte);
    history_.push_back(byte);
    if (out.size() == 32768) {
      m_.WriteOutput(out.data(), 32768);
      out.clear();
    }
  }

  // The next n bits; zeros past the member's packed bytes, or once a read
  // has delivered nothing.
  int Take(int n) {
    int v = 0;
    for (int i = 0; i < n; ++i) {
      if (bitsLeft_ == 0) {
        byte_ = NextByte();
        bitsLeft_ = 8;
      }
      --bitsLeft_;
      v = v << 1 | ((byte_ >> bitsLeft_) & 1);
      ++used_;
    }
    return v;
  }

  std::uint8_t NextByte() {
    if (at_ == got_) {
      if (ended_ || m_.packedLeft <= 0) return 0;
      auto want = static_cast<std::int32_t>(std::min<std::int64_t>(m_.packedLeft, 32768));
      got_ = std::min(m_.ReadPacked(block_.data(), want), want);
      at_ = 0;
      if (got_ <= 0) {
        got_ = 0;
        ended_ = true;
        return 0;
      }
      m_.packedLeft -= got_;
    }
    real_ += 8;
    return block_[static_cast<std::size_t>(at_++)];
  }

  lzh::MemberStream& m_;
  Model model_;
  std::vector<std::uint8_t> block_ = std::vector<std::uint8_t>(32768);
  std::int32_t at_ = 0, got_ = 0;
  bool ended_ = false;
  std::uint8_t byte_ = 0;
  int bitsLeft_ = 0;
  std::int64_t used_ = 0, real_ = 0;  // bits taken, bits the packed bytes hold
  std::vector<std::uint8_t> history_;
};

}  // namespace lzhtest::lh2
