// A -lh3- decoder written step for step from the format's description
// (src/codec/lh3_decoder.cpp), one bit of input and one byte of output at a
// time, to hold the decoder against. Its tables are those of the
// static-Huffman references (reference_tables.h), one set of branch nodes
// per code; its writes are the decoder's: every 32 KiB and the rest.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "codec/decoder.h"
#include "support/reference_tables.h"

namespace lzhtest::lh3 {

class ReferenceDecoder {
 public:
  explicit ReferenceDecoder(lzh::MemberStream& member) : m_(member) {}

  void Run() {
    std::vector<std::uint8_t> out;
    std::int64_t decoded = 0;
    for (int i = 0; i < 16; ++i) Shift();
    while (decoded < m_.originalSize) {
      if (blockLeft_ == 0) {
        blockLeft_ = Take(16);
        if (blockLeft_ == 0) break;  // the end of the member's data
        ReadCodeLengths();
        ReadPositionLengths();
      }
      --blockLeft_;
      int c = codes_.LookUp(codeTable_.data(), 286, 12, lookAhead_);
      Skip(codeLengths_[c]);
      if (c == 285) c += Take(8);
      if (c < 256) {
        Put(out, static_cast<std::uint8_t>(c));
        ++decoded;
        continue;
      }
      std::int64_t length = c - 253;
      const int j = positions_.LookUp(positionTable_.data(), 128, 8, lookAhead_);
      Skip(positionLengths_[j]);
      const int distance = (j << 6 | Take(6)) + 1;
      if (length > m_.originalSize - decoded) {
        length = m_.originalSize - decoded;
        m_.overran = true;
      }
      for (std::int64_t i = 0; i < length; ++i) {
        // Before the first byte: the dictionary's spaces.
        const std::int64_t from = static_cast<std::int64_t>(history_.size()) - distance;
        Put(out, from < 0 ? ' ' : history_[static_cast<std::size_t>(from)]);
      }
      decoded += length;
    }
    if (!out.empty()) m_.WriteOutput(out.data(), static_cast<std::int32_t>(out.size()));
  }

 private:
  void Put(std::vector<std::uint8_t>& out, std::uint8_t byte) {
    out.push_back(byte);
    history_.push_back(byte);
    if (out.size() == 32768) {
      m_.WriteOutput(out.data(), 32768);
      out.clear();
    }
  }

  // The member's next packed byte; zeros once there is none.
  std::uint8_t NextByte() {
    if (at_ == got_) {
      if (ended_ || m_.packedLeft <= 0) return 0;
      auto want = static_cast<std::int32_t>(std::min<std::int64_t>(m_.packedLeft, 32768));
      got_ = std::min(m_.ReadPacked(block_.data(), want), want);
      at_ = 0;
      if (got_ <= 0) {
        got_ = 0;
        ended_ = true;
        return 0;
      }
      m_.packedLeft -= got_;
    }
    return block_[static_cast<std::size_t>(at_++)];
  }

  // One bit into the 16 of the look-ahead.
  void Shift() {
    if (bitsLeft_ == 0) {
      byte_ = NextByte();
      bitsLeft_ = 8;
    }
    --bitsLeft_;
    lookAhead_ = static_cast<std::uint16_t>(lookAhead_ << 1 | ((byte_ >> bitsLeft_) & 1));
  }
  void Skip(int n) {
    for (int i = 0; i < n; ++i) Shift();
  }
  int Take(int n) {
    int v = 0;
    for (int i = 0; i < n; ++i) {
      v = v << 1 | lookAhead_ >> 15;
      Shift();
    }
    return v;
  }

  void ReadCodeLengths() {
    for (int i = 0; i < 286; ++i) {
      codeLengths_[i] = Take(1) ? static_cast<std::uint8_t>(Take(4) + 1) : 0;
      if (i == 2 && codeLengths_[0] == 1 && codeLengths_[1] == 1 && codeLengths_[2] == 1) {
        const int only = Take(9);
        std::fill(codeLengths_.begin(), codeLengths_.end(), 0);
        std::fill(codeTable_.begin(), codeTable_.end(), only);
        return;
      }
    }
    codes_.Build(286, codeLengths_.data(), 12, codeTable_.data());
  }

  void ReadPositionLengths() {
    if (Take(1) == 0) {
      // The fixed code: 2 bits for code 0, then one bit more from codes 1
      // (twice), 3, 6, 13, 31 and 78 on.
      for (int j = 0; j < 128; ++j)
        positionLengths_[j] = static_cast<std::uint8_t>(2 + (j >= 1) * 2 + (j >= 3) + (j >= 6) +
                                                        (j >= 13) + (j >= 31) + (j >= 78));
    } else {
      for (int i = 0; i < 128; ++i) {
        positionLengths_[i] = static_cast<std::uint8_t>(Take(4));
        if (i == 2 && positionLengths_[0] == 1 && positionLengths_[1] == 1 &&
            positionLengths_[2] == 1) {
          const int only = Take(7);
          std::fill(positionLengths_.begin(), positionLengths_.end(), 0);
          std::fill(positionTable_.begin(), positionTable_.end(), only);
          return;
        }
      }
    }
    positions_.Build(128, positionLengths_.data(), 8, positionTable_.data());
  }

  lzh::MemberStream& m_;
  std::vector<std::uint8_t> block_ = std::vector<std::uint8_t>(32768);
  std::int32_t at_ = 0, got_ = 0;
  bool ended_ = false;
  std::uint8_t byte_ = 0;
  int bitsLeft_ = 0;
  std::uint16_t lookAhead_ = 0;
  int blockLeft_ = 0;
  std::vector<std::uint8_t> codeLengths_ = std::vector<std::uint8_t>(286);
  std::vector<std::uint8_t> positionLengths_ = std::vector<std::uint8_t>(128);
  std::vector<std::uint16_t> codeTable_ = std::vector<std::uint16_t>(4096);
  std::vector<std::uint16_t> positionTable_ = std::vector<std::uint16_t>(256);
  lzhtest::ReferenceTables codes_, positions_;
  std::vector<std::uint8_t> history_;  // every byte decoded
};

}  // namespace lzhtest::lh3
