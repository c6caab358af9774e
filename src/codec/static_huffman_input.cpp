#include "codec/static_huffman_input.h"

namespace lzh {

std::uint8_t StaticHuffmanInput::NextPackedByte() {
  if (bits_.packedPos < bits_.packedCount) return packedBlock[bits_.packedPos++];
  if (ended_) return 0;
  // Never ask for more than the member holds, so the next member's header
  // is never read as packed data.
  std::int32_t want = member_.packedLeft < kPackedReadBytes ? member_.packedLeft : kPackedReadBytes;
  std::int32_t got = want > 0 ? member_.ReadPacked(packedBlock, want) : 0;
  if (got > want) got = want;
  if (got <= 0) {
    ended_ = true;
    bits_.packedPos = bits_.packedCount = 0;
    return 0;
  }
  member_.packedLeft -= got;
  bits_.packedCount = got;
  bits_.packedPos = 1;
  return packedBlock[0];
}

void StaticHuffmanInput::RefillSlowly() {
  while (bits_.windowBits < 56) {
    if (ended_) {
      // Every bit below the counted ones is zero by now: count them all in.
      bits_.windowBits = 64;
      return;
    }
    bits_.window |= static_cast<std::uint64_t>(NextPackedByte()) << (56 - bits_.windowBits);
    bits_.windowBits += 8;
  }
}

}  // namespace lzh
