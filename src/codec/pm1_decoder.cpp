// -pm1-: LZ77 with copies of up to 10,816 bytes back and runs of literals,
// all coded with fixed codes; literals are places in the move-to-front list
// of pmarc_common.h.
//
// Format notes. The stream starts with 5 bits that choose one of 32 codes
// (kPlaceCodes) for a literal's place group. Then commands, each after one
// bit:
// - 1: a run of n literals (1..216), then a copy command unless n is 216.
//   n: 2 bits v, n = v + 1 for v < 3; else 3 bits v, n = v + 4 for v < 7;
//   else 4 bits v: n = v + 11 for v < 14, 6 more bits + 25 for 14, 7 more
//   bits + 89 for 15. A literal is its place group g (0..5) by the chosen
//   code, then a place of base + bits: bases 0, 16, 32, 64, 128, 192 with
//   4, 4, 5, 6, 6, 6 bits.
// - 0: a copy. Its kind k (0..5) first: bit 0 then (from 576 bytes of output
//   on) a bit, 1 giving k = 4, else (from 64 bytes on) a bit that is k (0 or
//   1); bit 1 then (from 64 bytes on) a bit, 0 giving k = 3, else (from 2,624
//   bytes on) a bit, 1 giving k = 2 and 0 giving k = 5. A bit not yet due
//   reads as 0 in the first case and as 1 in the others. Kinds 0 and 1 copy
//   2 bytes; the others a length: 2 bits v, v + 3 for v < 3; else 3 bits v,
//   v + 6 for v < 5, 2 more bits + 11 for 5, 3 more bits + 15 for 6; for 7,
//   6 bits v, v + 23 for v < 62, 5 more bits + 85 for 62, 7 more bits + 117
//   for 63. Then the distance, a base and bits: kinds 0 and 2 have base 0
//   and 6 bits, 1 base 64 and 8 bits, 3 base 64 and up to 9, 4 base 576 and
//   up to 11, 5 base 2,624 and up to 13; a field of up to b bits has the
//   fewest bits w, but no fewer than 8, with base + 2^w above the bytes
//   written so far. A distance d copies from d + 1 bytes back.
// The packed bytes go on as zero bits: some members need a few of those.
//
// Output stops at originalSize, also inside a run of literals or a copy:
// streams that run on past it are common (the format's own extractor stops
// there too), so that is no finding. A copy from before the member's first
// byte is damaged and ends the member short.
#include <cstring>

#include "codec/decoder.h"
#include "codec/match_copy.h"
#include "codec/pmarc_common.h"
#include "platform/heap.h"

namespace lzh {

namespace {

using pmarc::ByteHistory;
using pmarc::PackedBits;

constexpr int kWindowSize = 16384;  // bytes, past the farthest copy
constexpr int kBlockSize = 32768;   // bytes per output write
constexpr int kMaxRun = 216;        // literals
constexpr int kMaxCopy = 244;       // bytes

// The codes for a literal's place group, each drawn as a tree: a pair is
// (0-branch 1-branch), a-f are groups 0-5. The last code has no bits.
constexpr const char* kPlaceCodes[32] = {
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
constexpr int kPlaceCodeBits = 5;  // the deepest leaf

struct GroupEntry {
  std::uint8_t group;
  std::uint8_t bits;
};
using GroupTable = GroupEntry[1 << kPlaceCodeBits];

// Fills the entries under the subtree that starts at text[at]; returns the
// index past it.
constexpr int FillGroups(const char* text, int at, unsigned code, int depth, GroupTable& table) {
  while (text[at] == ' ') ++at;
  if (text[at] != '(') {
    const int span = 1 << (kPlaceCodeBits - depth);
    for (int e = 0; e < span; ++e)
      table[(code << (kPlaceCodeBits - depth)) + e] = {static_cast<std::uint8_t>(text[at] - 'a'),
                                                       static_cast<std::uint8_t>(depth)};
    return at + 1;
  }
  at = FillGroups(text, at + 1, code << 1, depth + 1, table);
  at = FillGroups(text, at, code << 1 | 1, depth + 1, table);
  while (text[at] == ' ') ++at;
  return at + 1;  // ')'
}

struct GroupTables {
  GroupTable tables[32];
};
constexpr GroupTables MakeGroupTables() {
  GroupTables t{};
  for (int i = 0; i < 32; ++i) FillGroups(kPlaceCodes[i], 0, 0, 0, t.tables[i]);
  return t;
}
constexpr GroupTables kGroupTables = MakeGroupTables();
static_assert(kGroupTables.tables[0][0b10000].group == 4 && kGroupTables.tables[0][0].bits == 4);
static_assert(kGroupTables.tables[17][0].group == 3 && kGroupTables.tables[31][31].bits == 0);

struct Field {
  std::uint16_t base;
  std::uint8_t bits;
};
constexpr Field kPlaceGroups[6] = {{0, 4}, {16, 4}, {32, 5}, {64, 6}, {128, 6}, {192, 6}};
// Per copy kind: the distance's base and widest field.
constexpr Field kDistances[6] = {{0, 6}, {64, 8}, {0, 6}, {64, 9}, {576, 11}, {2624, 13}};
constexpr int kNarrowestField = 8;

// The prefix codes of the run and copy lengths, looked up by their first
// bits: {base, bits of the code, bits added to the base}.
struct LengthEntry {
  std::uint8_t base;
  std::uint8_t bits;
  std::uint8_t extra;
};
constexpr int kRunLengthBits = 9;   // 2, 3 and 4 bits
constexpr int kCopyLengthBits = 5;  // 2 and 3 bits; then 6 more behind kLongerCopy
constexpr std::uint8_t kLongerCopy = 0xFF;

struct LengthTables {
  LengthEntry runs[1 << kRunLengthBits];
  LengthEntry copies[1 << kCopyLengthBits];
  LengthEntry longCopies[1 << 6];
};
constexpr LengthTables MakeLengthTables() {
  LengthTables t{};
  for (int i = 0; i < 1 << kRunLengthBits; ++i) {
    const int v2 = i >> 7, v3 = i >> 4 & 7, v4 = i & 15;
    t.runs[i] = v2 < 3     ? LengthEntry{static_cast<std::uint8_t>(v2 + 1), 2, 0}
                : v3 < 7   ? LengthEntry{static_cast<std::uint8_t>(v3 + 4), 5, 0}
                : v4 < 14  ? LengthEntry{static_cast<std::uint8_t>(v4 + 11), 9, 0}
                : v4 == 14 ? LengthEntry{25, 9, 6}
                           : LengthEntry{89, 9, 7};
  }
  for (int i = 0; i < 1 << kCopyLengthBits; ++i) {
    const int v2 = i >> 3, v3 = i & 7;
    t.copies[i] = v2 < 3    ? LengthEntry{static_cast<std::uint8_t>(v2 + 3), 2, 0}
                  : v3 < 5  ? LengthEntry{static_cast<std::uint8_t>(v3 + 6), 5, 0}
                  : v3 == 5 ? LengthEntry{11, 5, 2}
                  : v3 == 6 ? LengthEntry{15, 5, 3}
                            : LengthEntry{kLongerCopy, 5, 0};
  }
  for (int v = 0; v < 64; ++v)
    t.longCopies[v] = v < 62    ? LengthEntry{static_cast<std::uint8_t>(v + 23), 6, 0}
                      : v == 62 ? LengthEntry{85, 6, 5}
                                : LengthEntry{117, 6, 7};
  return t;
}
constexpr LengthTables kLengths = MakeLengthTables();
static_assert(kLengths.runs[0b111111111].base == 89 && kLengths.copies[0b11110].extra == 3);

// Copy kinds once every bit of theirs is due (2,624 bytes of output on),
// by their first 3 bits: {kind, bits}.
struct KindEntry {
  std::uint8_t kind;
  std::uint8_t bits;
};
constexpr KindEntry kKinds[8] = {{0, 3}, {1, 3}, {4, 2}, {4, 2}, {3, 2}, {3, 2}, {5, 3}, {2, 3}};
constexpr FileSize kEveryKindBit = 2624;  // bytes

// A literal's place group and place together, by up to 11 bits.
struct PlaceEntry {
  std::uint8_t place;
  std::uint8_t bits;
};
constexpr int kPlaceBits = kPlaceCodeBits + 6;

// Working storage of one member, one heap block.
struct Pm1Storage {
  ByteHistory history;
  PlaceEntry places[1 << kPlaceBits];
  std::uint8_t packed[pmarc::kPackedReadBytes];
  // kWindowSize bytes of history, then the output block; the slack takes a
  // run and a copy past the block and what the copy writes past itself.
  std::uint8_t window[kWindowSize + kBlockSize + kMaxRun + kMaxCopy + 64];
};

class Pm1Decoder {
 public:
  Pm1Decoder(MemberStream& member, Pm1Storage& s)
      : member_(member), s_(s), bits_(member, s.packed) {}
  void Run();

 private:
  int RunLength();
  int CopyKind();
  int CopyLength();
  bool Copy();
  void Put(const std::uint8_t* bytes, int count);

  MemberStream& member_;
  Pm1Storage& s_;
  PackedBits bits_;
  int pos_ = kWindowSize;  // where the next byte goes in window
  FileSize written_ = 0;   // bytes of the member so far
  FileSize left_ = 0;      // bytes of the member still to come
};

int Pm1Decoder::RunLength() {
  const LengthEntry e = kLengths.runs[bits_.Peek(kRunLengthBits)];
  bits_.Skip(e.bits);
  return e.base + static_cast<int>(bits_.Take(e.extra));
}

int Pm1Decoder::CopyKind() {
  if (written_ >= kEveryKindBit) {
    const KindEntry e = kKinds[bits_.Peek(3)];
    bits_.Skip(e.bits);
    return e.kind;
  }
  // A bit due from `from` bytes of output on; before that, `otherwise`.
  auto due = [this](FileSize from, unsigned otherwise) {
    return written_ >= from ? bits_.Take(1) : otherwise;
  };
  if (bits_.Take(1) == 0) {
    if (due(576, 0)) return 4;
    return static_cast<int>(due(64, 0));
  }
  if (due(64, 1) == 0) return 3;
  return due(2624, 1) ? 2 : 5;
}

int Pm1Decoder::CopyLength() {
  LengthEntry e = kLengths.copies[bits_.Peek(kCopyLengthBits)];
  bits_.Skip(e.bits);
  if (e.base == kLongerCopy) {
    e = kLengths.longCopies[bits_.Peek(6)];
    bits_.Skip(e.bits);
  }
  return e.base + static_cast<int>(bits_.Take(e.extra));
}

// The bytes at window + pos_ are written: counted, and moved to the front
// of the list.
void Pm1Decoder::Put(const std::uint8_t* bytes, int count) {
  s_.history.Written(bytes, count);
  pos_ += count;
  written_ += static_cast<FileSize>(count);
  left_ -= static_cast<FileSize>(count);
}

// false for a copy from before the first byte.
bool Pm1Decoder::Copy() {
  const int kind = CopyKind();
  int length = kind < 2 ? 2 : CopyLength();
  const Field field = kDistances[kind];
  int width = field.bits;
  while (width > kNarrowestField && written_ < field.base + (FileSize{1} << (width - 1))) --width;
  const FileSize distance = field.base + bits_.Take(width);
  if (distance >= written_) return false;
  if (static_cast<FileSize>(length) > left_) length = static_cast<int>(left_);
  std::uint8_t* to = s_.window + pos_;
  CopyForward(to, to - distance - 1, length);
  Put(to, length);
  return true;
}

void Pm1Decoder::Run() {
  if (member_.originalSize <= 0) return;
  left_ = static_cast<FileSize>(member_.originalSize);
  s_.history.Reset();
  std::uint8_t* window = s_.window;
  const GroupTable& groups = kGroupTables.tables[bits_.Take(5)];
  for (unsigned i = 0; i < 1u << kPlaceBits; ++i) {
    const GroupEntry g = groups[i >> (kPlaceBits - kPlaceCodeBits)];
    const Field group = kPlaceGroups[g.group];
    const int bits = g.bits + group.bits;
    const unsigned offset = i >> (kPlaceBits - bits) & ((1u << group.bits) - 1);
    s_.places[i] = {static_cast<std::uint8_t>(group.base + offset),
                    static_cast<std::uint8_t>(bits)};
  }
  while (left_ > 0) {
    if (bits_.Take(1) == 0) {
      if (!Copy()) break;
    } else {
      int run = RunLength();
      const bool copyFollows = run < kMaxRun;
      if (static_cast<FileSize>(run) > left_) run = static_cast<int>(left_);
      std::uint8_t* to = window + pos_;
      for (int i = 0; i < run; ++i) {
        const PlaceEntry place = s_.places[bits_.Peek(kPlaceBits)];
        bits_.Skip(place.bits);
        to[i] = s_.history.TakeAt(place.place);
      }
      pos_ += run;
      written_ += static_cast<FileSize>(run);
      left_ -= static_cast<FileSize>(run);
      if (copyFollows && left_ > 0 && !Copy()) break;
    }
    if (pos_ >= kWindowSize + kBlockSize) {
      member_.WriteOutput(window + kWindowSize, kBlockSize);
      const int keep = pos_ - kBlockSize;
      std::memmove(window, window + kBlockSize, static_cast<std::size_t>(keep));
      pos_ = keep;
    }
  }
  if (pos_ > kWindowSize) member_.WriteOutput(window + kWindowSize, pos_ - kWindowSize);
}

}  // namespace

void DecodePm1(MemberStream& member) {
  HeapArray<Pm1Storage> storage(1);
  Pm1Decoder(member, storage[0]).Run();
}

}  // namespace lzh
