// Bit output of the static-Huffman methods: bits enter most significant
// first, as the decoders read them; the last byte is padded with zero bits.
// Whole bytes gather in a buffer that goes to the sink when full.
#pragma once

#include <cstdint>
#include <cstring>

#include "encoder/byte_stream.h"
#include "platform/heap.h"

namespace lzh {

class BitOutput {
 public:
  static constexpr std::int32_t kBufferBytes = 16384;

  explicit BitOutput(ByteSink& sink) : buffer_(kBufferBytes + 8), sink_(sink) {}

  // The low count bits of value, count = 0..32.
  void Put(std::uint32_t value, int count) {
    pending_ = (pending_ << count) | value;
    pendingBits_ += count;
    if (pendingBits_ >= 32) {
      pendingBits_ -= 32;
      // One store of the four bytes, the first the most significant.
      const std::uint32_t word =
          __builtin_bswap32(static_cast<std::uint32_t>(pending_ >> pendingBits_));
      std::memcpy(buffer_.Get() + used_, &word, 4);
      used_ += 4;
      if (used_ >= kBufferBytes) Drain();
    }
  }

  // The first bitCount bits of bytes, most significant first: a stream
  // another BitOutput wrote, appended at whatever bit this one is at.
  void Append(const std::uint8_t* bytes, std::int64_t bitCount);

  // Pads to a whole byte and hands everything to the sink.
  void Finish();

  // Bytes handed to the sink or waiting in the buffer, and bits pending.
  std::int64_t BitCount() const { return (written_ + used_) * 8 + pendingBits_; }
  bool Failed() const { return failed_; }

 private:
  void Drain();

  HeapArray<std::uint8_t> buffer_;
  ByteSink& sink_;
  std::uint64_t pending_ = 0;  // the low pendingBits_ bits wait
  int pendingBits_ = 0;
  std::int32_t used_ = 0;
  std::int64_t written_ = 0;
  bool failed_ = false;
};

}  // namespace lzh
