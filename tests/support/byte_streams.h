// In-memory sources and sinks for the encoder, with injectable faults.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "encoder/byte_stream.h"

namespace lzhtest {

class VectorSource : public lzh::ByteSource {
 public:
  explicit VectorSource(const std::vector<std::uint8_t>& bytes, int readChunk = 0)
      : bytes_(bytes), readChunk_(readChunk) {}
  std::int64_t failAt = -1;  // a read at this offset or beyond fails (-1: never)

  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override {
    if (failAt >= 0 && static_cast<std::int64_t>(at_) >= failAt) return -1;
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), bytes_.size() - at_);
    if (readChunk_ > 0) n = std::min<std::size_t>(n, static_cast<std::size_t>(readChunk_));
    if (n > 0) std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    return static_cast<std::int32_t>(n);
  }

 private:
  const std::vector<std::uint8_t>& bytes_;
  int readChunk_;
  std::size_t at_ = 0;
};

class VectorSink : public lzh::ByteSink {
 public:
  std::vector<std::uint8_t> bytes;
  std::int64_t budget = -1;  // bytes it takes before it refuses (-1: any)

  bool Write(const std::uint8_t* data, std::int32_t count) override {
    if (budget >= 0 && static_cast<std::int64_t>(bytes.size()) + count > budget) return false;
    bytes.insert(bytes.end(), data, data + count);
    return true;
  }
};

}  // namespace lzhtest
