// -lh0-: the packed bytes are the member's bytes. Copied in chunks of at
// most 32,768 bytes through one buffer sized to the member when smaller.
#include "codec/decoder.h"
#include "platform/heap.h"

namespace lzh {

namespace {
constexpr std::int32_t kChunk = 32768;  // bytes per read and write
}

void CopyStored(MemberStream& member) {
  std::int32_t first = member.packedLeft < kChunk ? member.packedLeft : kChunk;
  if (first < 0) first = 0;
  HeapArray<std::uint8_t> buffer(static_cast<std::size_t>(first) + 2);
  while (member.packedLeft > 0) {
    std::int32_t want = member.packedLeft < kChunk ? member.packedLeft : kChunk;
    std::int32_t got = member.ReadPacked(buffer.Get(), want);
    // A truncated archive delivers nothing: stop rather than read forever.
    if (got <= 0) break;
    member.packedLeft -= got;
    member.WriteOutput(buffer.Get(), got);
  }
}

}  // namespace lzh
