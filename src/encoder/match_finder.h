// The encoder's hash chains of earlier positions with the same next four
// bytes, beside a table of the latest position of each three bytes (the
// nearest match of three bytes is the only one of that length worth
// sending), over one segment of the input at a time.
//
// A chain never leads before the window's first byte nor farther back than
// the dictionary, so every match it yields can be sent; no match runs past
// the segment's end.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/static_huffman_format.h"
#include "encoder/input_window.h"
#include "platform/heap.h"

namespace lzh {

struct Match {
  int length = 0;    // 0: none
  int distance = 0;  // bytes back, 1..dictionary
};

// What a match costs the parse, in 1/16 bits, by the codes of the block
// before: its length's code and its position's code and plain bits, less
// what the bytes it covers are worth. A longer match at a far distance
// may cost more than a shorter near one, whose plain bits are fewer.
struct MatchPrices {
  std::int32_t length[kMaxMatch + 1];            // the length's code less its bytes' worth
  std::int32_t position[kMaxPositionCodeCount];  // by position code
  std::int32_t Of(int matchLength, int distance) const {
    // The position code of distance - 1 without a branch for 0.
    const auto code = 31 - __builtin_clz(2 * static_cast<std::uint32_t>(distance - 1) + 1);
    return length[matchLength] + position[code];
  }
};

class MatchFinder {
 public:
  explicit MatchFinder(int dictionaryBits);

  // Starts on the window's segment: forgets every earlier position, then
  // enters those the window holds before the segment. The window must
  // stay as it is while the finder works on it.
  void Begin(const InputWindow& window);

  // Bytes from position to the segment's end.
  std::uint32_t Available(std::uint32_t position) const { return end_ - position; }
  std::uint8_t ByteAt(std::uint32_t position) const { return bytes_[position]; }

  // Enters position in its chain; needs three bytes from it.
  void Insert(std::uint32_t position) {
    const std::uint32_t available = end_ - position;
    if (available < 3) return;
    const std::uint32_t next4 = Load4(position);
    latest3_[Hash3(next4)] = position + 1;
    if (available >= 4) Link(position, next4);
  }

  // Enters the positions [from, end), as Insert does one by one.
  void InsertRange(std::uint32_t from, std::uint32_t end) {
    // The next search is most often at end.
    Prefetch(end);
    InsertLinks(from, end);
  }

  // The cheapest match by prices at position among at most chainLimit
  // earlier positions, at least longerThan + 1 bytes long: each longer
  // than the one held and cheaper replaces it. Stops early at niceLength.
  // Enters position in its chain.
  Match FindCheapest(std::uint32_t position, int chainLimit, int niceLength, int longerThan,
                     const MatchPrices& prices);

  // Every improvement along the chain: matches of growing length, each the
  // nearest of its length, into out (at most capacity). Enters position.
  int FindAll(std::uint32_t position, int chainLimit, int niceLength, Match* out, int capacity);

 private:
  struct ChainLinks {
    std::uint32_t at[4];  // the next candidates + 1, nearest first
  };
  // The next four bytes as one number, the first in the low byte order
  // position; a fourth byte past the data reads as whatever the buffer
  // holds there, and Hash3 leaves it out.
  std::uint32_t Load4(std::uint32_t position) const {
    std::uint32_t v;
    std::memcpy(&v, bytes_ + position, 4);
    return v;
  }
  static std::uint32_t Load4At(const std::uint8_t* at) {
    std::uint32_t v;
    std::memcpy(&v, at, 4);
    return v;
  }
  // Tables of 2^16 heads: fewer positions share a chain, and the nearest
  // match of three bytes is seldom hidden by other three bytes.
  static constexpr int kHashBits = 16;
  static constexpr int kHash3Bits = 16;
  // The multiplier's low eight bits are zero: the fourth byte falls out of
  // the product, with no mask to clear it first.
  static std::uint32_t Hash3(std::uint32_t next4) {
    return (next4 * (2654435761u << 8)) >> (32 - kHash3Bits);
  }
  static std::uint32_t Hash4(std::uint32_t next4) {
    return (next4 * 2654435761u) >> (32 - kHashBits);
  }
  // Makes position the head of its four-byte chain and returns the head it
  // replaced (position + 1, 0: none), which becomes position's link. The
  // links sit at position + 1 modulo the dictionary, the value a walk
  // holds: the next four along the chain, each copied from the entry of
  // the one before, so that a walk loads four candidates at once and waits
  // for a load (what bounds the walk) once per four. A copied link may be
  // stale (its slot reused by a later position) only behind one that leads
  // farther back than any walk goes on; a walk stops there before it reads
  // the next.
  static ChainLinks Links(std::uint32_t replaced, const ChainLinks* links, std::uint32_t mask) {
    const ChainLinks& next = links[replaced & mask];
    return ChainLinks{{replaced, next.at[0], next.at[1], next.at[2]}};
  }
  std::uint32_t Link(std::uint32_t position, std::uint32_t next4) {
    std::uint32_t& head = head_[Hash4(next4)];
    const std::uint32_t replaced = head;
    links_[(position + 1) & dictionaryMask_] = Links(replaced, links_.Get(), dictionaryMask_);
    head = position + 1;
    return replaced;
  }
  void InsertLinks(std::uint32_t from, std::uint32_t end) {
    // Positions before full have four bytes to hash.
    std::uint32_t full = end_ > 3 ? end_ - 3 : 0;
    if (full > end) full = end;
    // The tables' shapes in locals: the stores below might otherwise be
    // taken to change them, and they would be read again for every byte.
    std::uint32_t* const latest3 = latest3_.Get();
    std::uint32_t* const head = head_.Get();
    ChainLinks* const links = links_.Get();
    const std::uint32_t mask = dictionaryMask_;
    const std::uint8_t* const bytes = bytes_;
    std::uint32_t p = from;
    for (; p < full; ++p) {
      std::uint32_t next4;
      std::memcpy(&next4, bytes + p, 4);
      latest3[Hash3(next4)] = p + 1;
      std::uint32_t& chain = head[Hash4(next4)];
      links[(p + 1) & mask] = Links(chain, links, mask);
      chain = p + 1;
    }
    for (; p < end; ++p) Insert(p);
  }
  // Enters position and returns the heads it replaced: the latest position
  // + 1 with the same three bytes, and the chain of the same four bytes.
  void Enter(std::uint32_t position, std::uint32_t& latest3, std::uint32_t& chain) {
    const std::uint32_t next4 = Load4(position);
    // The next search is most often at the next byte: its heads are
    // fetched while this one walks its chain.
    Prefetch(position + 1);
    std::uint32_t& slot3 = latest3_[Hash3(next4)];
    latest3 = slot3;
    slot3 = position + 1;
    chain = end_ - position < 4 ? 0 : Link(position, next4);
  }
  // Asks for the table entries of position to be brought near; its four
  // bytes may run past the data (read, and the hint is merely useless).
  void Prefetch(std::uint32_t position) const {
    const std::uint32_t next4 = Load4(position);
    __builtin_prefetch(&latest3_[Hash3(next4)], 1);
    __builtin_prefetch(&head_[Hash4(next4)], 1);
  }
  // How far back a match at position may start.
  std::uint32_t Farthest(std::uint32_t position) const {
    return position < dictionaryBytes_ ? position : dictionaryBytes_;
  }
  // The least position + 1 a chain may lead to from position: a link is
  // kept a dictionary less one byte, as position's own entry takes the slot
  // of the position a whole dictionary back.
  std::uint32_t ChainEnd(std::uint32_t position) const {
    return position < dictionaryBytes_ ? 1 : position + 2 - dictionaryBytes_;
  }
  // Bytes that agree at a and b, at most limit.
  static int MatchLength(const std::uint8_t* a, const std::uint8_t* b, int limit) {
    int n = 0;
    while (n + 8 <= limit) {
      std::uint64_t x, y;
      std::memcpy(&x, a + n, 8);
      std::memcpy(&y, b + n, 8);
      if (x != y) return n + (__builtin_ctzll(x ^ y) >> 3);
      n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
  }

  std::uint32_t dictionaryBytes_;
  std::uint32_t dictionaryMask_;
  HeapArray<std::uint32_t> latest3_;     // position + 1 of the latest entry, 0: none
  HeapArray<std::uint32_t> head_;        // position + 1 of the latest entry, 0: none
  HeapArray<ChainLinks> links_;          // per position + 1 modulo the dictionary: see Link
  const std::uint8_t* bytes_ = nullptr;  // the window's: position 0 is its first byte held
  std::uint32_t end_ = 0;
};

}  // namespace lzh
