// Crafted -lh4-/-lh5- streams, each checked for its exact output and CRC,
// and every one also against the step-by-step reference decoder and through
// reads of a few bytes, so that buffer seams are crossed everywhere.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codec/crc16.h"
#include "platform/heap.h"
#include "support/lh5_bit_writer.h"
#include "support/lh5_harness.h"

namespace {

using lzhtest::lh5::BitWriter;
using lzhtest::lh5::Code;
using lzhtest::lh5::Decoded;
using lzhtest::lh5::DecodeMember;
using lzhtest::lh5::DecodeOptions;
using lzhtest::lh5::PositionCodes;
using lzhtest::lh5::PutAuxLength;
using lzhtest::lh5::PutFlatBlock;
using lzhtest::lh5::PutLiteral;
using lzhtest::lh5::PutMatch;
using Bytes = std::vector<std::uint8_t>;

constexpr int kRing = 26624;

std::uint32_t Crc(const Bytes& bytes) {
  std::uint32_t crc = 0;
  lzh::CrcUpdate(bytes.data(), static_cast<std::int32_t>(bytes.size()), crc);
  return crc;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class Lh5Decoder : public ::testing::Test {
 protected:
  // Decodes with the production decoder, checks it against the reference
  // and against small reads, and returns its result.
  Decoded Decode(const BitWriter& out, std::int32_t originalSize, char digit = '5') {
    DecodeOptions options;
    options.digit = digit;
    Decoded result = DecodeMember(out.Bytes(), originalSize, options);
    for (int chunk : {1, 3, 8}) {
      options.readChunk = chunk;
      EXPECT_EQ(DecodeMember(out.Bytes(), originalSize, options), result) << "reads of " << chunk;
    }
    options.readChunk = 0;
    options.carefulPath = true;
    EXPECT_EQ(DecodeMember(out.Bytes(), originalSize, options), result) << "careful path";
    options.carefulPath = false;
    options.reference = true;
    EXPECT_EQ(DecodeMember(out.Bytes(), originalSize, options), result) << "reference";
    return result;
  }

  void ExpectOutput(const Decoded& d, const Bytes& expected) {
    EXPECT_EQ(d.bytes, expected);
    EXPECT_EQ(d.crc, Crc(expected));
  }

  lzh::CrcTableScope crcTable;
};

// The bytes a sequence of literals and matches stands for, ring start as spaces.
struct Model {
  Bytes out;
  void Literal(int byte) { out.push_back(static_cast<std::uint8_t>(byte)); }
  void Match(int length, int distance) {
    for (int i = 0; i < length; ++i) {
      std::int64_t from = static_cast<std::int64_t>(out.size()) - distance;
      out.push_back(from < 0 ? ' ' : out[static_cast<std::size_t>(from)]);
    }
  }
};

TEST_F(Lh5Decoder, LiteralsAndShortDistanceMatches) {
  BitWriter out;
  PutFlatBlock(out, 5);
  PutLiteral(out, 'A');
  PutLiteral(out, 'B');
  PutMatch(out, 9, 2);  // overlapping: repeats A B
  PutLiteral(out, 'C');
  PutMatch(out, 4, 1);  // position 0: the previous byte again
  ExpectOutput(Decode(out, 16), Text("ABABABABABACCCCC"));
}

TEST_F(Lh5Decoder, BlocksFollowWithoutMarkerAndCountCodesNotBytes) {
  BitWriter out;
  PutFlatBlock(out, 3);  // three codes: one literal and two matches
  PutLiteral(out, 'x');
  PutMatch(out, 10, 1);
  PutMatch(out, 3, 5);
  PutFlatBlock(out, 2);
  PutLiteral(out, 'y');
  PutMatch(out, 3, 14);
  Model m;
  m.Literal('x');
  m.Match(10, 1);
  m.Match(3, 5);
  m.Literal('y');
  m.Match(3, 14);
  ExpectOutput(Decode(out, static_cast<std::int32_t>(m.out.size())), m.out);
}

TEST_F(Lh5Decoder, MatchBeforeTheFirstByteCopiesSpaces) {
  BitWriter out;
  PutFlatBlock(out, 2);
  PutMatch(out, 4, 3);
  PutLiteral(out, '!');
  ExpectOutput(Decode(out, 5), Text("    !"));
}

TEST_F(Lh5Decoder, FarthestDistanceOfEachMethod) {
  for (char digit : {'4', '5', '6', '7', 'x'}) {
    // -lhx-, 512 KiB back, is the tool's alone.
    if (digit == 'x' && lzh::kProgramCore) continue;
    SCOPED_TRACE(digit);
    const int farthest = 1 << (PositionCodes(digit) - 1);
    // Literals after the match keep it off the end of the packed bytes,
    // where the fast loop leaves the codes to the careful path.
    const int tail = 32;
    BitWriter out;
    Model m;
    for (int i = 0; i < farthest; ++i) {
      if (i % 40000 == 0)
        PutFlatBlock(out, static_cast<std::uint16_t>(std::min(40000, farthest - i + 1 + tail)),
                     digit);
      int byte = (i * 7 + i / 251) & 0xFF;
      PutLiteral(out, byte);
      m.Literal(byte);
    }
    PutMatch(out, 256, farthest, digit);
    m.Match(256, farthest);
    for (int i = 0; i < tail; ++i) {
      PutLiteral(out, i);
      m.Literal(i);
    }
    ExpectOutput(Decode(out, static_cast<std::int32_t>(m.out.size()), digit), m.out);
  }
}

TEST_F(Lh5Decoder, MemberOfExactlyOneRingIsOneWrite) {
  BitWriter out;
  PutFlatBlock(out, 1 + 103 + 1);
  PutLiteral(out, 'z');
  for (int i = 0; i < 103; ++i) PutMatch(out, 256, 1);
  PutMatch(out, 255, 1);  // 1 + 103 * 256 + 255 = 26,624
  Decoded d = Decode(out, kRing);
  ExpectOutput(d, Bytes(kRing, 'z'));
  EXPECT_EQ(d.writes, 1);
}

TEST_F(Lh5Decoder, MatchesAcrossTheRingsEnd) {
  // The destination passes the ring's end mid-match, then the source does.
  BitWriter out;
  Model m;
  const int literals = kRing - 40;
  PutFlatBlock(out, static_cast<std::uint16_t>(literals + 3));
  for (int i = 0; i < literals; ++i) {
    int byte = (i * 31 + i / 97) & 0xFF;
    PutLiteral(out, byte);
    m.Literal(byte);
  }
  PutMatch(out, 100, 1000);  // 40 bytes fill the ring, written out; 60 follow at its start
  m.Match(100, 1000);
  PutMatch(out, 200, 150);  // source starts 90 bytes before the ring's end
  m.Match(200, 150);
  PutMatch(out, 256, 8192);
  m.Match(256, 8192);
  Decoded d = Decode(out, static_cast<std::int32_t>(m.out.size()));
  ExpectOutput(d, m.out);
  EXPECT_EQ(d.writes, 2);
}

TEST_F(Lh5Decoder, LongMemberFlushesEveryRing) {
  // Three and a half rings of matches spread over the distances, so that
  // the fast and the careful copies both meet every ring position class;
  // -lh7- with its ring of 3.25 dictionaries too.
  for (char digit : {'5', '7'}) {
    SCOPED_TRACE(digit);
    const int ring = digit == '5' ? kRing : 212992;
    const int farthest = 1 << (PositionCodes(digit) - 1);
    BitWriter out;
    Model m;
    std::mt19937 rng(5);
    std::vector<std::pair<int, int>> codes;
    for (int i = 0; i < 300; ++i) {
      codes.push_back({-1, static_cast<int>(rng() & 0xFF)});
      m.Literal(codes.back().second);
    }
    while (m.out.size() < 3 * static_cast<std::size_t>(ring) + ring / 2) {
      if (codes.size() % 3 == 0) {
        codes.push_back({-1, static_cast<int>(rng() & 0xFF)});
      } else {
        codes.push_back(
            {3 + static_cast<int>(rng() % 254), 1 + static_cast<int>(rng() % farthest)});
      }
      auto [length, value] = codes.back();
      if (length < 0)
        m.Literal(value);
      else
        m.Match(length, value);
    }
    for (std::size_t first = 0; first < codes.size(); first += 60000) {
      std::size_t count = std::min<std::size_t>(60000, codes.size() - first);
      PutFlatBlock(out, static_cast<std::uint16_t>(count), digit);
      for (std::size_t i = first; i < first + count; ++i) {
        if (codes[i].first < 0)
          PutLiteral(out, codes[i].second);
        else
          PutMatch(out, codes[i].first, codes[i].second, digit);
      }
    }
    Decoded d = Decode(out, static_cast<std::int32_t>(m.out.size()), digit);
    ExpectOutput(d, m.out);
    EXPECT_EQ(d.writes, 4);
  }
}

TEST_F(Lh5Decoder, OriginalSizeZeroOrNegativeDecodesNothing) {
  BitWriter out;
  PutFlatBlock(out, 1);
  PutLiteral(out, 'a');
  for (std::int32_t size : {0, -1, INT32_MIN}) {
    Decoded d = Decode(out, size);
    EXPECT_TRUE(d.bytes.empty());
    EXPECT_EQ(d.crc, 0u);
    EXPECT_EQ(d.writes, 0);
  }
}

TEST_F(Lh5Decoder, CodeCountZeroEndsTheMember) {
  BitWriter first;
  first.Put(0, 16);  // no codes at the first block: an empty file
  Decoded empty = Decode(first, 100);
  EXPECT_TRUE(empty.bytes.empty());
  EXPECT_EQ(empty.writes, 0);
  EXPECT_EQ(empty.crc, 0u);

  BitWriter later;
  PutFlatBlock(later, 2);
  PutLiteral(later, 'h');
  PutLiteral(later, 'i');
  later.Put(0, 16);
  ExpectOutput(Decode(later, 100), Text("hi"));
}

TEST_F(Lh5Decoder, PackedBytesUsedUpReadAsZeroBits) {
  // After the literal the stream is cut: zero bits decode as NUL literals
  // until the block's codes run out, then a code count of 0 ends it.
  BitWriter out;
  PutFlatBlock(out, 4);
  PutLiteral(out, 'k');
  ExpectOutput(Decode(out, 100), Bytes{'k', 0, 0, 0});
  // A packedLeft beyond the file (an archive cut short) reads the same.
  DecodeOptions options;
  options.packedLeft = 1 << 30;
  EXPECT_EQ(DecodeMember(out.Bytes(), 100, options).bytes, (Bytes{'k', 0, 0, 0}));
  // A packedLeft short of the file's bytes stops the stream there.
  options.packedLeft = 2;
  Decoded cut = DecodeMember(out.Bytes(), 100, options);
  options.reference = true;
  EXPECT_EQ(DecodeMember(out.Bytes(), 100, options), cut);
}

TEST_F(Lh5Decoder, ShortWritesFoldOnlyWhatWasWritten) {
  BitWriter out;
  PutFlatBlock(out, 3);
  PutLiteral(out, 'w');
  PutMatch(out, 256, 1);
  PutMatch(out, 200, 1);
  DecodeOptions options;
  options.writeBudget = 100;
  Decoded d = DecodeMember(out.Bytes(), 457, options);
  EXPECT_EQ(d.bytes, Bytes(100, 'w'));
  EXPECT_EQ(d.crc, Crc(Bytes(100, 'w')));
  options.reference = true;
  EXPECT_EQ(DecodeMember(out.Bytes(), 457, options), d);

  // A ring flush that is cut short, then a last write refused.
  BitWriter big;
  PutFlatBlock(big, 120);
  PutLiteral(big, 'v');
  for (int i = 0; i < 119; ++i) PutMatch(big, 256, 1);
  options.writeBudget = kRing - 1;
  options.reference = false;
  Decoded cut = DecodeMember(big.Bytes(), 1 + 119 * 256, options);
  EXPECT_EQ(cut.bytes, Bytes(kRing - 1, 'v'));
  EXPECT_EQ(cut.crc, Crc(Bytes(kRing - 1, 'v')));
  EXPECT_EQ(cut.writes, 2);
}

TEST_F(Lh5Decoder, EndOfDataFoldsThePendingBytesWhateverTheWriteReports) {
  BitWriter out;
  PutFlatBlock(out, 1);
  PutLiteral(out, 'e');
  PutFlatBlock(out, 1);
  PutMatch(out, 4, 1);
  out.Put(0, 16);
  DecodeOptions options;
  options.writeBudget = 2;
  Decoded d = DecodeMember(out.Bytes(), 1000, options);
  EXPECT_EQ(d.bytes, Text("ee"));
  EXPECT_EQ(d.crc, Crc(Text("eeeee")));
  options.reference = true;
  EXPECT_EQ(DecodeMember(out.Bytes(), 1000, options), d);
}

TEST_F(Lh5Decoder, OneSymbolCodesTakeNoBits) {
  BitWriter out;
  out.Put(6, 16);       // six codes
  out.Put(0, 5);        // length code: one symbol ...
  out.Put(13, 5);       // ... 13 (literal length 11), unused below
  out.Put(0, 9);        // literal/length code: one symbol ...
  out.Put(256 + 2, 9);  // ... a match of 5 bytes
  out.Put(0, 4);        // position code: one symbol ...
  out.Put(3, 4);        // ... 3: positions 4..7, two plain bits follow
  out.Put(0b10, 2);     // position 6: distance 7
  out.Put(0b00, 2);     // position 4: distance 5
  for (int i = 0; i < 4; ++i) out.Put(0b11, 2);
  // Six matches of 5 bytes from before the first byte: all spaces.
  ExpectOutput(Decode(out, 30), Bytes(30, ' '));
}

TEST_F(Lh5Decoder, OneSymbolLiteralCodeRepeatsItsByte) {
  BitWriter out;
  out.Put(50, 16);
  out.Put(0, 5);
  out.Put(3, 5);
  out.Put(0, 9);
  out.Put('Q', 9);  // every code is the literal Q
  out.Put(0, 4);
  out.Put(0, 4);
  ExpectOutput(Decode(out, 10), Bytes(10, 'Q'));
}

TEST_F(Lh5Decoder, LengthCodeZeroRunEscapesAndAllThreeZeroRuns) {
  BitWriter out;
  out.Put(19, 16);  // 18 literals and a match
  // Length code: symbols 0, 1, 2 of length 2, then the 2-bit run that
  // follows the third length: three zero lengths (symbols 3, 4, 5), then
  // symbols 6 and 7 of length 3 (literal lengths 4 and 5).
  out.Put(8, 5);
  PutAuxLength(out, 2);
  PutAuxLength(out, 2);
  PutAuxLength(out, 2);
  out.Put(3, 2);
  PutAuxLength(out, 3);
  PutAuxLength(out, 3);
  const Code lengthCode({2, 2, 2, 0, 0, 0, 3, 3});

  // Literal lengths: 'A'..'L' 4 bits, 'M'..'R' and the 6-byte match 5 bits
  // (12/16 + 8/32 fills the code space); 259 lengths in all.
  std::vector<std::uint8_t> literal(510, 0);
  for (int s = 'A'; s <= 'L'; ++s) literal[s] = 4;
  for (int s = 'M'; s <= 'R'; ++s) literal[s] = 5;
  literal[256 + 3] = 5;
  out.Put(260, 9);
  lengthCode.Put(out, 2);  // a run of 20 + 9 bits of zero lengths:
  out.Put('A' - 20, 9);    // symbols 0..64
  for (int s = 'A'; s <= 'R'; ++s) lengthCode.Put(out, literal[s] + 2);
  lengthCode.Put(out, 1);  // a run of 3 + 4 bits: symbols 83..100
  out.Put(15, 4);
  for (int s = 101; s <= 258; ++s) lengthCode.Put(out, 0);  // single zero lengths
  lengthCode.Put(out, 7);                                   // 259: length 5
  const Code literalCode(literal);

  // Position lengths with the escape: 7 is "111 0", 9 is "111 110".
  const std::vector<std::uint8_t> position = {1, 2, 3, 4, 5, 6, 7, 9, 9, 9, 9};
  out.Put(11, 4);
  for (int length : position) PutAuxLength(out, length);
  const Code positionCode(position);

  const std::string text = "ARBCDEFGHIJKLMNOPQ";
  for (char ch : text) literalCode.Put(out, ch);
  literalCode.Put(out, 256 + 3);  // 6 bytes from 17 back: position 16,
  positionCode.Put(out, 5);       // code 5 (4 bits 0000 follow)
  out.Put(0, 4);
  Model m;
  for (char ch : text) m.Literal(ch);
  m.Match(6, 17);
  ExpectOutput(Decode(out, static_cast<std::int32_t>(m.out.size())), m.out);
}

// A block with a length code of 19 five-bit codes (the code of symbol s is
// s); literal lengths written as length symbols with the three zero runs.
void PutBlock(BitWriter& out, std::uint16_t codes, const std::vector<std::uint8_t>& literal,
              const std::vector<std::uint8_t>& position) {
  out.Put(codes, 16);
  out.Put(19, 5);
  for (int s = 0; s < 19; ++s) {
    PutAuxLength(out, 5);
    if (s == 2) out.Put(0, 2);  // no zero run after the third length
  }
  int n = 510;
  while (n > 1 && literal[n - 1] == 0) --n;
  out.Put(static_cast<std::uint32_t>(n), 9);
  for (int i = 0; i < n;) {
    if (literal[i] != 0) {
      out.Put(literal[i] + 2u, 5);
      ++i;
      continue;
    }
    int run = 0;
    while (i + run < n && literal[i + run] == 0) ++run;
    if (run >= 20) {
      run = std::min(run, 531);
      out.Put(2, 5);
      out.Put(static_cast<std::uint32_t>(run - 20), 9);
    } else if (run >= 3) {
      run = std::min(run, 18);
      out.Put(1, 5);
      out.Put(static_cast<std::uint32_t>(run - 3), 4);
    } else {
      run = 1;
      out.Put(0, 5);
    }
    i += run;
  }
  out.Put(static_cast<std::uint32_t>(position.size()), 4);
  for (int length : position) PutAuxLength(out, length);
}

TEST_F(Lh5Decoder, CodesLongerThanTheTableWalkTheTrees) {
  // 'a'..'n' have lengths 1..14 and 'o' 14: the last three need branch
  // nodes, as do the long position codes below.
  std::vector<std::uint8_t> literal(510, 0);
  for (int i = 0; i < 14; ++i) literal['a' + i] = static_cast<std::uint8_t>(i + 1);
  literal['o'] = 14;
  std::vector<std::uint8_t> position(14, 0);
  for (int j = 0; j < 13; ++j)
    position[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(j + 1);
  position[13] = 13;
  BitWriter out;
  const std::string text = "onmlkjihgfedcbaonmnomo";
  PutBlock(out, static_cast<std::uint16_t>(text.size()), literal, position);
  const Code literalCode(literal);
  for (char ch : text) literalCode.Put(out, ch);
  ExpectOutput(Decode(out, static_cast<std::int32_t>(text.size())), Text(text));

  // Matches through position codes of 9 to 13 bits.
  literal[256] = 15;  // a match of 3 bytes
  literal['o'] = 16;
  literal['p'] = 16;
  BitWriter matches;
  PutBlock(matches, 3 + 3, literal, position);
  const Code code(literal), positionCode(position);
  Model m;
  for (char ch : std::string("pop")) {
    code.Put(matches, ch);
    m.Literal(ch);
  }
  for (int j : {12, 13, 9}) {
    code.Put(matches, 256);
    positionCode.Put(matches, j);
    matches.Put(1, j - 1);
    m.Match(3, (1 << (j - 1)) + 2);
  }
  ExpectOutput(Decode(matches, static_cast<std::int32_t>(m.out.size())), m.out);
}

TEST_F(Lh5Decoder, UncoveredPatternsDecodeAsSymbolZero) {
  // Only 'A' has a code (0): the pattern 1 belongs to none and reads as a
  // NUL byte of no bits, so the rest of the block is NULs.
  std::vector<std::uint8_t> literal(510, 0);
  literal['A'] = 1;
  BitWriter out;
  PutBlock(out, 4, literal, {1});
  out.PutBit(0);
  out.PutBit(1);
  ExpectOutput(Decode(out, 4), Bytes{'A', 0, 0, 0});

  // Only codes longer than the table: nothing is cleared by the table's
  // own rule, yet the uncovered entries must not keep the last block's.
  BitWriter late;
  PutFlatBlock(late, 1);
  PutLiteral(late, '1');
  std::vector<std::uint8_t> longOnly(510, 0);
  longOnly['B'] = 13;
  longOnly['C'] = 13;
  PutBlock(late, 4, longOnly, {1});
  late.Put(0, 13);  // B
  late.Put(1, 13);  // C
  late.PutBit(1);
  ExpectOutput(Decode(late, 5), Bytes{'1', 'B', 'C', 0, 0});
}

// Streams no encoder makes: over-full and over-long length sets, counts and
// runs past the arrays, one-symbol values outside the alphabet. Each must
// stay inside its arrays (the sanitizer build checks), end, and decode as
// the reference does.
TEST_F(Lh5Decoder, HostileLengthSetsStayBounded) {
  std::vector<BitWriter> streams(7);
  {
    BitWriter& out = streams[0];  // every literal length 1, position lengths 1
    std::vector<std::uint8_t> literal(510, 1);
    PutBlock(out, 500, literal, std::vector<std::uint8_t>(14, 1));
  }
  {
    BitWriter& out = streams[1];  // 31 length-code lengths of 20 bits, run of 3
    out.Put(9, 16);
    out.Put(31, 5);
    for (int i = 0; i < 31; ++i) {
      PutAuxLength(out, i % 2 == 0 ? 20 : 1);
      if (i == 2) out.Put(3, 2);
    }
    out.Put(511, 9);
    for (int i = 0; i < 40; ++i) out.Put(0x5A5A, 16);
  }
  {
    BitWriter& out = streams[2];  // 511 literal lengths ending in a run of 531
    out.Put(60000, 16);
    out.Put(0, 5);
    out.Put(2, 5);  // one-symbol length code: every length symbol is a run
    out.Put(511, 9);
    for (int i = 0; i < 30; ++i) out.Put(0x1FF, 9);
    out.Put(15, 4);
    for (int j = 0; j < 15; ++j) PutAuxLength(out, 16);
  }
  {
    BitWriter& out = streams[3];  // one-symbol values outside the alphabets
    out.Put(1000, 16);
    out.Put(0, 5);
    out.Put(31, 5);
    out.Put(0, 9);
    out.Put(511, 9);
    out.Put(0, 4);
    out.Put(15, 4);
  }
  {
    BitWriter& out = streams[4];  // many 16-bit codes: the trees run out
    std::vector<std::uint8_t> literal(510, 16);
    for (int s = 0; s < 8; ++s) literal[static_cast<std::size_t>(s)] = 2;
    PutBlock(out, 3000, literal, std::vector<std::uint8_t>(14, 9));
    for (int i = 0; i < 400; ++i) out.Put(0xFFFF, 16);
  }
  {
    BitWriter& out = streams[5];  // a full table plus long codes that wrap
    std::vector<std::uint8_t> literal(510, 0);
    for (int s = 0; s < 4097 / 256 + 1; ++s) literal[static_cast<std::size_t>(s)] = 4;
    literal[300] = 12;
    for (int s = 301; s < 400; ++s) literal[static_cast<std::size_t>(s)] = 13 + s % 4;
    PutBlock(out, 2000, literal, {3, 3, 3, 3, 3, 3, 3, 3, 16, 16});
    for (int i = 0; i < 400; ++i) out.Put(0xF0F0u ^ static_cast<unsigned>(i * 2654435761u), 16);
  }
  {
    // Short codes leave one entry; long codes of the lower symbols wrap
    // past it to entry 0 before the short codes fill it: they meet what the
    // table held before, which must be defined (zeros, then the last block's).
    for (int block = 0; block < 2; ++block) {
      std::vector<std::uint8_t> literal(510, 0);
      for (int s = 0; s < 100; ++s) literal[static_cast<std::size_t>(s)] = 13;
      for (int len = 1; len <= 12; ++len)
        literal[static_cast<std::size_t>(99 + len)] = static_cast<std::uint8_t>(len);
      PutBlock(streams[6], 40, literal, {2, 2, 2, 2, 9, 9, 16});
      for (int i = 0; i < 40; ++i) streams[6].Put(static_cast<std::uint32_t>(i * 977), 13);
    }
  }
  for (std::size_t i = 0; i < streams.size(); ++i) {
    for (char digit : {'4', '5'}) {
      Decoded d = Decode(streams[i], 70000, digit);
      EXPECT_LE(d.bytes.size(), 70000u) << "stream " << i;
    }
  }
}

// The decoder takes its eight buffers from the program's allocator for each
// member: a ninth request never comes, an eighth refused ends the program.
TEST_F(Lh5Decoder, TakesEightBlocksPerMember) {
  BitWriter out;
  PutFlatBlock(out, 1);
  PutLiteral(out, 'm');
  lzh::SetAllocationBudget(8);
  Decoded d = DecodeMember(out.Bytes(), 1);
  lzh::SetAllocationBudget(-1);
  EXPECT_EQ(d.bytes, Text("m"));
  EXPECT_EXIT(
      {
        lzh::SetAllocationBudget(7);
        DecodeMember(out.Bytes(), 1);
      },
      ::testing::ExitedWithCode(203), "");
}

// Random packed bytes, random sizes: the fast decoder and the reference
// agree on every write and on the CRC.
TEST_F(Lh5Decoder, ArbitraryStreamsDecodeAsTheReferenceDoes) {
  std::mt19937 rng(4);
  for (int round = 0; round < 300; ++round) {
    Bytes packed(1 + rng() % 600);
    for (auto& b : packed) b = static_cast<std::uint8_t>(rng());
    if (round % 3 == 0) {
      // A plausible header, so that decoding goes past the tables.
      BitWriter out;
      PutFlatBlock(out, static_cast<std::uint16_t>(rng()));
      packed.insert(packed.begin(), out.Bytes().begin(), out.Bytes().end());
    }
    DecodeOptions options;
    options.digit = round % 2 ? '4' : '5';
    options.readChunk = static_cast<int>(rng() % 4);
    std::int32_t size = static_cast<std::int32_t>(rng() % 70000);
    Decoded fast = DecodeMember(packed, size, options);
    options.carefulPath = true;
    ASSERT_EQ(DecodeMember(packed, size, options), fast) << "round " << round;
    options.reference = true;
    ASSERT_EQ(DecodeMember(packed, size, options), fast) << "round " << round;
  }
}

}  // namespace
