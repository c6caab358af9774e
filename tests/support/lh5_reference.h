// A -lh4- to -lh7- (and -lhx-) decoder written step for step from the format's
// description, one byte of input and one byte of output at a time, to hold
// the optimised decoder against (tests and the fuzz target compare their
// writes and CRCs). It makes the same choices where the description leaves
// room: fills and links stay inside their arrays, uncovered table entries
// read as symbol 0, lengths above 16 stay out of a code, a tree walk that
// loops yields symbol 0, the ring starts as spaces, the branch arrays start
// as zeros, and a read that delivers nothing hands out zero bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "codec/decoder.h"
#include "codec/static_huffman_format.h"
#include "support/reference_tables.h"

namespace lzhtest::lh5 {

class ReferenceDecoder {
 public:
  explicit ReferenceDecoder(lzh::MemberStream& member) : m_(member) {}

  void Run() {
    // The dictionary is the methods' one parameter; the ring holds 26,624
    // bytes up to -lh5-, 3.25 dictionaries above.
    dictionaryBits_ = lzh::DictionaryBitsForMethod(lzh::MethodDigit(m_.method));
    if (dictionaryBits_ == 0) dictionaryBits_ = 13;
    positionCodeCount_ = dictionaryBits_ + 1;
    positionCountBits_ = positionCodeCount_ > 15 ? 5 : 4;
    if (dictionaryBits_ > 13) ringBytes_ = 26 << (dictionaryBits_ - 3);
    // Filled as it is written: a position not yet written holds a space.
    outputRing_.clear();
    outputRing_.reserve(static_cast<std::size_t>(ringBytes_) + 1);
    ShiftBits(16);
    endOfData_ = false;
    while (decodedCount_ < static_cast<std::int64_t>(m_.originalSize)) {
      std::uint16_t c = DecodeCode();
      if (endOfData_) {
        if (ringPos_ > 0) {
          m_.fs.Write(m_.outputHandle, outputRing_.data(), ringPos_);
          lzh::CrcUpdate(outputRing_.data(), ringPos_, m_.runningCrc);
        }
        return;
      }
      if (c <= 255) {
        Put(static_cast<std::uint8_t>(c));
        ++decodedCount_;
        if (ringPos_ == ringBytes_) Flush();
        continue;
      }
      int length = c - 253;
      int p = DecodePosition();
      // A last match past the member's size is cut there.
      if (length > m_.originalSize - decodedCount_) {
        length = static_cast<int>(m_.originalSize - decodedCount_);
        m_.overran = true;
      }
      decodedCount_ += length;
      int src = ringPos_ - p - 1;
      if (src < 0) src += ringBytes_;
      if (src < ringPos_ && ringPos_ < ringBytes_ - 257) {
        for (int i = 0; i < length; ++i) Put(At(src++));
      } else {
        for (int i = 0; i < length; ++i) {
          Put(At(src));
          if (ringPos_ == ringBytes_) Flush();
          if (++src == ringBytes_) src = 0;
        }
      }
    }
    if (ringPos_ > 0) m_.WriteOutput(outputRing_.data(), ringPos_);
  }

 private:
  int ringBytes_ = 26624;

  void Put(std::uint8_t byte) {
    if (static_cast<std::size_t>(ringPos_) < outputRing_.size()) {
      outputRing_[static_cast<std::size_t>(ringPos_)] = byte;
    } else {
      outputRing_.push_back(byte);
    }
    ++ringPos_;
  }
  std::uint8_t At(int i) const {
    return static_cast<std::size_t>(i) < outputRing_.size()
               ? outputRing_[static_cast<std::size_t>(i)]
               : ' ';
  }

  void Flush() {
    m_.WriteOutput(outputRing_.data(), ringBytes_);
    ringPos_ = 0;
  }

  std::uint8_t NextPackedByte() {
    if (m_.packedLeft <= 0) return 0;
    if (static_cast<std::int32_t>(packedPos_) < packedCount_ - 1) {
      ++packedPos_;
    } else {
      auto want = static_cast<std::int32_t>(std::min<std::int64_t>(m_.packedLeft, 32768));
      packedCount_ = m_.ReadPacked(packedBlock_.data(), want);
      packedPos_ = 0;
      if (packedCount_ <= 0) packedBlock_[0] = 0;  // nothing delivered: a zero byte
    }
    --m_.packedLeft;
    return packedBlock_[packedPos_];
  }

  void ShiftBits(int n) {
    lookAhead_ = static_cast<std::uint16_t>(n >= 16 ? 0 : lookAhead_ << n);
    while (n > spareBits_) {
      n -= spareBits_;
      lookAhead_ |= static_cast<std::uint16_t>(n >= 16 ? 0 : (spareByte_ << n) & 0xFFFF);
      spareByte_ = NextPackedByte();
      spareBits_ = 8;
    }
    spareBits_ = static_cast<std::int16_t>(spareBits_ - n);
    lookAhead_ |= static_cast<std::uint16_t>(spareByte_ >> spareBits_);
  }

  std::uint16_t TakeBits(int n) {
    std::uint16_t v = n == 0 ? 0 : static_cast<std::uint16_t>(lookAhead_ >> (16 - n));
    ShiftBits(n);
    return v;
  }

  void BuildDecodeTable(int n, const std::uint8_t* lengths, int w, std::uint16_t* table) {
    tables_.Build(n, lengths, w, table);
  }

  std::uint16_t LookUp(const std::uint16_t* table, int n, int w) {
    return tables_.LookUp(table, n, w, lookAhead_);
  }

  void ReadAuxLengths(int nn, int b, int x) {
    int n = TakeBits(b);
    if (n == 0) {
      std::uint16_t c = TakeBits(b);
      for (int k = 0; k < nn; ++k) auxLengths_[k] = 0;
      for (auto& e : auxTable_) e = c;
      return;
    }
    int i = 0;
    while (i < n) {
      int c = lookAhead_ >> 13;
      if (c == 7) {
        for (unsigned mask = 1u << 12; lookAhead_ & mask; mask >>= 1) ++c;
      }
      ShiftBits(c < 7 ? 3 : c - 3);
      if (i < 20) auxLengths_[i] = static_cast<std::uint8_t>(c);
      ++i;
      if (i == x) {
        int z = TakeBits(2);
        for (; z > 0; --z, ++i)
          if (i < 20) auxLengths_[i] = 0;
      }
    }
    for (; i < nn; ++i) auxLengths_[i] = 0;
    BuildDecodeTable(nn, auxLengths_.data(), 8, auxTable_.data());
  }

  void ReadCodeLengths() {
    int n = TakeBits(9);
    if (n == 0) {
      std::uint16_t c = TakeBits(9);
      for (int k = 0; k < 510; ++k) codeLengths_[k] = 0;
      for (int k = 0; k < 4096; ++k) codeTable_[k] = c;
      return;
    }
    int i = 0;
    while (i < n) {
      int c = LookUp(auxTable_.data(), 19, 8);
      ShiftBits(auxLengths_[c]);
      if (c <= 2) {
        int z = c == 0 ? 1 : c == 1 ? TakeBits(4) + 3 : TakeBits(9) + 20;
        for (; z > 0; --z, ++i)
          if (i < 510) codeLengths_[i] = 0;
      } else {
        if (i < 510) codeLengths_[i] = static_cast<std::uint8_t>(c - 2);
        ++i;
      }
    }
    for (; i < 510; ++i) codeLengths_[i] = 0;
    BuildDecodeTable(510, codeLengths_.data(), 12, codeTable_.data());
  }

  std::uint16_t DecodeCode() {
    if (blockCodesLeft_ == 0) {
      blockCodesLeft_ = TakeBits(16);
      if (blockCodesLeft_ == 0) {
        endOfData_ = true;
        return 0;
      }
      ReadAuxLengths(19, 5, 3);
      ReadCodeLengths();
      ReadAuxLengths(positionCodeCount_, positionCountBits_, -1);
    }
    --blockCodesLeft_;
    std::uint16_t v = LookUp(codeTable_.data(), 510, 12);
    ShiftBits(codeLengths_[v]);
    return v;
  }

  int DecodePosition() {
    std::uint16_t v = LookUp(auxTable_.data(), positionCodeCount_, 8);
    ShiftBits(auxLengths_[v]);
    if (v == 0) return 0;
    // -lhx-: up to 18 plain bits, more than one read takes.
    int plain = 0;
    for (int left = v - 1; left > 0; left -= std::min(left, 8))
      plain = plain << std::min(left, 8) | TakeBits(std::min(left, 8));
    return (1 << (v - 1)) + plain;
  }

  lzh::MemberStream& m_;
  std::vector<std::uint8_t> packedBlock_ = std::vector<std::uint8_t>(32770);
  std::vector<std::uint8_t> outputRing_;
  std::vector<std::uint8_t> codeLengths_ = std::vector<std::uint8_t>(511);
  std::vector<std::uint8_t> auxLengths_ = std::vector<std::uint8_t>(20);
  std::vector<std::uint16_t> auxTable_ = std::vector<std::uint16_t>(256);
  // One set of branch nodes for the three codes.
  lzhtest::ReferenceTables tables_;
  std::vector<std::uint16_t> codeTable_ = std::vector<std::uint16_t>(4097);
  std::uint16_t packedPos_ = 32768;
  std::int32_t packedCount_ = 0;
  std::uint16_t lookAhead_ = 0;
  std::uint8_t spareByte_ = 0;
  std::int16_t spareBits_ = 0;
  int dictionaryBits_ = 13, positionCodeCount_ = 14;
  int positionCountBits_ = 4;
  std::uint16_t blockCodesLeft_ = 0;
  bool endOfData_ = false;
  int ringPos_ = 0;
  std::int64_t decodedCount_ = 0;
};

}  // namespace lzhtest::lh5
