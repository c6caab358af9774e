#include "encoder/bit_output.h"

namespace lzh {

void BitOutput::Drain() {
  if (!failed_ && used_ > 0 && !sink_.Write(buffer_.Get(), used_)) failed_ = true;
  written_ += used_;
  used_ = 0;
}

// Eight bytes a step, each store taking the pending bits and the first
// 64 - pendingBits_ of them: the block writer's batches and a lane's
// segment go through here, and four bytes a Put took twice the time.
void BitOutput::Append(const std::uint8_t* bytes, std::int64_t bitCount) {
  std::int64_t at = 0;
  const std::int64_t words = bitCount / 64 * 8;
  const int shift = pendingBits_;  // below 32 between calls
  for (; at < words; at += 8) {
    std::uint64_t word;  // the eight bytes, the first the most significant
    std::memcpy(&word, bytes + at, 8);
    word = __builtin_bswap64(word);
    // Above the pending bits pending_ holds stale ones: shifted out here.
    const std::uint64_t head = shift == 0 ? word : pending_ << (64 - shift) | word >> shift;
    const std::uint64_t stored = __builtin_bswap64(head);
    std::memcpy(buffer_.Get() + used_, &stored, 8);
    used_ += 8;
    pending_ = word;  // its low shift bits wait
    if (used_ >= kBufferBytes) Drain();
  }
  for (; bitCount - at * 8 >= 32; at += 4) {
    std::uint32_t word;  // the four bytes, the first the most significant
    std::memcpy(&word, bytes + at, 4);
    Put(__builtin_bswap32(word), 32);
  }
  for (; bitCount - at * 8 >= 8; ++at) Put(bytes[at], 8);
  const int rest = static_cast<int>(bitCount - at * 8);
  if (rest > 0) Put(static_cast<std::uint32_t>(bytes[at]) >> (8 - rest), rest);
}

void BitOutput::Finish() {
  while (pendingBits_ >= 8) {
    pendingBits_ -= 8;
    buffer_[static_cast<std::size_t>(used_++)] =
        static_cast<std::uint8_t>(pending_ >> pendingBits_);
  }
  if (pendingBits_ > 0) {
    buffer_[static_cast<std::size_t>(used_++)] =
        static_cast<std::uint8_t>(pending_ << (8 - pendingBits_));
    pendingBits_ = 0;
  }
  Drain();
}

}  // namespace lzh
