// A -lzs- and -lz5- decoder written step for step from the formats'
// description: a real ring with its positions, one bit or byte and one item
// at a time, to hold the decoder against (the fuzz target and the unit tests
// compare outputs, CRCs and overran). It reads all of the member's packed
// bytes first. An item that needs bytes the stream does not hold ends the
// member short and is not written.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/decoder.h"

namespace lzhtest::larc {

class ReferenceDecoder {
 public:
  explicit ReferenceDecoder(lzh::MemberStream& member) : m_(member) {}

  void Run() {
    if (m_.originalSize <= 0) return;
    std::uint8_t chunk[4096];
    while (m_.packedLeft > 0) {
      const auto want = static_cast<std::int32_t>(m_.packedLeft < 4096 ? m_.packedLeft : 4096);
      const std::int32_t got = m_.ReadPacked(chunk, want);
      if (got <= 0) break;
      m_.packedLeft -= got;
      packed_.insert(packed_.end(), chunk, chunk + got);
    }
    if (m_.method == lzh::MethodIdOf("-lzs-")) {
      RunLzs();
    } else {
      RunLz5();
    }
    if (!out_.empty()) m_.WriteOutput(out_.data(), static_cast<std::int32_t>(out_.size()));
  }

 private:
  bool Full() const { return static_cast<std::int64_t>(out_.size()) >= m_.originalSize; }

  bool ReadByte(unsigned& byte) {
    if (next_ == packed_.size()) return false;
    byte = packed_[next_++];
    return true;
  }

  bool ReadBit(unsigned& bit) {
    if (bitsLeft_ == 0) {
      if (!ReadByte(current_)) return false;
      bitsLeft_ = 8;
    }
    --bitsLeft_;
    bit = (current_ >> bitsLeft_) & 1;
    return true;
  }

  bool ReadBits(int count, unsigned& value) {
    value = 0;
    for (int i = 0; i < count; ++i) {
      unsigned bit;
      if (!ReadBit(bit)) return false;
      value = value << 1 | bit;
    }
    return true;
  }

  void Put(std::uint8_t byte) {
    out_.push_back(byte);
    ring_[writeAt_] = byte;
    writeAt_ = (writeAt_ + 1) % ring_.size();
  }

  void Copy(unsigned from, unsigned length) {
    for (unsigned i = 0; i < length; ++i) {
      if (Full()) {
        m_.overran = true;
        return;
      }
      Put(ring_[(from + i) % ring_.size()]);
    }
  }

  void RunLzs() {
    ring_.assign(2048, ' ');
    writeAt_ = 2048 - 17;
    while (!Full()) {
      unsigned flag, literal, from, length;
      if (!ReadBit(flag)) return;
      if (flag == 1) {
        if (!ReadBits(8, literal)) return;
        Put(static_cast<std::uint8_t>(literal));
      } else {
        if (!ReadBits(11, from) || !ReadBits(4, length)) return;
        Copy(from, length + 2);
      }
    }
  }

  void RunLz5() {
    ring_.clear();
    for (int value = 0; value < 256; ++value) ring_.insert(ring_.end(), 13, value);
    for (int value = 0; value < 256; ++value) ring_.push_back(value);
    for (int value = 255; value >= 0; --value) ring_.push_back(value);
    ring_.insert(ring_.end(), 128, 0);
    ring_.insert(ring_.end(), 110, ' ');
    ring_.insert(ring_.end(), 18, 0);
    writeAt_ = 4096 - 18;
    while (!Full()) {
      unsigned flags;
      if (!ReadByte(flags)) return;
      for (int item = 0; item < 8 && !Full(); ++item) {
        unsigned b0, b1;
        if ((flags >> item) & 1) {
          if (!ReadByte(b0)) return;
          Put(static_cast<std::uint8_t>(b0));
        } else {
          if (!ReadByte(b0) || !ReadByte(b1)) return;
          Copy(b0 | (b1 & 0xF0) << 4, (b1 & 0x0F) + 3);
        }
      }
    }
  }

  lzh::MemberStream& m_;
  std::vector<std::uint8_t> packed_;
  std::size_t next_ = 0;
  std::vector<std::uint8_t> ring_;
  std::size_t writeAt_ = 0;
  std::vector<std::uint8_t> out_;
  unsigned current_ = 0;
  int bitsLeft_ = 0;
};

}  // namespace lzhtest::larc
