// A sink that keeps what it is given in memory, growing as it must: where
// the encoder holds the bits of a segment packed ahead of its turn.
#pragma once

#include <cstdint>

#include "encoder/byte_stream.h"

namespace lzh {

class MemorySink : public ByteSink {
 public:
  MemorySink() = default;
  ~MemorySink() override;
  MemorySink(const MemorySink&) = delete;
  MemorySink& operator=(const MemorySink&) = delete;

  bool Write(const std::uint8_t* bytes, std::int32_t count) override;

  const std::uint8_t* Data() const { return data_; }
  std::int64_t Size() const { return size_; }
  void Clear() { size_ = 0; }  // keeps the memory for the next use

 private:
  std::uint8_t* data_ = nullptr;
  std::int64_t size_ = 0;
  std::int64_t capacity_ = 0;
};

}  // namespace lzh
