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
//   up to 11, 5 base 2,624 and up to 13; a field of up to b bits is as
//   narrow as reaches the output so far, but never below 8 bits. A distance
//   d copies from d + 1 bytes back.
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

// Working storage of one member, one heap block.
struct Pm1Storage {
  ByteHistory history;
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
  int v = static_cast<int>(bits_.Take(2));
  if (v < 3) return v + 1;
  v = static_cast<int>(bits_.Take(3));
  if (v < 7) return v + 4;
  v = static_cast<int>(bits_.Take(4));
  if (v < 14) return v + 11;
  return v == 14 ? static_cast<int>(bits_.Take(6)) + 25 : static_cast<int>(bits_.Take(7)) + 89;
}

int Pm1Decoder::CopyKind() {
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
  int v = static_cast<int>(bits_.Take(2));
  if (v < 3) return v + 3;
  v = static_cast<int>(bits_.Take(3));
  if (v < 5) return v + 6;
  if (v == 5) return static_cast<int>(bits_.Take(2)) + 11;
  if (v == 6) return static_cast<int>(bits_.Take(3)) + 15;
  v = static_cast<int>(bits_.Take(6));
  if (v < 62) return v + 23;
  return v == 62 ? static_cast<int>(bits_.Take(5)) + 85 : static_cast<int>(bits_.Take(7)) + 117;
}

// The bytes at window + pos_ are written: counted, and moved to the front
// of the list.
void Pm1Decoder::Put(const std::uint8_t* bytes, int count) {
  for (int i = 0; i < count; ++i) s_.history.MoveToFront(bytes[i]);
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
  while (left_ > 0) {
    if (bits_.Take(1) == 0) {
      if (!Copy()) break;
    } else {
      int run = RunLength();
      const bool copyFollows = run < kMaxRun;
      if (static_cast<FileSize>(run) > left_) run = static_cast<int>(left_);
      std::uint8_t* to = window + pos_;
      for (int i = 0; i < run; ++i) {
        const GroupEntry g = groups[bits_.Peek(kPlaceCodeBits)];
        bits_.Skip(g.bits);
        const Field place = kPlaceGroups[g.group];
        to[i] = s_.history.At(place.base + bits_.Take(place.bits));
        s_.history.MoveToFront(to[i]);
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
