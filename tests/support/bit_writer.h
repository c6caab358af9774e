// Writes bits most significant first, as the LHA bit streams are read; the
// last byte is padded with zeros. Crafted streams are built with it.
#pragma once

#include <cstdint>
#include <vector>

namespace lzhtest {

class BitWriter {
 public:
  // The low `count` bits of value, highest first.
  void Put(std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) PutBit((value >> i) & 1);
  }
  // A string of '0' and '1'; other characters are ignored.
  void Put(const char* bits) {
    for (; *bits; ++bits)
      if (*bits == '0' || *bits == '1') PutBit(*bits == '1');
  }
  void PutBit(unsigned bit) {
    if (used_ % 8 == 0) bytes_.push_back(0);
    if (bit) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (used_ % 8));
    ++used_;
  }
  std::uint64_t BitCount() const { return used_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint64_t used_ = 0;
};

}  // namespace lzhtest
