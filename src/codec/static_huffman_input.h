// Bit input of the static-Huffman methods (-lh4-, -lh5-).
//
// Format notes: the packed bytes form one bit stream, each byte entering
// most significant bit first. Once the member's packed bytes are used up
// the stream goes on as zero bits, so a member cut short decodes to wrong
// bytes that its CRC rejects instead of stopping the decoder. A read that
// delivers nothing (an archive cut short) ends the bytes the same way.
//
// Decoders look at the stream through LookAhead(), its next 16 bits with the
// next one in bit 15. Up to 64 bits are held at once so that a refill is one
// 8-byte load most of the time; which bits the decoder sees does not depend
// on that. Reads never ask for more than the member's packed bytes.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/decoder.h"

namespace lzh {

inline constexpr std::int32_t kPackedBlockBytes = 32770;  // bytes of the heap block
inline constexpr std::int32_t kPackedReadBytes = 32768;   // bytes asked for per read

// The bit window and the read buffer's position: what the decode loops copy
// into locals, so that stores into the output cannot make the compiler
// reload them.
struct BitCursor {
  std::uint64_t window = 0;             // the next bits of the stream, the next one in bit 63
  int windowBits = 16;                  // how many bits of window are counted in
  const std::uint8_t* block = nullptr;  // packedBlock
  std::int32_t packedPos = 0;           // index of the next byte to hand out
  std::int32_t packedCount = 0;         // bytes the last read delivered

  // Brings the window to at least 56 bits when 8 bytes wait in the buffer;
  // false (and nothing done) otherwise.
  bool RefillFromBlock() {
    if (packedCount - packedPos < 8) return false;
    // The load may also OR bits of bytes not yet counted into the low end;
    // they are the stream's next bits, and the next refill ORs the same.
    std::uint64_t next;
    std::memcpy(&next, block + packedPos, 8);
    window |= __builtin_bswap64(next) >> windowBits;
    int bytes = (63 - windowBits) >> 3;
    packedPos += bytes;
    windowBits += bytes * 8;
    return true;
  }
  // The next n bits, n = 1..32.
  std::uint32_t Peek(int n) const { return static_cast<std::uint32_t>(window >> (64 - n)); }
  void Skip(int n) {
    window <<= n;
    windowBits -= n;
  }
};

class StaticHuffmanInput {
 public:
  // packedBlock: the member's read buffer of kPackedBlockBytes. The stream
  // starts behind 16 zero bits, as the decoder's look-ahead does before its
  // first ShiftBits(16).
  StaticHuffmanInput(MemberStream& member, std::uint8_t* packedBlock)
      : packedBlock(packedBlock), member_(member) {
    bits_.block = packedBlock;
  }

  std::uint16_t LookAhead() const { return static_cast<std::uint16_t>(bits_.window >> 48); }

  // Discards the next n bits, n = 0..32.
  void ShiftBits(int n) {
    bits_.Skip(n);
    if (bits_.windowBits < 32 && !bits_.RefillFromBlock()) RefillSlowly();
  }

  // The next n bits (n = 0..16) as a number, then discards them.
  std::uint16_t TakeBits(int n) {
    std::uint16_t bits = n == 0 ? 0 : static_cast<std::uint16_t>(bits_.Peek(n));
    ShiftBits(n);
    return bits;
  }

  // The member's next packed byte, or 0 once there is none.
  std::uint8_t NextPackedByte();

  // For decode loops that hold the window in locals meanwhile.
  const BitCursor& Cursor() const { return bits_; }
  void SetCursor(const BitCursor& bits) {
    bits_ = bits;
    if (bits_.windowBits < 32) RefillSlowly();
  }

  std::uint8_t* const packedBlock;

 private:
  // Brings the window to 56 to 63 stream bits (all 64 once the bytes have
  // ended), so that a refill of 8 bytes may follow.
  void RefillSlowly();

  MemberStream& member_;
  BitCursor bits_;
  bool ended_ = false;  // no more packed bytes: the stream is zero bits
};

}  // namespace lzh
