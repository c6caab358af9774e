// -pm1- and -pm2- decoders written step by step from the formats' notes
// (src/codec/pm1_decoder.cpp, pm2_decoder.cpp), one bit and one byte at a
// time, to hold the decoders against. They make the same choices on a
// damaged stream: where the member ends short, and that a last copy past
// the member's size is cut there and marks it overran.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace lzhtest::pmarc {

struct Decoded {
  std::vector<std::uint8_t> bytes;
  bool overran = false;
};

// Bits of the packed bytes, the first of each byte first, zero bits past
// them.
class ReferenceBits {
 public:
  explicit ReferenceBits(const std::vector<std::uint8_t>& packed) : packed_(packed) {}
  unsigned Bit() {
    const std::uint64_t p = pos_++;
    if (p >= 8 * packed_.size()) return 0;
    return (packed_[p / 8] >> (7 - p % 8)) & 1;
  }
  unsigned Bits(int n) {
    unsigned v = 0;
    for (int i = 0; i < n; ++i) v = v << 1 | Bit();
    return v;
  }
  bool PastEnd() const { return pos_ > 8 * packed_.size(); }

 private:
  const std::vector<std::uint8_t>& packed_;
  std::uint64_t pos_ = 0;
};

// The list of byte values, most recently written first.
class ReferenceHistory {
 public:
  ReferenceHistory() {
    int n = 0;
    for (int b = 0x20; b < 0x80; ++b) order_[n++] = static_cast<std::uint8_t>(b);
    for (int b = 0x00; b < 0x20; ++b) order_[n++] = static_cast<std::uint8_t>(b);
    for (int b = 0xA0; b < 0xE0; ++b) order_[n++] = static_cast<std::uint8_t>(b);
    for (int b = 0x80; b < 0xA0; ++b) order_[n++] = static_cast<std::uint8_t>(b);
    for (int b = 0xE0; b < 0x100; ++b) order_[n++] = static_cast<std::uint8_t>(b);
  }
  std::uint8_t At(unsigned place) const { return order_[place]; }
  void Written(std::uint8_t b) {
    auto it = std::find(order_.begin(), order_.end(), b);
    std::rotate(order_.begin(), it, it + 1);
  }

 private:
  std::array<std::uint8_t, 256> order_;
};

// A canonical prefix code given by its lengths, decoded a bit at a time
// with the first code of each length.
struct ReferenceCode {
  std::vector<int> lengths;  // per symbol, 0 unused
  int single = -1;           // a code of no bits for this symbol

  // Whether the lengths fit a prefix code (the sum of 2^-length is at most
  // 1). The room is capped, as no more than 31 codes are ever left to fill it.
  bool Fits() const {
    long long room = 1;
    for (int len = 1; len <= 200; ++len) {
      room = std::min(room * 2, 1LL << 20) - std::count(lengths.begin(), lengths.end(), len);
      if (room < 0) return false;
    }
    return true;
  }
  // The symbol of the next code, or -1 for bits that are no code. At each
  // length the codes run on from where the shorter ones ended, doubled.
  int Decode(ReferenceBits& bits) const {
    if (single >= 0) return single;
    int maxLength = 0;
    for (int l : lengths) maxLength = std::max(maxLength, l);
    long long past = 0;  // how far the bits read lie past the first code of this length
    for (int len = 1; len <= maxLength; ++len) {
      past = std::min(past * 2, 1LL << 20) + bits.Bit();
      std::vector<int> symbols;
      for (int s = 0; s < static_cast<int>(lengths.size()); ++s)
        if (lengths[s] == len) symbols.push_back(s);
      if (past < static_cast<long long>(symbols.size())) return symbols[past];
      past -= static_cast<long long>(symbols.size());
    }
    return -1;
  }
};

inline Decoded ReferencePm2(const std::vector<std::uint8_t>& packed, std::int64_t size) {
  Decoded out;
  if (size <= 0) return out;
  ReferenceBits bits(packed);
  ReferenceHistory history;
  std::vector<std::uint8_t> ring(8192, ' ');
  std::uint32_t ringPos = 0;
  ReferenceCode items, offsets;
  offsets.lengths.assign(8, 0);
  bool offsetsUsed = false;

  auto readItems = [&]() {
    const int count = static_cast<int>(bits.Bits(5));
    const int shortest = static_cast<int>(bits.Bits(3));
    offsetsUsed = count >= 10 && !(count == 29 && shortest == 0);
    items = {};
    if (shortest == 0) {
      if (count > 0) items.single = count - 1;
      return true;
    }
    const int width = static_cast<int>(bits.Bits(3));
    for (int s = 0; s < count; ++s) {
      const int v = static_cast<int>(bits.Bits(width));
      items.lengths.push_back(v == 0 ? 0 : shortest + v - 1);
    }
    return items.Fits();
  };
  auto readOffsets = [&](int count) {
    if (!offsetsUsed) return true;
    offsets = {};
    for (int k = 0; k < count; ++k) offsets.lengths.push_back(static_cast<int>(bits.Bits(3)));
    if (count - std::count(offsets.lengths.begin(), offsets.lengths.end(), 0) == 1) {
      for (int k = 0; k < count; ++k)
        if (offsets.lengths[k] != 0) offsets.single = k;
    }
    return offsets.Fits();
  };
  // The tables read after 0, 1, 2, 4, 8, 12, ... KiB of output.
  int reads = 0;
  auto readTables = [&]() {
    bool sound = true;
    if (reads == 0) {
      bits.Bit();
      sound = readItems() && readOffsets(5);
    } else if (reads == 1) {
      sound = readOffsets(6);
    } else if (reads == 2) {
      sound = readOffsets(7);
    } else if (reads == 3) {
      if (bits.Bit()) sound = readItems();
      sound = sound && readOffsets(8);
    } else if (bits.Bit()) {
      sound = readItems() && readOffsets(8);
    }
    ++reads;
    return sound && !bits.PastEnd();
  };

  std::int64_t untilTables = 1024;
  bool tablesDue = false;
  auto put = [&](std::uint8_t b) {
    out.bytes.push_back(b);
    ring[ringPos] = b;
    ringPos = (ringPos + 1) % 8192;
    history.Written(b);
    if (--untilTables == 0) {
      tablesDue = true;
      untilTables = reads == 1 ? 1024 : reads == 2 ? 2048 : 4096;
    }
  };

  if (!readTables()) return out;
  while (static_cast<std::int64_t>(out.bytes.size()) < size) {
    const int code = items.Decode(bits);
    if (code < 0 || code > 28) break;
    if (code < 8) {
      static const int kBase[] = {0, 8, 16, 32, 64, 96, 128, 192};
      static const int kBits[] = {3, 3, 4, 5, 5, 5, 6, 6};
      const unsigned place = kBase[code] + bits.Bits(kBits[code]);
      if (bits.PastEnd()) break;
      put(history.At(place));
    } else {
      const int c = code - 8;
      int length = c + 2;
      if (c >= 15) {
        static const int kBase[] = {17, 25, 33, 65, 129, 256};
        static const int kBits[] = {3, 3, 5, 6, 7, 0};
        length = kBase[c - 15] + static_cast<int>(bits.Bits(kBits[c - 15]));
      }
      int offset = 0;
      if (c == 0) {
        offset = static_cast<int>(bits.Bits(6));
      } else if (c < 20) {
        const int k = offsets.Decode(bits);
        if (k < 0) break;
        offset = k == 0 ? static_cast<int>(bits.Bits(6))
                        : (1 << (k + 5)) + static_cast<int>(bits.Bits(k + 5));
      }
      if (bits.PastEnd()) break;
      std::uint32_t from = (ringPos + 8192 - 1 - static_cast<std::uint32_t>(offset)) % 8192;
      for (int i = 0; i < length; ++i) {
        if (static_cast<std::int64_t>(out.bytes.size()) == size) {
          out.overran = true;
          break;
        }
        put(ring[from]);
        from = (from + 1) % 8192;
      }
    }
    if (tablesDue && static_cast<std::int64_t>(out.bytes.size()) < size) {
      tablesDue = false;
      if (!readTables()) break;
    }
  }
  return out;
}

}  // namespace lzhtest::pmarc
