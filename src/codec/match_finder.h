// The encoder's window over its input and its hash chains of earlier
// positions with the same next four bytes, beside a table of the latest
// position of each three bytes (the nearest match of three bytes is the
// only one of that length worth sending).
//
// Positions count bytes from the member's first byte. The window keeps at
// least the dictionary behind the current position and up to a longest
// match ahead of it, refilled from the source as the position advances, so
// memory is bounded by the dictionary, never by the input. A chain never
// leads before the member's first byte nor farther back than the
// dictionary, so every match it yields can be sent.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/byte_stream.h"
#include "codec/static_huffman_format.h"
#include "platform/heap.h"

namespace lzh {

struct Match {
  int length = 0;    // 0: none
  int distance = 0;  // bytes back, 1..dictionary
};

class MatchFinder {
 public:
  MatchFinder(ByteSource& source, int dictionaryBits);

  // Makes the bytes up to position + kMaxMatch readable (fewer only at the
  // end of the input). False when the source failed.
  bool Prepare(std::uint32_t position) {
    if (end_ - position > static_cast<std::uint32_t>(kMaxMatch) || atEnd_) return true;
    return Refill(position);
  }
  // Bytes readable from position on (the end of the input may be near).
  std::uint32_t Available(std::uint32_t position) const { return end_ - position; }
  bool AtEnd(std::uint32_t position) const { return atEnd_ && position >= end_; }
  std::uint8_t ByteAt(std::uint32_t position) const { return buffer_[position - base_]; }

  // Enters position in its chain; needs three bytes from it.
  void Insert(std::uint32_t position) {
    const std::uint32_t available = end_ - position;
    if (available < 3) return;
    const std::uint32_t next4 = Load4(position);
    latest3_[Hash3(next4)] = position + 1;
    if (available < 4) return;
    std::uint32_t& head = head_[Hash4(next4)];
    prev_[position & dictionaryMask_] = head;
    head = position + 1;
  }

  // Enters the positions [from, end), as Insert does one by one.
  void InsertRange(std::uint32_t from, std::uint32_t end) {
    // Positions before full have four bytes to hash.
    std::uint32_t full = end_ > 3 ? end_ - 3 : 0;
    if (full > end) full = end;
    std::uint32_t p = from;
    for (; p < full; ++p) {
      const std::uint32_t next4 = Load4(p);
      latest3_[Hash3(next4)] = p + 1;
      std::uint32_t& head = head_[Hash4(next4)];
      prev_[p & dictionaryMask_] = head;
      head = p + 1;
    }
    for (; p < end; ++p) Insert(p);
  }

  // The longest match at position among at most chainLimit earlier
  // positions, at least longerThan + 1 bytes long; stops early at
  // niceLength. Enters position in its chain.
  Match FindLongest(std::uint32_t position, int chainLimit, int niceLength, int longerThan);

  // Every improvement along the chain: matches of growing length, each the
  // nearest of its length, into out (at most capacity). Enters position.
  int FindAll(std::uint32_t position, int chainLimit, int niceLength, Match* out, int capacity);

 private:
  static constexpr int kHashBits = 15;
  static constexpr int kHash3Bits = 14;

  // The next four bytes as one number, the first in the low byte order
  // position; a fourth byte past the data reads as whatever the buffer
  // holds there, and Hash3 leaves it out.
  std::uint32_t Load4(std::uint32_t position) const {
    std::uint32_t v;
    std::memcpy(&v, &buffer_[position - base_], 4);
    return v;
  }
  static std::uint32_t Hash3(std::uint32_t next4) {
    return ((next4 & 0xFFFFFFu) * 2654435761u) >> (32 - kHash3Bits);
  }
  static std::uint32_t Hash4(std::uint32_t next4) {
    return (next4 * 2654435761u) >> (32 - kHashBits);
  }
  // Enters position and returns the heads it replaced: the latest position
  // + 1 with the same three bytes, and the chain of the same four bytes.
  void Enter(std::uint32_t position, std::uint32_t& latest3, std::uint32_t& chain) {
    const std::uint32_t next4 = Load4(position);
    std::uint32_t& slot3 = latest3_[Hash3(next4)];
    latest3 = slot3;
    slot3 = position + 1;
    chain = 0;
    if (end_ - position < 4) return;
    std::uint32_t& head = head_[Hash4(next4)];
    chain = head;
    prev_[position & dictionaryMask_] = head;
    head = position + 1;
  }
  // Bytes that agree at a and b, at most limit.
  int MatchLength(const std::uint8_t* a, const std::uint8_t* b, int limit) const {
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
  bool Refill(std::uint32_t position);

  ByteSource& source_;
  std::uint32_t dictionaryBytes_;
  std::uint32_t dictionaryMask_;
  std::uint32_t capacity_;  // bytes of buffer_ that hold data
  HeapArray<std::uint8_t> buffer_;
  HeapArray<std::uint32_t> latest3_;  // position + 1 of the latest entry, 0: none
  HeapArray<std::uint32_t> head_;     // position + 1 of the latest entry, 0: none
  HeapArray<std::uint32_t> prev_;     // per position modulo the dictionary
  std::uint32_t base_ = 0;            // position of buffer_[0]
  std::uint32_t end_ = 0;             // position after the last byte read
  bool atEnd_ = false;
  bool failed_ = false;
};

}  // namespace lzh
