// -pm1- and -pm2- decoders written step by step from the formats' notes
// (src/codec/pm1_decoder.cpp, pm2_decoder.cpp), one bit and one byte at a
// time, to hold the decoders against. They make the same choices on a
// damaged stream: where the member ends short, and that a last copy past
// the member's size is cut there and marks it overran.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
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
  // memchr and memmove, not std::find and std::rotate: the fuzzer traces
  // the comparisons of library templates and checks each access of a loop,
  // which would cost most of its time.
  void Written(std::uint8_t b) {
    const auto at = static_cast<std::uint8_t*>(std::memchr(order_.data(), b, 256)) - order_.data();
    std::memmove(order_.data() + 1, order_.data(), static_cast<std::size_t>(at));
    order_[0] = b;
  }

 private:
  std::array<std::uint8_t, 256> order_;
};

// A canonical prefix code given by its lengths, decoded a bit at a time
// with the first code of each length.
struct ReferenceCode {
  std::vector<int> lengths;                // per symbol, 0 unused
  int single = -1;                         // a code of no bits for this symbol
  std::vector<std::vector<int>> byLength;  // the symbols of each length, in order

  // Whether the lengths fit a prefix code (the sum of 2^-length is at most
  // 1), and sorts them for Decode. The room is capped, as no more than 31
  // codes are ever left to fill it.
  bool Fits() {
    byLength.assign(1, {});
    for (int s = 0; s < static_cast<int>(lengths.size()); ++s) {
      if (lengths[s] >= static_cast<int>(byLength.size())) byLength.resize(lengths[s] + 1);
      byLength[lengths[s]].push_back(s);
    }
    long long room = 1;
    for (std::size_t len = 1; len < byLength.size(); ++len) {
      room = std::min(room * 2, 1LL << 20) - static_cast<long long>(byLength[len].size());
      if (room < 0) return false;
    }
    return true;
  }
  // The symbol of the next code, or -1 for bits that are no code. At each
  // length the codes run on from where the shorter ones ended, doubled.
  int Decode(ReferenceBits& bits) const {
    if (single >= 0) return single;
    long long past = 0;  // how far the bits read lie past the first code of this length
    for (std::size_t len = 1; len < byLength.size(); ++len) {
      past = std::min(past * 2, 1LL << 20) + bits.Bit();
      const std::vector<int>& symbols = byLength[len];
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

// The codes for a -pm1- literal's place group, as trees: a pair is
// (0-branch 1-branch), a-f are groups 0-5.
inline const char* const kReferencePlaceCodes[32] = {
    "((((a b) c) d) (e f))",
    "(((a b) (c f)) (d e))",
    "(((a b) c) (d (e f)))",
    "((a (b c)) (d (e f)))",
    "((a (b d)) (c (e f)))",
    "((a (b (e f))) (c d))",
    "((a b) ((c d) (e f)))",
    "((a b) ((c (e f)) d))",
    "((a b) (c (d (e f))))",
    "(a (((b f) c) (d e)))",
    "(a (((b (e f)) c) d))",
    "(a (((b c) d) (e f)))",
    "(a ((b (c f)) (d e)))",
    "(a ((b c) (d (e f))))",
    "(a ((b (d (e f))) c))",
    "(a (b ((c d) (e f))))",
    "(a (b (c (d (e f)))))",
    "(((d e) c) (d e))",
    "((a (b e)) (c d))",
    "((a b) (c (d e)))",
    "(a (((b e) c) d))",
    "(a ((b c) (d e)))",
    "(a ((b (d e)) c))",
    "(a (b (c (d e))))",
    "(((a b) c) d)",
    "((a (b d)) c)",
    "((a b) (c d))",
    "(a ((b d) c))",
    "(a (b (c d)))",
    "(a (b c))",
    "(a b)",
    "a",
};

inline const char* SkipSpaces(const char* at) {
  while (*at == ' ') ++at;
  return at;
}
// Past the subtree that starts at `at`.
inline const char* SkipSubtree(const char* at) {
  if (*at != '(') return at + 1;
  at = SkipSpaces(SkipSubtree(SkipSpaces(at + 1)));
  at = SkipSpaces(SkipSubtree(at));
  return at + 1;  // ')'
}

inline Decoded ReferencePm1(const std::vector<std::uint8_t>& packed, std::int64_t size) {
  Decoded out;
  if (size <= 0) return out;
  ReferenceBits bits(packed);
  ReferenceHistory history;
  const char* const tree = kReferencePlaceCodes[bits.Bits(5)];
  auto written = [&]() { return static_cast<std::int64_t>(out.bytes.size()); };
  auto full = [&]() { return written() == size; };
  auto put = [&](std::uint8_t b) {
    out.bytes.push_back(b);
    history.Written(b);
  };
  // Walks the tree: at a pair a 0 bit takes the first branch, a 1 bit
  // steps over it to the second.
  auto group = [&]() {
    const char* at = tree;
    while (*at == '(') {
      at = SkipSpaces(at + 1);
      if (bits.Bit()) at = SkipSpaces(SkipSubtree(at));
    }
    return *at - 'a';
  };
  auto bitIfPast = [&](std::int64_t threshold, unsigned otherwise) {
    return written() >= threshold ? bits.Bit() : otherwise;
  };
  // false: a copy from before the first byte.
  auto copy = [&]() {
    int kind;
    if (bits.Bit() == 0) {
      kind = bitIfPast(576, 0) ? 4 : static_cast<int>(bitIfPast(64, 0));
    } else if (bitIfPast(64, 1) == 0) {
      kind = 3;
    } else {
      kind = bitIfPast(2624, 1) ? 2 : 5;
    }
    int length = 2;
    if (kind >= 2) {
      unsigned v = bits.Bits(2);
      if (v < 3) {
        length = static_cast<int>(v) + 3;
      } else if ((v = bits.Bits(3)) < 5) {
        length = static_cast<int>(v) + 6;
      } else if (v == 5) {
        length = static_cast<int>(bits.Bits(2)) + 11;
      } else if (v == 6) {
        length = static_cast<int>(bits.Bits(3)) + 15;
      } else if ((v = bits.Bits(6)) < 62) {
        length = static_cast<int>(v) + 23;
      } else {
        length =
            v == 62 ? static_cast<int>(bits.Bits(5)) + 85 : static_cast<int>(bits.Bits(7)) + 117;
      }
    }
    // The distance's base and width by kind; early in the output the wide
    // fields are narrower.
    const std::int64_t n = written();
    int base = 0, width = 6;
    if (kind == 1) base = 64, width = 8;
    if (kind == 3) base = 64, width = n < 320 ? 8 : 9;
    if (kind == 4) {
      base = 576;
      width = n < 832 ? 8 : n < 1088 ? 9 : n < 1600 ? 10 : 11;
    }
    if (kind == 5) {
      base = 2624;
      width = n < 2880 ? 8 : n < 3136 ? 9 : n < 3648 ? 10 : n < 4672 ? 11 : n < 6720 ? 12 : 13;
    }
    const std::int64_t distance = base + bits.Bits(width);
    if (distance >= n) return false;
    for (int i = 0; i < length && !full(); ++i) put(out.bytes[out.bytes.size() - distance - 1]);
    return true;
  };
  while (!full()) {
    if (bits.Bit() == 0) {
      if (!copy()) break;
      continue;
    }
    int run;
    unsigned v = bits.Bits(2);
    if (v < 3) {
      run = static_cast<int>(v) + 1;
    } else if ((v = bits.Bits(3)) < 7) {
      run = static_cast<int>(v) + 4;
    } else if ((v = bits.Bits(4)) < 14) {
      run = static_cast<int>(v) + 11;
    } else {
      run = v == 14 ? static_cast<int>(bits.Bits(6)) + 25 : static_cast<int>(bits.Bits(7)) + 89;
    }
    for (int i = 0; i < run && !full(); ++i) {
      static const int kBase[] = {0, 16, 32, 64, 128, 192};
      static const int kBits[] = {4, 4, 5, 6, 6, 6};
      const int g = group();
      put(history.At(kBase[g] + bits.Bits(kBits[g])));
    }
    if (run < 216 && !full() && !copy()) break;
  }
  return out;
}

}  // namespace lzhtest::pmarc
