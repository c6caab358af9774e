// What the -pm1- and -pm2- decoders share: their bit input and the
// move-to-front list through which both code a literal byte.
//
// Format notes. The packed bytes form one bit stream, each byte entering
// most significant bit first. A literal is coded as its place in a list of
// the 256 byte values, most recently written first: every byte the member
// writes (literal or copied) moves to the front of that list. Before the
// first byte the list runs 0x20..0x7F, 0x00..0x1F, 0xA0..0xDF, 0x80..0x9F,
// 0xE0..0xFF.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/decoder.h"

namespace lzh::pmarc {

inline constexpr std::int32_t kPackedReadBytes = 32768;  // bytes asked for per read

// The member's packed bytes as bits. Past them (or past the archive's end)
// the stream reads as zero bits, and PastEnd() says whether any of those
// have been taken. Reads never ask for more than the member's packed bytes.
class PackedBits {
 public:
  // block: kPackedReadBytes bytes of the caller's storage.
  PackedBits(MemberStream& member, std::uint8_t* block) : member_(member), block_(block) {}

  // The next n bits (n = 1..32), the first in the highest place.
  std::uint32_t Peek(int n) {
    if (count_ < n) Refill();
    return static_cast<std::uint32_t>(window_ >> (64 - n));
  }
  void Skip(int n) {
    window_ <<= n;
    count_ -= n;
  }
  std::uint32_t Take(int n) {
    if (n == 0) return 0;
    std::uint32_t bits = Peek(n);
    Skip(n);
    return bits;
  }
  // Some bit taken so far lay past the packed bytes.
  bool PastEnd() const { return phantomBits_ > count_; }

 private:
  // Brings the window to at least 57 bits.
  void Refill() {
    if (end_ - pos_ >= 8) {
      std::uint64_t next;
      std::memcpy(&next, block_ + pos_, 8);
      window_ |= __builtin_bswap64(next) >> count_;
      int bytes = (63 - count_) >> 3;
      pos_ += bytes;
      count_ += bytes * 8;
      return;
    }
    while (count_ <= 56) {
      if (pos_ == end_) ReadBlock();
      std::uint64_t byte = 0;
      if (pos_ < end_) {
        byte = block_[pos_++];
      } else {
        phantomBits_ += 8;
      }
      window_ |= byte << (56 - count_);
      count_ += 8;
    }
  }
  void ReadBlock() {
    pos_ = end_ = 0;
    if (ended_) return;
    std::int32_t want = member_.packedLeft < kPackedReadBytes
                            ? static_cast<std::int32_t>(member_.packedLeft)
                            : kPackedReadBytes;
    std::int32_t got = want > 0 ? member_.ReadPacked(block_, want) : 0;
    if (got > want) got = want;
    if (got <= 0) {
      ended_ = true;
      return;
    }
    member_.packedLeft -= got;
    end_ = got;
  }

  MemberStream& member_;
  std::uint8_t* block_;
  std::int32_t pos_ = 0;          // next byte of block_ to load
  std::int32_t end_ = 0;          // bytes the last read delivered
  bool ended_ = false;            // a read delivered nothing: no more are made
  std::uint64_t window_ = 0;      // the next bits, the next one in bit 63
  int count_ = 0;                 // bits of window_ that are the stream's
  std::int64_t phantomBits_ = 0;  // zero bits appended past the packed bytes
};

// The move-to-front list of byte values, as a ring linked both ways so that
// moving a byte costs the same wherever it stands; a look-up walks from the
// nearer end. Storage from the heap holds it unconstructed: Reset() first.
class ByteHistory {
 public:
  void Reset() {
    static constexpr std::uint8_t kRunStarts[] = {0x20, 0x00, 0xA0, 0x80, 0xE0};
    static constexpr int kRunLengths[] = {0x60, 0x20, 0x40, 0x20, 0x20};
    std::uint8_t order[256];
    int n = 0;
    for (int run = 0; run < 5; ++run)
      for (int i = 0; i < kRunLengths[run]; ++i)
        order[n++] = static_cast<std::uint8_t>(kRunStarts[run] + i);
    for (int i = 0; i < 256; ++i) {
      older_[order[i]] = order[(i + 1) & 255];
      newer_[order[i]] = order[(i + 255) & 255];
    }
    front_ = order[0];
  }

  // The byte at place `index`, 0 being the front.
  std::uint8_t At(unsigned index) const {
    std::uint8_t b = front_;
    if (index < 128) {
      for (; index > 0; --index) b = older_[b];
    } else {
      for (index = 256 - index; index > 0; --index) b = newer_[b];
    }
    return b;
  }

  void MoveToFront(std::uint8_t b) {
    if (b == front_) return;
    older_[newer_[b]] = older_[b];
    newer_[older_[b]] = newer_[b];
    const std::uint8_t back = newer_[front_];
    older_[b] = front_;
    newer_[b] = back;
    newer_[front_] = b;
    older_[back] = b;
    front_ = b;
  }

 private:
  std::uint8_t older_[256];  // the next byte toward the back; the back's is the front
  std::uint8_t newer_[256];  // the next toward the front; the front's is the back
  std::uint8_t front_;
};

}  // namespace lzh::pmarc
