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

// For a byte value: where its k-th lowest set bit stands.
struct ByteBits {
  std::uint8_t lowest[256][8];
};
constexpr ByteBits MakeByteBits() {
  ByteBits t{};
  for (int v = 0; v < 256; ++v) {
    int k = 0;
    for (int bit = 0; bit < 8; ++bit)
      if (v >> bit & 1) t.lowest[v][k++] = static_cast<std::uint8_t>(bit);
  }
  return t;
}
inline constexpr ByteBits kByteBits = MakeByteBits();

// The place of the r-th lowest set bit of word (r below its count), with no
// branch on the bits: byte sums of the bit counts locate its byte.
inline unsigned SelectBit(std::uint64_t word, unsigned r) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighs = 0x8080808080808080u;
  std::uint64_t s = word - (word >> 1 & 0x5555555555555555u);
  s = (s & 0x3333333333333333u) + (s >> 2 & 0x3333333333333333u);
  s = (s + (s >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  const std::uint64_t upTo = s * kOnes;  // byte i: the bits of bytes 0..i
  // Bytes whose sum is still at most r have their high bit set.
  const std::uint64_t atMost = ((r * kOnes | kHighs) - upTo) & kHighs;
  const auto byte = static_cast<unsigned>(__builtin_ctzll(~atMost & kHighs)) >> 3;
  const unsigned before = static_cast<unsigned>(upTo << 8 >> (byte * 8)) & 255;
  return byte * 8 + kByteBits.lowest[word >> (byte * 8) & 255][r - before];
}

// The move-to-front list. Each byte value holds a stamp, larger the more
// recently it was written, and a set of bits marks the stamps in use: a
// move is a new stamp, a few bits and counts, and the byte at a place is
// found by counting marked stamps down from the newest, by groups of 64,
// then within the group's word, with no walk along the list. When the
// stamps run out they are numbered again from 0, in order. Storage from
// the heap holds it unconstructed: Reset() first.
class ByteHistory {
 public:
  void Reset() {
    static constexpr std::uint8_t kRunStarts[] = {0x20, 0x00, 0xA0, 0x80, 0xE0};
    static constexpr int kRunLengths[] = {0x60, 0x20, 0x40, 0x20, 0x20};
    std::memset(marked_, 0, sizeof marked_);
    std::memset(groupCount_, 0, sizeof groupCount_);
    int place = 0;
    for (int run = 0; run < 5; ++run)
      for (int i = 0; i < kRunLengths[run]; ++i, ++place)
        Stamp(static_cast<std::uint8_t>(kRunStarts[run] + i), 255u - static_cast<unsigned>(place));
    next_ = 256;
  }

  // The byte at `place` (0 being the front), moved to the front: a literal.
  std::uint8_t TakeAt(unsigned place) {
    unsigned g = (next_ - 1) >> 6;
    while (place >= groupCount_[g]) place -= groupCount_[g--];
    // The place-th from the top of the word's marked bits.
    const unsigned old = g * 64 + SelectBit(marked_[g], groupCount_[g] - 1 - place);
    const std::uint8_t b = owner_[old];
    if (old != next_ - 1) {
      if (next_ == kStamps) {
        Renumber();
        MoveToFront(b);
        return b;
      }
      marked_[g] &= ~(std::uint64_t{1} << (old & 63));
      --groupCount_[g];
      Stamp(b, next_++);
    }
    return b;
  }

  void MoveToFront(std::uint8_t b) { Written(&b, 1); }

  // The n bytes at `bytes` were written, in order: each moves to the front.
  void Written(const std::uint8_t* bytes, int n) {
    unsigned next = next_;  // a local, which the byte stores cannot touch
    for (int i = 0; i < n; ++i) {
      const std::uint8_t b = bytes[i];
      const unsigned old = stamp_[b];
      if (old == next - 1) continue;  // at the front already
      if (next == kStamps) {
        Renumber();
        next = next_;
        --i;
        continue;
      }
      marked_[old >> 6] &= ~(std::uint64_t{1} << (old & 63));
      --groupCount_[old >> 6];
      Stamp(b, next++);
    }
    next_ = next;
  }

 private:
  static constexpr unsigned kStamps = 1024;

  void Stamp(std::uint8_t b, unsigned stamp) {
    stamp_[b] = static_cast<std::uint16_t>(stamp);
    owner_[stamp] = b;
    marked_[stamp >> 6] |= std::uint64_t{1} << (stamp & 63);
    ++groupCount_[stamp >> 6];
  }
  // Stamps 0..255 in the same order.
  void Renumber() {
    std::uint8_t order[256];
    int n = 0;
    for (unsigned w = 0; w < kStamps / 64; ++w)
      for (std::uint64_t word = marked_[w]; word != 0; word &= word - 1)
        order[n++] = owner_[w * 64 + static_cast<unsigned>(__builtin_ctzll(word))];
    std::memset(marked_, 0, sizeof marked_);
    std::memset(groupCount_, 0, sizeof groupCount_);
    for (int i = 0; i < 256; ++i) Stamp(order[i], static_cast<unsigned>(i));
    next_ = 256;
  }

  std::uint64_t marked_[kStamps / 64];
  std::uint8_t groupCount_[kStamps / 64];  // marked stamps per word
  std::uint16_t stamp_[256];
  std::uint8_t owner_[kStamps];
  unsigned next_;  // the next stamp to hand out
};

}  // namespace lzh::pmarc
