// A segment of the input to pack and, before it, up to a dictionary of the
// bytes that came before, which its matches may reach back into.
//
// The encoder reads its input a segment at a time and parses each segment
// on its own, so that two can be parsed at once; memory stays bounded by
// the segment, never by the input. Positions count bytes from the
// member's first byte.
#pragma once

#include <cstdint>

#include "encoder/byte_stream.h"
#include "platform/heap.h"

namespace lzh {

class InputWindow {
 public:
  InputWindow(int dictionaryBits, std::uint32_t segmentBytes);

  // Reads the segment that follows before's (the member's first when
  // before is null; before may be this window). False when the source
  // failed.
  bool Load(const InputWindow* before, ByteSource& source);

  std::uint32_t Start() const { return start_; }  // the segment's first position
  std::uint32_t End() const { return end_; }      // the position after its last
  bool Empty() const { return start_ == end_; }
  // Bytes of the member before the first byte held (position 0): a
  // position's place in the member is Offset() + position.
  std::int64_t Offset() const { return offset_; }
  // The byte at position 0; at least 8 readable bytes follow the one before End.
  const std::uint8_t* Bytes() const { return buffer_.Get(); }

 private:
  std::uint32_t dictionaryBytes_;
  std::uint32_t segmentBytes_;
  HeapArray<std::uint8_t> buffer_;
  std::int64_t offset_ = 0;
  std::uint32_t start_ = 0;
  std::uint32_t end_ = 0;
  bool sourceEnded_ = false;
};

}  // namespace lzh
