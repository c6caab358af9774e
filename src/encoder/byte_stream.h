// What an encoder reads from and writes to: small interfaces, so that one
// encode loop can pack a file, a buffer, or only count the packed bytes.
#pragma once

#include <cstdint>

namespace lzh {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills up to count bytes. Returns the count delivered (fewer only at the
  // end of the data), 0 at the end, negative when the data cannot be read.
  virtual std::int32_t Read(std::uint8_t* buffer, std::int32_t count) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Takes all count bytes or fails (false).
  virtual bool Write(const std::uint8_t* bytes, std::int32_t count) = 0;
};

}  // namespace lzh
