// -lh1- decoding of crafted streams: the initial code, the offset code, the
// window, the block seams of input and output, and damaged members.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codec/decoder.h"
#include "support/lh1_bit_writer.h"
#include "support/memory_file_system.h"

namespace {

using lzhtest::MemoryFileSystem;
using lzhtest::lh1::BitWriter;
using lzhtest::lh1::ReferenceDecode;
using lzhtest::lh1::StreamWriter;
using Bytes = std::vector<std::uint8_t>;

struct Decoded {
  Bytes output;
  std::uint32_t crc = 0;
  int reads = 0;
  int writes = 0;
};

std::uint32_t Crc(const Bytes& bytes, std::size_t count) {
  lzh::CrcTableScope table;
  std::uint32_t crc = 0;
  lzh::CrcUpdate(bytes.data(), static_cast<std::int32_t>(count), crc);
  return crc;
}

// Runs DecodeLh1 on an archive that holds `packed` and nothing else.
Decoded Decode(const Bytes& packed, std::int32_t originalSize, int readChunk = 0,
               std::int64_t writeBudget = -1) {
  lzh::CrcTableScope table;
  MemoryFileSystem fs;
  fs.AddFile("a.lzh", packed);
  fs.readChunk = readChunk;
  fs.writeBudget = writeBudget;
  lzh::FileHandle archive = fs.OpenRead("a.lzh");
  lzh::FileHandle output = fs.CreateOutput("out");
  auto packedSize = static_cast<std::int32_t>(packed.size());
  lzh::MemberStream member{fs, archive, output, packedSize, originalSize, lzh::MethodIdOf("-lh1-")};
  lzh::DecodeLh1(member);
  Decoded d;
  d.crc = member.runningCrc;
  d.reads = fs.reads;
  d.writes = fs.writes;
  fs.Close(archive);
  fs.Close(output);
  d.output = fs.Find("out")->bytes;
  return d;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(Lh1Decoder, InitialCodeGivesEightBitAndNineBitSymbols) {
  // Each stream decodes one symbol from the fresh tree; the padding after
  // it is never used.
  BitWriter t, s, zero;
  t.Put("00000000");   // symbol 116, 't'
  s.Put("111111111");  // symbol 115, 's'
  zero.Put("110001100");
  EXPECT_EQ(Decode(t.Bytes(), 1).output, Text("t"));
  EXPECT_EQ(Decode(s.Bytes(), 1).output, Text("s"));
  EXPECT_EQ(Decode(zero.Bytes(), 1).output, Bytes{0});
}

TEST(Lh1Decoder, LongestMatchAtOffsetZeroRepeatsTheLastByte) {
  StreamWriter w;
  w.Literal('x');
  w.Match(60, 0);
  EXPECT_EQ(Decode(w.Bytes(), 61).output, Text("x" + std::string(60, 'x')));

  // The same from the fresh tree, spelled out: 11000101 is symbol 313
  // (length 60), then nine 0 bits are offset 0: the byte before the first
  // output position, a space.
  BitWriter bits;
  bits.Put("11000101 000 000000");
  EXPECT_EQ(Decode(bits.Bytes(), 60).output, Text(std::string(60, ' ')));
}

TEST(Lh1Decoder, OffsetCodesReachBothEndsOfTheWindow) {
  std::mt19937 random(7);
  StreamWriter w;
  Bytes expected;
  for (int i = 0; i < 4096; ++i) {
    auto b = static_cast<std::uint8_t>(random());
    w.Literal(b);
    expected.push_back(b);
  }
  // Offset 4095: upper-bits code 11111111, low bits 111111. It reaches the
  // oldest byte still in the window, the first one written.
  w.Symbol(3 + 253);
  w.bits.Put("11111111 111111");
  expected.insert(expected.end(), expected.begin(), expected.begin() + 3);
  // Offset 0: code 000, low bits 000000.
  w.Symbol(4 + 253);
  w.bits.Put("000 000000");
  expected.insert(expected.end(), 4, expected.back());
  // Offset 257: upper value 4 has code 01010 (index 0x50, length 5).
  w.Symbol(5 + 253);
  w.bits.Put("01010 000001");
  std::size_t from = expected.size() - (4 * 64 + 1) - 1;
  for (int k = 0; k < 5; ++k) expected.push_back(expected[from + k]);
  Decoded d = Decode(w.Bytes(), static_cast<std::int32_t>(expected.size()));
  EXPECT_EQ(d.output, expected);
}

TEST(Lh1Decoder, MatchesIntoTheUnwrittenWindowCopySpaces) {
  // Offsets 0..4035 reach the initial fill before any byte is written over
  // it; 4036..4095 reach the 60 positions ahead of the write position,
  // which start as spaces too.
  for (unsigned offset : {0u, 1u, 2000u, 4034u, 4035u, 4036u, 4094u, 4095u}) {
    StreamWriter w;
    w.Match(60, offset);
    w.Literal('!');
    Bytes expected(60, ' ');
    expected.push_back('!');
    EXPECT_EQ(Decode(w.Bytes(), 61).output, expected) << "offset " << offset;
  }
}

TEST(Lh1Decoder, SizeZeroOrNegativeReadsAndWritesNothing) {
  BitWriter bits;
  bits.Put("00000000");
  for (std::int32_t size : {0, -1, INT32_MIN}) {
    Decoded d = Decode(bits.Bytes(), size);
    EXPECT_EQ(d.reads, 0) << size;
    EXPECT_EQ(d.writes, 0) << size;
    EXPECT_TRUE(d.output.empty()) << size;
    EXPECT_EQ(d.crc, 0u) << size;
  }
}

// A stream of `count` bytes made of literals and matches, with its bytes.
StreamWriter MixedStream(std::size_t count, unsigned seed, Bytes& expected) {
  std::mt19937 random(seed);
  StreamWriter w;
  expected.clear();
  while (expected.size() < count) {
    std::size_t left = count - expected.size();
    if (random() % 3 == 0 && left >= 3 && expected.size() > 100) {
      unsigned length = 3 + random() % 58;
      if (length > left) length = static_cast<unsigned>(left);
      unsigned offset = random() % (expected.size() < 4096 ? expected.size() : 4096);
      w.Match(length, offset);
      std::size_t from = expected.size() - offset - 1;
      for (unsigned k = 0; k < length; ++k) expected.push_back(expected[from + k]);
    } else {
      auto b = static_cast<std::uint8_t>('a' + random() % 20);
      w.Literal(b);
      expected.push_back(b);
    }
  }
  return w;
}

TEST(Lh1Decoder, OutputGoesOutInWholeBlocksOfTenThousandTwoHundredForty) {
  for (std::size_t size : {10239u, 10240u, 10241u, 20480u, 30000u}) {
    Bytes expected;
    StreamWriter w = MixedStream(size, 3, expected);
    Decoded d = Decode(w.Bytes(), static_cast<std::int32_t>(size));
    EXPECT_EQ(d.output, expected) << size;
    EXPECT_EQ(d.writes, static_cast<int>((size + 10239) / 10240)) << size;
    EXPECT_EQ(d.crc, Crc(expected, expected.size())) << size;
  }
}

TEST(Lh1Decoder, SmallReadsDecodeTheSameBytes) {
  Bytes expected;
  StreamWriter w = MixedStream(50000, 11, expected);
  // The archive holds more than the stream, as when a member follows.
  Bytes packed = w.Bytes();
  packed.resize(packed.size() + 300, 0xA5);
  for (int chunk : {1, 2, 3, 7, 8, 9, 10, 17, 4096, 10239}) {
    Decoded d = Decode(packed, 50000, chunk);
    EXPECT_EQ(d.output, expected) << "reads of " << chunk;
  }
}

TEST(Lh1Decoder, LookAheadStaysWithinOneByteOfTheStream) {
  // One 8-bit symbol: the first top-up fetches two bytes, so with reads of
  // one byte the decoder reads the first block, then one read as each of the
  // two bytes is handed out, and no further.
  Bytes packed = {0x00, 0xAA, 0xBB, 0xCC, 0xDD};
  Decoded d = Decode(packed, 1, 1);
  EXPECT_EQ(d.output, Text("t"));
  EXPECT_EQ(d.reads, 3);
}

TEST(Lh1Decoder, StreamEndingAtTheEndOfTheArchiveDecodesFully) {
  // The last symbol ends in the last bit of the file: the look-ahead byte
  // that the reader fetches past it is never read from the archive.
  StreamWriter w;
  w.Literal('a');
  w.Literal('b');
  for (int i = 0; w.bits.BitCount() % 8 != 0; ++i)
    w.Literal(static_cast<std::uint8_t>('c' + i % 3));
  Bytes expected = ReferenceDecode(w.Bytes(), 100000);
  ASSERT_FALSE(expected.empty());
  for (int chunk : {0, 1, 2}) {
    Decoded d = Decode(w.Bytes(), static_cast<std::int32_t>(expected.size()), chunk);
    EXPECT_EQ(d.output, expected);
  }
}

TEST(Lh1Decoder, TruncatedStreamStopsInsteadOfInventingBytes) {
  Bytes expected;
  StreamWriter w = MixedStream(40000, 5, expected);
  Bytes packed = w.Bytes();
  packed.resize(packed.size() / 2);
  // A size far beyond what the stream holds: decoding stops at the first
  // symbol that needs bits past the end of the archive.
  Decoded d = Decode(packed, 2000000000);
  ASSERT_LT(d.output.size(), expected.size());
  EXPECT_GT(d.output.size(), expected.size() / 3);
  EXPECT_EQ(d.output, Bytes(expected.begin(), expected.begin() + d.output.size()));
  EXPECT_EQ(d.output, ReferenceDecode(packed, 2000000000));

  Decoded empty = Decode({}, 1000);
  EXPECT_TRUE(empty.output.empty());
  EXPECT_EQ(empty.reads, 0) << "no packed bytes: nothing to read";
}

// The member's end, counted in window positions, lies 4,096 past its size:
// sizes up to the largest the program counts decode the stream all the same.
TEST(Lh1Decoder, SizesUpToTheLargestSignedCountDecode) {
  Bytes expected;
  StreamWriter w = MixedStream(12000, 13, expected);
  for (std::int32_t size : {INT32_MAX - 4096, INT32_MAX - 4095, INT32_MAX}) {
    Decoded d = Decode(w.Bytes(), size);
    ASSERT_GE(d.output.size(), expected.size()) << size;
    EXPECT_EQ(d.output, ReferenceDecode(w.Bytes(), size)) << size;
  }
}

TEST(Lh1Decoder, SmallMemberClaimingGigabytesEndsWithItsOwnData) {
  // A member of 64 packed bytes followed in the archive by a megabyte of
  // other data: the decoder reads its own bytes only.
  Bytes expected;
  StreamWriter w = MixedStream(40000, 5, expected);
  Bytes all = w.Bytes();
  Bytes archive(all.begin(), all.begin() + 64);
  Bytes following(1 << 20, 0x5A);
  archive.insert(archive.end(), following.begin(), following.end());
  lzh::CrcTableScope table;
  MemoryFileSystem fs;
  fs.AddFile("a.lzh", archive);
  lzh::FileHandle input = fs.OpenRead("a.lzh");
  lzh::FileHandle output = fs.CreateOutput("out");
  lzh::MemberStream member{fs, input, output, 64, 2000000000, lzh::MethodIdOf("-lh1-")};
  lzh::DecodeLh1(member);
  EXPECT_LT(fs.Find("out")->bytes.size(), 64u * 8 * 60);
  EXPECT_EQ(member.packedLeft, 0);
}

TEST(Lh1Decoder, MatchRunningPastTheSizeIsCutAtTheSize) {
  StreamWriter w;
  w.Literal('q');
  w.Match(60, 0);
  for (std::int32_t size : {2, 30, 60}) {
    Decoded d = Decode(w.Bytes(), size);
    EXPECT_EQ(d.output, Text(std::string(static_cast<std::size_t>(size), 'q'))) << size;
  }
}

TEST(Lh1Decoder, ShortWriteLeavesUnwrittenBytesOutOfTheCrc) {
  Bytes expected;
  StreamWriter w = MixedStream(25000, 9, expected);
  Decoded d = Decode(w.Bytes(), 25000, 0, 15000);
  EXPECT_EQ(d.output.size(), 15000u);
  EXPECT_EQ(d.crc, Crc(expected, 15000));
  EXPECT_EQ(d.writes, 3);  // the writes still happen, block by block
}

// The optimised decoder against the plain one on arbitrary bytes: random
// bits keep every weight close to its neighbours, so the tree is rebuilt
// often and searches run over long runs of equal weights.
TEST(Lh1Decoder, MatchesThePlainDecoderOnArbitraryBytes) {
  std::mt19937 random(2024);
  for (int round = 0; round < 24; ++round) {
    Bytes packed(1 + random() % 60000);
    for (auto& b : packed) b = static_cast<std::uint8_t>(random());
    if (round % 4 == 1)  // sparse bits favour the lightest symbols
      for (auto& b : packed) b &= static_cast<std::uint8_t>(random());
    if (round % 4 == 2)
      for (auto& b : packed) b |= static_cast<std::uint8_t>(random());
    auto size = static_cast<std::int32_t>(random() % 400000);
    Bytes expected = ReferenceDecode(packed, size);
    Decoded d = Decode(packed, size, round % 3 == 0 ? static_cast<int>(1 + random() % 40) : 0);
    ASSERT_EQ(d.output, expected) << "round " << round;
    EXPECT_EQ(d.crc, Crc(expected, expected.size()));
  }
}

}  // namespace
