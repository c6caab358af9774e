#include "encoder/memory_sink.h"

#include <cstring>

#include "platform/heap.h"

namespace lzh {

MemorySink::~MemorySink() { ReleaseBlock(data_); }

bool MemorySink::Write(const std::uint8_t* bytes, std::int32_t count) {
  if (size_ + count > capacity_) {
    std::int64_t grown = capacity_ < 65536 ? 65536 : capacity_ * 2;
    if (grown < size_ + count) grown = size_ + count;
    auto* larger = static_cast<std::uint8_t*>(AllocateBlock(static_cast<std::size_t>(grown)));
    if (size_ > 0) std::memcpy(larger, data_, static_cast<std::size_t>(size_));
    ReleaseBlock(data_);
    data_ = larger;
    capacity_ = grown;
  }
  std::memcpy(data_ + size_, bytes, static_cast<std::size_t>(count));
  size_ += count;
  return true;
}

}  // namespace lzh
