// -pm2-: LZ77 over an 8,192-byte window with two prefix codes, one for the
// kind of each item and one for the size of a copy's offset. Literals are
// places in the move-to-front list of pmarc_common.h.
//
// Format notes. The stream starts with one bit that means nothing, then the
// code tables. Each item starts with a code of the item code (symbols 0 to
// 28):
// - 0..7: a literal; its list place is a base plus that many more bits:
//   bases 0, 8, 16, 32, 64, 96, 128, 192 with 3, 3, 4, 5, 5, 5, 6, 6 bits.
// - 8..28 (c = code - 8): a copy. Its length is c + 2 for c < 15, else a
//   base plus more bits: bases 17, 25, 33, 65, 129 with 3, 3, 5, 6, 7 bits
//   for c = 15..19, and 256 for c = 20. Then its offset: 6 bits for c = 0;
//   for c = 1..19 an offset code k, then 6 bits for k = 0 or, for k > 0,
//   k + 5 bits added to 1 << (k + 5); for c = 20 the offset is 0. An offset
//   d copies from d + 1 bytes back; before the first byte the window holds
//   spaces.
// A code table is 5 bits of symbol count n and 3 bits of shortest length m.
// m = 0 means a one-symbol code of no bits for symbol n - 1; otherwise 3
// bits w, then n fields of w bits: 0 for an unused symbol, v for length
// m + v - 1. The offset code follows when n >= 10 and not (n = 29, m = 0)
// (the codes that make no copy with an offset code need none): one 3-bit
// length per offset code, where a single used one has no bits. Codes are
// canonical: shorter codes first, equal lengths in symbol order.
// The tables are read at the start (5 offset codes) and again once the
// output has reached 1 KiB (the offset code alone, 6 of them), 2 KiB (7),
// 4 KiB (a bit: 1 reads a new item code; then the offset code, 8) and every
// 4 KiB from 8 KiB (a bit: 1 reads both, 8 offset codes). A copy that
// crosses one of these points is finished before the tables are read.
//
// A damaged stream ends the member short: an item or table that needs bits
// past the packed bytes, lengths that no prefix code fits, bits that are no
// code of a table, and item codes 29 and 30. A last copy past originalSize
// is cut there and raises overran (decoder.h).
#include <cstring>

#include "codec/decoder.h"
#include "codec/match_copy.h"
#include "codec/pmarc_common.h"
#include "platform/heap.h"

namespace lzh {

namespace {

using pmarc::ByteHistory;
using pmarc::PackedBits;

constexpr int kWindowSize = 8192;  // bytes
constexpr int kBlockSize = 32768;  // bytes per output write
constexpr int kMaxCopy = 256;      // bytes
constexpr int kMaxSymbols = 31;    // a 5-bit count
constexpr int kItemCodes = 29;     // item codes with a meaning
constexpr int kLiteralCodes = 8;
constexpr int kMaxOffsetCodes = 8;
constexpr int kTableBits = 10;           // codes up to this long decode in one look-up
constexpr int kMaxLength = 7 + 127 - 1;  // m + v - 1 at its largest

struct ExtraBits {
  std::uint16_t base;
  std::uint8_t bits;
};
constexpr ExtraBits kLiteralPlaces[kLiteralCodes] = {{0, 3},  {8, 3},  {16, 4},  {32, 5},
                                                     {64, 5}, {96, 5}, {128, 6}, {192, 6}};
constexpr ExtraBits kCopyLengths[] = {{17, 3}, {25, 3}, {33, 5}, {65, 6}, {129, 7}, {256, 0}};
constexpr int kShortCopies = 15;   // c below this: length c + 2
constexpr int kFarthestCopy = 20;  // c: 256 bytes at offset 0

// A canonical prefix code: a table of the next kTableBits bits for codes up
// to that long, and the counts per length for longer ones.
class PrefixCode {
 public:
  // false when the lengths oversubscribe the code. Lengths of 0 are unused.
  bool Build(const std::uint8_t* lengths, int count) {
    std::memset(lengthCount_, 0, sizeof lengthCount_);
    for (int s = 0; s < count; ++s) ++lengthCount_[lengths[s]];
    lengthCount_[0] = 0;
    // The room left at each length; capped, as no more symbols can fill it.
    std::int32_t left = 1;
    for (int len = 1; len <= kMaxLength; ++len) {
      left = (left << 1) - lengthCount_[len];
      if (left < 0) return false;
      if (left > 64) left = 64;
    }
    std::uint16_t offsets[kMaxLength + 2];
    offsets[1] = 0;
    for (int len = 1; len <= kMaxLength; ++len)
      offsets[len + 1] = static_cast<std::uint16_t>(offsets[len] + lengthCount_[len]);
    for (int s = 0; s < count; ++s)
      if (lengths[s] != 0) sorted_[offsets[lengths[s]]++] = static_cast<std::uint8_t>(s);
    for (Entry& e : table_) e = {kLonger, 0};
    std::uint32_t code = 0;
    int index = 0;
    for (int len = 1; len <= kTableBits; ++len) {
      for (int i = 0; i < lengthCount_[len]; ++i, ++code) {
        const std::uint32_t first = code << (kTableBits - len);
        for (std::uint32_t e = 0; e < 1u << (kTableBits - len); ++e)
          table_[first + e] = {sorted_[index], static_cast<std::uint8_t>(len)};
        ++index;
      }
      code <<= 1;
    }
    return true;
  }
  void BuildSingle(std::uint8_t symbol) {
    for (Entry& e : table_) e = {symbol, 0};
  }

  // The next symbol, or -1 for bits that are no code.
  int Decode(PackedBits& bits) const {
    const Entry e = table_[bits.Peek(kTableBits)];
    if (e.symbol != kLonger) {
      bits.Skip(e.bits);
      return e.symbol;
    }
    return DecodeLong(bits);
  }

 private:
  static constexpr std::uint8_t kLonger = 0xFF;  // a longer code, or none
  struct Entry {
    std::uint8_t symbol;
    std::uint8_t bits;
  };

  // One bit at a time, from the root.
  int DecodeLong(PackedBits& bits) const {
    std::int32_t code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxLength; ++len) {
      code |= static_cast<std::int32_t>(bits.Take(1));
      const std::int32_t count = lengthCount_[len];
      if (code - first < count) return sorted_[index + code - first];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
      if (code - first >= 2 * 64) return -1;  // past every code
    }
    return -1;
  }

  Entry table_[1 << kTableBits];
  std::uint16_t lengthCount_[kMaxLength + 1];
  std::uint8_t sorted_[kMaxSymbols];
};

// Working storage of one member, one heap block.
struct Pm2Storage {
  PrefixCode itemCode;
  PrefixCode offsetCode;
  ByteHistory history;
  std::uint8_t packed[pmarc::kPackedReadBytes];
  // kWindowSize bytes of history, then the output block; the slack takes
  // the last copy of a block and what its copy writes past it.
  std::uint8_t window[kWindowSize + kBlockSize + kMaxCopy + 64];
};

class Pm2Decoder {
 public:
  Pm2Decoder(MemberStream& member, Pm2Storage& s)
      : member_(member), s_(s), bits_(member, s.packed) {}
  void Run();

 private:
  bool ReadItemCode();
  bool ReadOffsetCode(int count);
  bool ReadTables();

  MemberStream& member_;
  Pm2Storage& s_;
  PackedBits bits_;
  int stage_ = 0;                // how many times the tables were read
  bool offsetCodeUsed_ = false;  // the item code has copies with an offset code
};

bool Pm2Decoder::ReadItemCode() {
  const int count = static_cast<int>(bits_.Take(5));
  const int shortest = static_cast<int>(bits_.Take(3));
  offsetCodeUsed_ = count >= 10 && !(count == 29 && shortest == 0);
  std::uint8_t lengths[kMaxSymbols] = {};
  if (shortest == 0) {
    if (count == 0) return s_.itemCode.Build(lengths, 0);  // no code at all
    s_.itemCode.BuildSingle(static_cast<std::uint8_t>(count - 1));
    return true;
  }
  const int fieldBits = static_cast<int>(bits_.Take(3));
  for (int s = 0; s < count; ++s) {
    const int v = static_cast<int>(bits_.Take(fieldBits));
    lengths[s] = static_cast<std::uint8_t>(v == 0 ? 0 : shortest + v - 1);
  }
  return s_.itemCode.Build(lengths, count);
}

bool Pm2Decoder::ReadOffsetCode(int count) {
  if (!offsetCodeUsed_) return true;
  std::uint8_t lengths[kMaxOffsetCodes];
  int used = 0, last = 0;
  for (int k = 0; k < count; ++k) {
    lengths[k] = static_cast<std::uint8_t>(bits_.Take(3));
    if (lengths[k] != 0) ++used, last = k;
  }
  if (used == 1) {
    s_.offsetCode.BuildSingle(static_cast<std::uint8_t>(last));
    return true;
  }
  return s_.offsetCode.Build(lengths, count);
}

// The tables due at this point of the output; false for a damaged stream.
bool Pm2Decoder::ReadTables() {
  bool sound = true;
  switch (stage_++) {
    case 0:
      bits_.Take(1);
      sound = ReadItemCode() && ReadOffsetCode(5);
      break;
    case 1:
      sound = ReadOffsetCode(6);
      break;
    case 2:
      sound = ReadOffsetCode(7);
      break;
    case 3:
      if (bits_.Take(1)) sound = ReadItemCode();
      sound = sound && ReadOffsetCode(8);
      break;
    default:
      stage_ = 4;
      if (bits_.Take(1)) sound = ReadItemCode() && ReadOffsetCode(8);
      break;
  }
  return sound && !bits_.PastEnd();
}

void Pm2Decoder::Run() {
  if (member_.originalSize <= 0) return;
  std::uint8_t* window = s_.window;
  std::memset(window, ' ', kWindowSize);
  ByteHistory& history = s_.history;
  history.Reset();
  int pos = kWindowSize;
  // Where the member's last byte goes, moved back with every block written.
  FileSize end = kWindowSize + static_cast<FileSize>(member_.originalSize);
  s_.offsetCode.Build(nullptr, 0);  // no code until the stream gives one
  if (!ReadTables()) return;
  int untilTables = 1024;  // bytes to go until the tables are read again
  while (static_cast<FileSize>(pos) < end) {
    const int code = s_.itemCode.Decode(bits_);
    if (code < 0 || code >= kItemCodes) break;
    int length;
    if (code < kLiteralCodes) {
      const ExtraBits place = kLiteralPlaces[code];
      const unsigned at = place.base + bits_.Take(place.bits);
      if (bits_.PastEnd()) break;
      window[pos++] = history.TakeAt(at);
      length = 1;
    } else {
      const int c = code - kLiteralCodes;
      if (c < kShortCopies) {
        length = c + 2;
      } else {
        const ExtraBits lengthCode = kCopyLengths[c - kShortCopies];
        length = lengthCode.base + static_cast<int>(bits_.Take(lengthCode.bits));
      }
      int offset = 0;
      if (c == 0) {
        offset = static_cast<int>(bits_.Take(6));
      } else if (c < kFarthestCopy) {
        const int k = s_.offsetCode.Decode(bits_);
        if (k < 0) break;
        offset = k == 0 ? static_cast<int>(bits_.Take(6))
                        : (1 << (k + 5)) + static_cast<int>(bits_.Take(k + 5));
      }
      if (bits_.PastEnd()) break;
      if (static_cast<FileSize>(length) > end - static_cast<FileSize>(pos)) {
        length = static_cast<int>(end - static_cast<FileSize>(pos));
        member_.overran = true;
      }
      std::uint8_t* to = window + pos;
      CopyForward(to, to - offset - 1, length);
      history.Written(to, length);
      pos += length;
    }
    untilTables -= length;
    if (untilTables <= 0 && static_cast<FileSize>(pos) < end) {
      if (!ReadTables()) break;
      untilTables += stage_ < 3 ? 1024 : stage_ == 3 ? 2048 : 4096;
    }
    if (pos >= kWindowSize + kBlockSize) {
      member_.WriteOutput(window + kWindowSize, kBlockSize);
      const int keep = pos - kBlockSize;
      std::memmove(window, window + kBlockSize, static_cast<std::size_t>(keep));
      pos = keep;
      end -= kBlockSize;
    }
  }
  if (pos > kWindowSize) member_.WriteOutput(window + kWindowSize, pos - kWindowSize);
}

}  // namespace

void DecodePm2(MemberStream& member) {
  HeapArray<Pm2Storage> storage(1);
  Pm2Decoder(member, storage[0]).Run();
}

}  // namespace lzh
