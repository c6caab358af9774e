#include "codec/static_huffman_input.h"

namespace lzh {

std::uint8_t StaticHuffmanInput::NextPackedByte() {
  if (bits_.PackedPos < bits_.PackedCount) return PackedBlock[bits_.PackedPos++];
  if (ended_) return 0;
  // Never ask for more than the member holds, so the next member's header
  // is never read as packed data.
  std::int32_t want = member_.PackedLeft < kPackedReadBytes ? member_.PackedLeft : kPackedReadBytes;
  std::int32_t got = want > 0 ? member_.ReadPacked(PackedBlock, want) : 0;
  if (got > want) got = want;
  if (got <= 0) {
    ended_ = true;
    bits_.PackedPos = bits_.PackedCount = 0;
    return 0;
  }
  member_.PackedLeft -= got;
  bits_.PackedCount = got;
  bits_.PackedPos = 1;
  return PackedBlock[0];
}

void StaticHuffmanInput::RefillSlowly() {
  while (bits_.windowBits <= 56) {
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
