// -lh0-: the packed bytes are the member's bytes. Copied in chunks of at
// most 32,768 bytes through one buffer sized to the member when smaller.
// Packed bytes past originalSize are a stream running past the member's
// end: they are not written, and the member is overran (decoder.h).
#include "codec/decoder.h"
#include "platform/heap.h"

namespace lzh {

namespace {
constexpr std::int32_t kChunk = 32768;  // bytes per read and write
}

void CopyStored(MemberStream& member) {
  // A negative size is one the program's counts cannot hold: nothing of it
  // is the member's to write.
  const FileOffset size = member.originalSize < 0 ? 0 : member.originalSize;
  FileOffset left = member.packedLeft < size ? member.packedLeft : size;
  std::int32_t first = left < kChunk ? static_cast<std::int32_t>(left) : kChunk;
  if (first < 0) first = 0;
  HeapArray<std::uint8_t> buffer(static_cast<std::size_t>(first) + 2);
  while (left > 0) {
    std::int32_t want = left < kChunk ? static_cast<std::int32_t>(left) : kChunk;
    std::int32_t got = member.ReadPacked(buffer.Get(), want);
    // A truncated archive delivers nothing: stop rather than read forever.
    if (got <= 0) break;
    left -= got;
    member.packedLeft -= got;
    member.WriteOutput(buffer.Get(), got);
  }
  if (left == 0 && member.packedLeft > 0) member.overran = true;
}

}  // namespace lzh
