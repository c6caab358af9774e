// A -lh4-/-lh5- decoder written step for step from the format's
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

namespace lzhtest::lh5 {

class ReferenceDecoder {
 public:
  explicit ReferenceDecoder(lzh::MemberStream& member) : m_(member) {}

  void Run() {
    DictionaryBits = m_.MethodDigit == '4' ? 12 : 13;
    PositionCodeCount = DictionaryBits + 1;
    std::fill(OutputRing.begin(), OutputRing.end(), ' ');
    ShiftBits(16);
    EndOfData = false;
    while (DecodedCount < static_cast<std::int64_t>(m_.OriginalSize)) {
      std::uint16_t c = DecodeCode();
      if (EndOfData) {
        if (RingPos > 0) {
          m_.fs.Write(m_.OutputHandle, OutputRing.data(), RingPos);
          lzh::CrcUpdate(OutputRing.data(), RingPos, m_.RunningCrc);
        }
        return;
      }
      if (c <= 255) {
        OutputRing[RingPos++] = static_cast<std::uint8_t>(c);
        ++DecodedCount;
        if (RingPos == kRing) Flush();
        continue;
      }
      int length = c - 253;
      DecodedCount += length;
      int p = DecodePosition();
      int src = RingPos - p - 1;
      if (src < 0) src += kRing;
      if (src < RingPos && RingPos < 26367) {
        for (int i = 0; i < length; ++i) OutputRing[RingPos++] = OutputRing[src++];
      } else {
        for (int i = 0; i < length; ++i) {
          OutputRing[RingPos++] = OutputRing[src];
          if (RingPos == kRing) Flush();
          if (++src == kRing) src = 0;
        }
      }
    }
    if (RingPos > 0) m_.WriteOutput(OutputRing.data(), RingPos);
  }

 private:
  static constexpr int kRing = 26624;

  void Flush() {
    m_.WriteOutput(OutputRing.data(), kRing);
    RingPos = 0;
  }

  std::uint8_t NextPackedByte() {
    if (m_.PackedLeft <= 0) return 0;
    if (static_cast<std::int32_t>(PackedPos) < PackedCount - 1) {
      ++PackedPos;
    } else {
      std::int32_t want = std::min<std::int32_t>(m_.PackedLeft, 32768);
      PackedCount = m_.ReadPacked(PackedBlock.data(), want);
      PackedPos = 0;
      if (PackedCount <= 0) PackedBlock[0] = 0;  // nothing delivered: a zero byte
    }
    --m_.PackedLeft;
    return PackedBlock[PackedPos];
  }

  void ShiftBits(int n) {
    LookAhead = static_cast<std::uint16_t>(n >= 16 ? 0 : LookAhead << n);
    while (n > SpareBits) {
      n -= SpareBits;
      LookAhead |= static_cast<std::uint16_t>(n >= 16 ? 0 : (SpareByte << n) & 0xFFFF);
      SpareByte = NextPackedByte();
      SpareBits = 8;
    }
    SpareBits = static_cast<std::int16_t>(SpareBits - n);
    LookAhead |= static_cast<std::uint16_t>(SpareByte >> SpareBits);
  }

  std::uint16_t TakeBits(int n) {
    std::uint16_t v = n == 0 ? 0 : static_cast<std::uint16_t>(LookAhead >> (16 - n));
    ShiftBits(n);
    return v;
  }

  void BuildDecodeTable(int n, const std::uint8_t* L, int w, std::uint16_t* T) {
    std::uint16_t count[17] = {}, start[18], weight[17];
    for (int s = 0; s < n; ++s)
      if (L[s] >= 1 && L[s] <= 16) ++count[L[s]];
    start[1] = 0;
    for (int len = 1; len <= 16; ++len)
      start[len + 1] = static_cast<std::uint16_t>(start[len] + (count[len] << (16 - len)));
    int shift = 16 - w;
    for (int len = 1; len <= w; ++len) {
      start[len] = static_cast<std::uint16_t>(start[len] >> shift);
      weight[len] = static_cast<std::uint16_t>(1 << (w - len));
    }
    for (int len = w + 1; len <= 16; ++len)
      weight[len] = static_cast<std::uint16_t>(1 << (16 - len));
    int i = start[w + 1] >> shift;
    // Also clear when i is 0: entries no code covers read as symbol 0.
    for (int k = i; k < (1 << w); ++k) T[k] = 0;
    int avail = n;
    int mask = 1 << (15 - w);
    // Short-code runs kept unwrapped: past the table they go nowhere.
    int shortStart[17];
    for (int len = 1; len <= w; ++len) shortStart[len] = start[len];
    for (int s = 0; s < n; ++s) {
      int len = L[s];
      if (len == 0 || len > 16) continue;
      if (len <= w) {
        int next = shortStart[len] + weight[len];
        for (int k = shortStart[len]; k < next && k < (1 << w); ++k)
          T[k] = static_cast<std::uint16_t>(s);
        shortStart[len] = next;
        continue;
      }
      std::uint16_t k = start[len];
      std::uint16_t* slot = &T[k >> shift];
      bool placed = true;
      for (int j = 0; j < len - w; ++j) {
        if (*slot == 0) {
          if (avail >= 1020) {
            placed = false;
            break;
          }
          TreeLeft[avail] = TreeRight[avail] = 0;
          *slot = static_cast<std::uint16_t>(avail++);
        }
        slot = (k & mask) ? &TreeRight[*slot] : &TreeLeft[*slot];
        k = static_cast<std::uint16_t>(k << 1);
      }
      if (placed) *slot = static_cast<std::uint16_t>(s);
      start[len] = static_cast<std::uint16_t>(start[len] + weight[len]);
    }
  }

  std::uint16_t LookUp(const std::uint16_t* T, int n, int w) {
    std::uint16_t v = T[LookAhead >> (16 - w)];
    unsigned mask = 1u << (15 - w);
    int steps = 0;
    while (v >= n) {
      if (++steps > 16 + 1020) return 0;  // a loop: the walk would never end
      v = (LookAhead & mask) ? TreeRight[v] : TreeLeft[v];
      mask >>= 1;
    }
    return v;
  }

  void ReadAuxLengths(int nn, int b, int x) {
    int n = TakeBits(b);
    if (n == 0) {
      std::uint16_t c = TakeBits(b);
      for (int k = 0; k < nn; ++k) AuxLengths[k] = 0;
      for (auto& e : AuxTable) e = c;
      return;
    }
    int i = 0;
    while (i < n) {
      int c = LookAhead >> 13;
      if (c == 7) {
        for (unsigned mask = 1u << 12; LookAhead & mask; mask >>= 1) ++c;
      }
      ShiftBits(c < 7 ? 3 : c - 3);
      if (i < 20) AuxLengths[i] = static_cast<std::uint8_t>(c);
      ++i;
      if (i == x) {
        int z = TakeBits(2);
        for (; z > 0; --z, ++i)
          if (i < 20) AuxLengths[i] = 0;
      }
    }
    for (; i < nn; ++i) AuxLengths[i] = 0;
    BuildDecodeTable(nn, AuxLengths.data(), 8, AuxTable.data());
  }

  void ReadCodeLengths() {
    int n = TakeBits(9);
    if (n == 0) {
      std::uint16_t c = TakeBits(9);
      for (int k = 0; k < 510; ++k) CodeLengths[k] = 0;
      for (int k = 0; k < 4096; ++k) CodeTable[k] = c;
      return;
    }
    int i = 0;
    while (i < n) {
      int c = LookUp(AuxTable.data(), 19, 8);
      ShiftBits(AuxLengths[c]);
      if (c <= 2) {
        int z = c == 0 ? 1 : c == 1 ? TakeBits(4) + 3 : TakeBits(9) + 20;
        for (; z > 0; --z, ++i)
          if (i < 510) CodeLengths[i] = 0;
      } else {
        if (i < 510) CodeLengths[i] = static_cast<std::uint8_t>(c - 2);
        ++i;
      }
    }
    for (; i < 510; ++i) CodeLengths[i] = 0;
    BuildDecodeTable(510, CodeLengths.data(), 12, CodeTable.data());
  }

  std::uint16_t DecodeCode() {
    if (BlockCodesLeft == 0) {
      BlockCodesLeft = TakeBits(16);
      if (BlockCodesLeft == 0) {
        EndOfData = true;
        return 0;
      }
      ReadAuxLengths(19, 5, 3);
      ReadCodeLengths();
      ReadAuxLengths(PositionCodeCount, PositionCountBits, -1);
    }
    --BlockCodesLeft;
    std::uint16_t v = LookUp(CodeTable.data(), 510, 12);
    ShiftBits(CodeLengths[v]);
    return v;
  }

  int DecodePosition() {
    std::uint16_t v = LookUp(AuxTable.data(), PositionCodeCount, 8);
    ShiftBits(AuxLengths[v]);
    if (v == 0) return 0;
    return (1 << (v - 1)) + TakeBits(v - 1);
  }

  lzh::MemberStream& m_;
  std::vector<std::uint8_t> PackedBlock = std::vector<std::uint8_t>(32770);
  std::vector<std::uint8_t> OutputRing = std::vector<std::uint8_t>(26625);
  std::vector<std::uint8_t> CodeLengths = std::vector<std::uint8_t>(511);
  std::vector<std::uint8_t> AuxLengths = std::vector<std::uint8_t>(20);
  std::vector<std::uint16_t> AuxTable = std::vector<std::uint16_t>(256);
  std::vector<std::uint16_t> TreeLeft = std::vector<std::uint16_t>(1020);
  std::vector<std::uint16_t> TreeRight = std::vector<std::uint16_t>(1020);
  std::vector<std::uint16_t> CodeTable = std::vector<std::uint16_t>(4097);
  std::uint16_t PackedPos = 32768;
  std::int32_t PackedCount = 0;
  std::uint16_t LookAhead = 0;
  std::uint8_t SpareByte = 0;
  std::int16_t SpareBits = 0;
  int DictionaryBits = 13, PositionCodeCount = 14;
  static constexpr int PositionCountBits = 4;
  std::uint16_t BlockCodesLeft = 0;
  bool EndOfData = false;
  int RingPos = 0;
  std::int64_t DecodedCount = 0;
};

}  // namespace lzhtest::lh5
