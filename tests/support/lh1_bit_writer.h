// Test support for -lh1-: a bit writer, a plain model and decoder written
// step for step from the format's description (linear searches, one bit at
// a time) to hold the optimised decoder against, and an encoder that drives
// the same model to craft streams symbol by symbol.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "support/bit_writer.h"

namespace lzhtest::lh1 {

inline constexpr unsigned kSymbols = 314;
inline constexpr unsigned kNodes = 627;
inline constexpr unsigned kRoot = 626;

using lzhtest::BitWriter;

// The model exactly as described, with the scans done one node at a time.
struct ReferenceModel {
  std::uint16_t freq[kNodes + 1];
  std::uint16_t parent[kNodes + kSymbols];
  std::uint16_t child[kNodes];

  void Reset() {
    for (unsigned s = 0; s < kSymbols; ++s) {
      freq[s] = 1;
      child[s] = static_cast<std::uint16_t>(s + kNodes);
      parent[s + kNodes] = static_cast<std::uint16_t>(s);
    }
    for (unsigned n = kSymbols; n < kNodes; ++n) {
      unsigned i = 2 * (n - kSymbols);
      freq[n] = static_cast<std::uint16_t>(freq[i] + freq[i + 1]);
      child[n] = static_cast<std::uint16_t>(i);
      parent[i] = parent[i + 1] = static_cast<std::uint16_t>(n);
    }
    freq[kNodes] = 0xFFFF;
    parent[kRoot] = 0;
  }

  void Rebuild() {
    unsigned j = 0;
    for (unsigned n = 0; n < kNodes; ++n) {
      if (child[n] >= kNodes) {
        freq[j] = static_cast<std::uint16_t>((freq[n] + 1) / 2);
        child[j] = child[n];
        ++j;
      }
    }
    for (unsigned k = kSymbols; k < kNodes; ++k) {
      unsigned i = 2 * (k - kSymbols);
      unsigned f = freq[i] + freq[i + 1];
      unsigned l = k - 1;
      while (f < freq[l]) --l;
      ++l;
      for (unsigned m = k; m > l; --m) {
        freq[m] = freq[m - 1];
        child[m] = child[m - 1];
      }
      freq[l] = static_cast<std::uint16_t>(f);
      child[l] = static_cast<std::uint16_t>(i);
    }
    for (unsigned n = 0; n < kNodes; ++n) {
      unsigned c = child[n];
      parent[c] = static_cast<std::uint16_t>(n);
      if (c < kNodes) parent[c + 1] = static_cast<std::uint16_t>(n);
    }
  }

  void Count(unsigned s) {
    if (freq[kRoot] == 0x8000) Rebuild();
    unsigned n = parent[kNodes + s];
    do {
      unsigned k = ++freq[n];
      if (k > freq[n + 1]) {
        unsigned l = n + 1;
        while (k > freq[l + 1]) ++l;
        freq[n] = freq[l];
        freq[l] = static_cast<std::uint16_t>(k);
        unsigned i = child[n];
        parent[i] = static_cast<std::uint16_t>(l);
        if (i < kNodes) parent[i + 1] = static_cast<std::uint16_t>(l);
        unsigned j = child[l];
        child[l] = static_cast<std::uint16_t>(i);
        parent[j] = static_cast<std::uint16_t>(n);
        if (j < kNodes) parent[j + 1] = static_cast<std::uint16_t>(n);
        child[n] = static_cast<std::uint16_t>(j);
        n = l;
      }
      n = parent[n];
    } while (n != 0);
  }

  // The code of symbol s, root first, as a string of '0' and '1'.
  std::vector<std::uint8_t> CodeOf(unsigned s) const {
    std::vector<std::uint8_t> bits;
    for (unsigned n = parent[kNodes + s]; n != kRoot; n = parent[n])
      bits.insert(bits.begin(), static_cast<std::uint8_t>(n - child[parent[n]]));
    return bits;
  }
};

// Offset prefix codes from the table of code lengths per upper-bits value.
inline void OffsetCode(unsigned offset, std::uint32_t& code, int& length) {
  static const int kLengthOfValue[] = {3, 4, 5, 6, 7, 8};
  static const unsigned kValuesEnd[] = {1, 4, 12, 24, 48, 64};
  unsigned high = offset >> 6, next = 0;  // next: the first eight-bit index of a value
  for (int g = 0; g < 6; ++g) {
    unsigned first = g == 0 ? 0 : kValuesEnd[g - 1];
    if (high < kValuesEnd[g]) {
      length = kLengthOfValue[g];
      next += (high - first) << (8 - length);
      code = next >> (8 - length);
      return;
    }
    next += (kValuesEnd[g] - first) << (8 - kLengthOfValue[g]);
  }
}

// Crafts streams: every symbol is coded with the model as it stands, then
// counted, just as an encoder must.
class StreamWriter {
 public:
  StreamWriter() { model.Reset(); }
  void Symbol(unsigned s) {
    for (std::uint8_t b : model.CodeOf(s)) bits.PutBit(b);
    model.Count(s);
  }
  void Literal(std::uint8_t byte) { Symbol(byte); }
  void Match(unsigned length, unsigned offset) {
    Symbol(length + 253);
    std::uint32_t code = 0;
    int n = 0;
    OffsetCode(offset, code, n);
    bits.Put(code, n);
    bits.Put(offset & 63, 6);
  }
  std::vector<std::uint8_t> Bytes() const { return bits.Bytes(); }

  ReferenceModel model;
  BitWriter bits;
};

// Decodes as described, one bit at a time, from a byte array. Two sound
// limits on top: a match is cut at `size`, and decoding stops at the first
// symbol that needs bits beyond `packed`.
inline std::vector<std::uint8_t> ReferenceDecode(const std::vector<std::uint8_t>& packed,
                                                 std::int32_t size) {
  std::vector<std::uint8_t> out;
  if (size <= 0) return out;
  ReferenceModel m;
  m.Reset();
  std::uint8_t window[4096];
  std::memset(window, ' ', sizeof window);
  unsigned pos = 4036;
  std::uint64_t bitPos = 0;
  const std::uint64_t bitEnd = 8 * static_cast<std::uint64_t>(packed.size());
  auto bit = [&]() -> unsigned {
    std::uint64_t p = bitPos++;
    if (p >= bitEnd) return 0;
    return (packed[p / 8] >> (7 - p % 8)) & 1;
  };
  auto put = [&](std::uint8_t b) {
    out.push_back(b);
    window[pos] = b;
    pos = (pos + 1) & 4095;
  };
  while (static_cast<std::int64_t>(out.size()) < size) {
    unsigned c = m.child[kRoot];
    while (c < kNodes) c = m.child[c + bit()];
    unsigned s = c - kNodes;
    m.Count(s);
    if (s < 256) {
      if (bitPos > bitEnd) break;
      put(static_cast<std::uint8_t>(s));
      continue;
    }
    unsigned first8 = 0;
    for (int i = 0; i < 8; ++i) first8 = first8 * 2 + bit();
    // Find the upper-bits value and its code length by counting codes.
    static const unsigned kValuesEnd[] = {1, 4, 12, 24, 48, 64};
    unsigned high = 0, index = 0, length = 3;
    for (int g = 0; g < 6; ++g) {
      unsigned first = g == 0 ? 0 : kValuesEnd[g - 1];
      unsigned span = (kValuesEnd[g] - first) << (8 - (3 + g));
      if (first8 < index + span) {
        length = 3 + g;
        high = first + ((first8 - index) >> (8 - length));
        break;
      }
      index += span;
    }
    unsigned b = first8;
    for (unsigned i = 0; i + 2 < length; ++i) b = b * 2 + bit();
    unsigned offset = high * 64 + (b % 64);
    if (bitPos > bitEnd) break;
    unsigned from = (pos - offset - 1) & 4095;
    std::int64_t count = s - 253;
    if (count > size - static_cast<std::int64_t>(out.size()))
      count = size - static_cast<std::int64_t>(out.size());
    for (std::int64_t k = 0; k < count; ++k) put(window[(from + k) & 4095]);
  }
  return out;
}

}  // namespace lzhtest::lh1
