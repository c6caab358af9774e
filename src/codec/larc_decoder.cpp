// -lzs- and -lz5-: LZSS over a ring of 2,048 bytes (-lzs-) or 4,096 bytes
// (-lz5-), with no entropy coding.
//
// Format notes. Each item is a literal or a match, told apart by a flag.
// - -lzs-: one stream of bits, each packed byte's most significant bit
//   first. A flag bit of 1 is followed by an 8-bit literal; 0 by a match,
//   11 bits of ring position and 4 bits of length less 2 (2 to 17 bytes).
// - -lz5-: whole bytes. A flag byte governs the next eight items, its least
//   significant bit first: 1 is a literal byte, 0 a match of two bytes b0
//   b1, ring position b0 | (b1 & 0xF0) << 4, length (b1 & 0x0F) + 3 (3 to
//   18 bytes).
// Each output byte is also stored in the ring, at the write position, which
// then moves on and wraps at the ring's end. A match names the ring
// position it copies from, not a distance, and copies as if one byte at a
// time, so it may run over bytes it has just stored, and a position equal
// to the write position reads the byte stored one whole ring earlier.
// Before the first byte, the -lzs- ring holds spaces and writing starts at
// 2,048 - 17. The -lz5- ring holds 13 copies of each byte value 0..255 in
// turn (3,328 bytes), the values 0..255, the values 255..0, 128 zeros, 110
// spaces and 18 zeros, and writing starts on the first of those 18 zeros.
// There is no end marker: decoding stops at the original size, or earlier
// when an item needs bytes beyond the member's packed bytes (a stream cut
// short; the item is not written). A last match past the original size is
// cut there and raises overran (decoder.h).
//
// The ring is kept as the last ring's worth of a straight output buffer, so
// a match copies from a distance behind the write index: the distance from
// ring position r is (write position - r) modulo the ring, 0 standing for
// a whole ring. The output buffer is written out in blocks of 32 KiB (a
// multiple of both rings, so that an index keeps its place in the ring)
// and the rest at the end.
#include <cstring>

#include "codec/decoder.h"
#include "codec/match_copy.h"
#include "platform/heap.h"

namespace lzh {

namespace {

constexpr std::int32_t kBlockSize = 32768;  // bytes per archive read and per output write
constexpr int kLargestRing = 4096;
constexpr int kLz5GroupBytes = 1 + 8 * 2;  // a flag byte and eight matches
constexpr int kLz5GroupOutput = 8 * 18;    // the most one flag byte's items write
static_assert(kBlockSize % kLargestRing == 0);

// Working storage of one member, one heap block.
struct LarcStorage {
  std::uint8_t input[kBlockSize];
  // A ring's worth of history, then the output block; the slack takes the
  // items of one flag byte past the block's end and the bytes a match copy
  // may write past the match (match_copy.h).
  std::uint8_t window[kLargestRing + kBlockSize + kLz5GroupOutput + 32];
};

// The member's packed bytes, read in blocks, never past packedLeft. A read
// is issued only when a byte is wanted, and once one delivers nothing the
// archive is not read again.
class PackedInput {
 public:
  PackedInput(MemberStream& member, std::uint8_t* block) : member_(member), block_(block) {}

  int Available() const { return count_ - pos_; }
  const std::uint8_t* Next() const { return block_ + pos_; }
  void Skip(int count) { pos_ += count; }

  // The next byte, or false once the packed bytes are used up.
  bool Byte(unsigned& byte) {
    if (pos_ == count_ && !Refill()) return false;
    byte = block_[pos_++];
    return true;
  }

 private:
  bool Refill() {
    pos_ = count_ = 0;
    if (ended_) return false;
    const std::int32_t want = member_.packedLeft < kBlockSize
                                  ? static_cast<std::int32_t>(member_.packedLeft)
                                  : kBlockSize;
    if (want <= 0) return false;
    const std::int32_t got = member_.ReadPacked(block_, want);
    if (got <= 0) {
      ended_ = true;  // the archive ends early: read no more
      return false;
    }
    member_.packedLeft -= got;
    count_ = got;
    return true;
  }

  MemberStream& member_;
  std::uint8_t* block_;
  int pos_ = 0;
  int count_ = 0;
  bool ended_ = false;
};

class LarcDecoder {
 public:
  LarcDecoder(MemberStream& member, LarcStorage& storage, int ringBytes, int startBack)
      : member_(member),
        input_(member, storage.input),
        window_(storage.window),
        ringBytes_(ringBytes),
        startBack_(startBack),
        pos_(ringBytes),
        end_(static_cast<FileSize>(ringBytes) + static_cast<FileSize>(member.originalSize)) {}

  void DecodeLzs();
  void DecodeLz5();

 private:
  // The window index of the first byte of the output block.
  int OutputStart() const { return ringBytes_; }

  // The starting ring, stored as the history before the first output byte:
  // the byte d back from it is the one at ring position start - d.
  void FillHistory(const std::uint8_t* ring) {
    const int start = ringBytes_ - startBack_;
    std::memcpy(window_, ring + start, static_cast<std::size_t>(startBack_));
    std::memcpy(window_ + startBack_, ring, static_cast<std::size_t>(start));
  }

  // Copies `length` bytes from ring position `from`, cut at the member's end.
  void Match(unsigned from, int length) {
    // The write index pos_ is at ring position pos_ - startBack_ (modulo
    // the ring): the index's history starts a ring before the output.
    const int distance = static_cast<int>((static_cast<unsigned>(pos_ - startBack_) - from - 1) &
                                          static_cast<unsigned>(ringBytes_ - 1)) +
                         1;
    if (static_cast<FileSize>(length) > end_ - static_cast<FileSize>(pos_)) {
      length = static_cast<int>(end_ - static_cast<FileSize>(pos_));
      member_.overran = true;
    }
    CopyForward(window_ + pos_, window_ + pos_ - distance, length);
    pos_ += length;
  }

  // Writes out a full block once the write index has passed it, keeping
  // the last ring's worth of history and what lies past the block.
  void FlushFullBlock() {
    if (pos_ < OutputStart() + kBlockSize) return;
    member_.WriteOutput(window_ + OutputStart(), kBlockSize);
    std::memmove(window_, window_ + kBlockSize, static_cast<std::size_t>(pos_ - kBlockSize));
    pos_ -= kBlockSize;
    end_ -= kBlockSize;
  }

  void FlushRest() {
    if (pos_ > OutputStart()) member_.WriteOutput(window_ + OutputStart(), pos_ - OutputStart());
  }

  bool Done() const { return static_cast<FileSize>(pos_) >= end_; }

  MemberStream& member_;
  PackedInput input_;
  std::uint8_t* window_;
  int ringBytes_;
  int startBack_;  // the write position starts this far before the ring's end
  int pos_;        // the write index in window_
  // Where the member's last byte goes, as a window index: moved back with
  // every block written. Unsigned, as it lies a ring past the largest
  // signed size.
  FileSize end_;
};

// Items of up to 16 bits from a 64-bit look-ahead, left-aligned (the next
// bit is bit 63).
void LarcDecoder::DecodeLzs() {
  constexpr int kRing = 2048;
  std::uint8_t ring[kRing] = {};  // every byte is set below
  std::memset(ring, ' ', sizeof(ring));
  FillHistory(ring);

  std::uint64_t bits = 0;
  int bitCount = 0;
  while (!Done()) {
    if (bitCount < 16) {
      if (input_.Available() >= 8) {
        std::uint64_t next;
        std::memcpy(&next, input_.Next(), 8);
        bits |= __builtin_bswap64(next) >> bitCount;
        const int bytes = (63 - bitCount) >> 3;
        input_.Skip(bytes);
        bitCount += bytes * 8;
      } else {
        unsigned byte;
        while (bitCount <= 56 && input_.Byte(byte)) {
          bits |= std::uint64_t{byte} << (56 - bitCount);
          bitCount += 8;
        }
      }
    }
    if (bits >> 63 != 0) {
      if (bitCount < 9) break;  // cut short
      window_[pos_++] = static_cast<std::uint8_t>(bits >> 55);
      bits <<= 9;
      bitCount -= 9;
    } else {
      if (bitCount < 16) break;  // cut short
      const auto from = static_cast<unsigned>(bits >> 52) & 0x7FF;
      const int length = static_cast<int>((bits >> 48) & 0xF) + 2;
      bits <<= 16;
      bitCount -= 16;
      Match(from, length);
    }
    FlushFullBlock();
  }
  FlushRest();
}

void LarcDecoder::DecodeLz5() {
  constexpr int kRing = 4096;
  std::uint8_t ring[kRing] = {};  // every byte is set below
  std::uint8_t* p = ring;
  for (int value = 0; value < 256; ++value, p += 13) std::memset(p, value, 13);
  for (int value = 0; value < 256; ++value) *p++ = static_cast<std::uint8_t>(value);
  for (int value = 255; value >= 0; --value) *p++ = static_cast<std::uint8_t>(value);
  std::memset(p, 0, 128);
  std::memset(p + 128, ' ', 110);
  std::memset(p + 238, 0, 18);
  FillHistory(ring);

  while (!Done()) {
    if (input_.Available() >= kLz5GroupBytes &&
        end_ - static_cast<FileSize>(pos_) >= static_cast<FileSize>(kLz5GroupOutput)) {
      // A whole group in the block and short of the member's end: no checks.
      const std::uint8_t* in = input_.Next();
      unsigned flags = *in++;
      for (int item = 0; item < 8; ++item, flags >>= 1) {
        if (flags & 1) {
          window_[pos_++] = *in++;
        } else {
          Match(in[0] | (in[1] & 0xF0u) << 4, (in[1] & 0xF) + 3);
          in += 2;
        }
      }
      input_.Skip(static_cast<int>(in - input_.Next()));
    } else {
      unsigned flags;
      if (!input_.Byte(flags)) break;  // cut short
      for (int item = 0; item < 8 && !Done(); ++item, flags >>= 1) {
        unsigned b0, b1;
        if (flags & 1) {
          if (!input_.Byte(b0)) return FlushRest();  // cut short
          window_[pos_++] = static_cast<std::uint8_t>(b0);
        } else {
          if (!input_.Byte(b0) || !input_.Byte(b1)) return FlushRest();  // cut short
          Match(b0 | (b1 & 0xF0u) << 4, static_cast<int>(b1 & 0xF) + 3);
        }
      }
    }
    FlushFullBlock();
  }
  FlushRest();
}

}  // namespace

void DecodeLarc(MemberStream& member) {
  if (member.originalSize <= 0) return;
  HeapArray<LarcStorage> storage(1);
  if (member.method == MethodIdOf("-lzs-")) {
    LarcDecoder(member, storage[0], 2048, 17).DecodeLzs();
  } else {
    LarcDecoder(member, storage[0], 4096, 18).DecodeLz5();
  }
}

}  // namespace lzh
