// -lzs- and -lz5- decoding of crafted streams: bit and byte order, the
// starting rings, copies by ring position, the member's end and streams cut
// short; and long streams across blocks and small reads.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codec/decoder.h"
#include "support/bit_writer.h"
#include "support/larc_reference.h"
#include "support/memory_file_system.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr lzh::MethodId kLzs = lzh::MethodIdOf("-lzs-");
constexpr lzh::MethodId kLz5 = lzh::MethodIdOf("-lz5-");

struct Decoded {
  Bytes output;
  std::uint32_t crc = 0;
  bool overran = false;
  int reads = 0;
};

// Decodes `packed` as a member followed in the archive by bytes of 0xFF,
// which read as literals by either method if the decoder read past its
// member.
template <typename Decode>
Decoded Run(Decode decode, lzh::MethodId method, const Bytes& packed, std::int32_t originalSize,
            int readChunk = 0) {
  lzh::CrcTableScope table;
  lzhtest::MemoryFileSystem fs;
  Bytes archive = packed;
  archive.insert(archive.end(), 64, 0xFF);
  fs.AddFile("a.lzh", archive);
  fs.readChunk = readChunk;
  lzh::FileHandle input = fs.OpenRead("a.lzh");
  lzh::FileHandle output = fs.CreateOutput("out");
  lzh::MemberStream member{fs,           input, output, static_cast<std::int32_t>(packed.size()),
                           originalSize, method};
  decode(member);
  fs.Close(input);
  fs.Close(output);
  Decoded d;
  d.output = fs.Find("out")->bytes;
  d.crc = member.runningCrc;
  d.overran = member.overran;
  d.reads = fs.reads;
  return d;
}

Decoded Decode(lzh::MethodId method, const Bytes& packed, std::int32_t size, int readChunk = 0) {
  return Run(lzh::DecodeLarc, method, packed, size, readChunk);
}

Decoded Reference(lzh::MethodId method, const Bytes& packed, std::int32_t size) {
  return Run([](lzh::MemberStream& m) { lzhtest::larc::ReferenceDecoder(m).Run(); }, method, packed,
             size);
}

// A literal (length 0) or a match from a ring position.
struct Item {
  unsigned value;  // the literal, or the ring position
  unsigned length = 0;
};
Item L(char c) { return {static_cast<std::uint8_t>(c)}; }
Item M(unsigned from, unsigned length) { return {from, length}; }

std::vector<Item> Literals(const std::string& text) {
  std::vector<Item> items;
  for (char c : text) items.push_back(L(c));
  return items;
}

Bytes Encode(lzh::MethodId method, const std::vector<Item>& items) {
  if (method == kLzs) {
    lzhtest::BitWriter bits;
    for (const Item& item : items) {
      if (item.length == 0) {
        bits.Put(1 << 8 | item.value, 9);
      } else {
        bits.Put(item.value << 4 | (item.length - 2), 16);
      }
    }
    return bits.Bytes();
  }
  Bytes bytes;
  std::size_t flagAt = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i % 8 == 0) {
      flagAt = bytes.size();
      bytes.push_back(0);
    }
    if (items[i].length == 0) {
      bytes[flagAt] |= static_cast<std::uint8_t>(1 << (i % 8));
      bytes.push_back(static_cast<std::uint8_t>(items[i].value));
    } else {
      bytes.push_back(static_cast<std::uint8_t>(items[i].value));
      bytes.push_back(
          static_cast<std::uint8_t>((items[i].value >> 8) << 4 | (items[i].length - 3)));
    }
  }
  return bytes;
}

std::vector<Item> Join(std::vector<Item> a, const std::vector<Item>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Prefix(Bytes bytes, std::size_t count) {
  bytes.resize(count);
  return bytes;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Expected outputs worked out by hand from the format notes of
// larc_decoder.cpp: -lzs- writes from ring position 2031 into spaces, -lz5-
// from 4078 into its filled ring.
TEST(LarcDecoder, CraftedStreams) {
  const std::string alphabet = "abcdefghijklmnopqr";
  struct Case {
    const char* name;
    lzh::MethodId method;
    Bytes packed;
    std::int32_t size;
    std::string expected;
    bool overran = false;
  } cases[] = {
      // 1 01000001, then 0 11111101110 0010: 'A', then 4 bytes from 2030.
      // They run over the bytes the match itself stores: ' ', 'A', ' ', 'A'.
      {"lzs bits, most significant first", kLzs, {0xA0, 0xBF, 0x71, 0x00}, 5, "A A A"},
      // Flag 0x02: a match, then a literal. 845 = 13 * 'A': its run of 13.
      {"lz5 flags, least significant first", kLz5, {0x02, 0x4D, 0x32, '!'}, 6, "AAAAA!"},
      {"lzs literals", kLzs, Encode(kLzs, Literals("Hi")), 2, "Hi"},
      {"lz5 matches in the starting ring", kLz5,
       Encode(kLz5, {M(3328 + 'A', 3), M(3584 + 255 - 'Z', 3), M(3968, 3), M(3840, 2 + 3)}), 14,
       std::string("ABCZYX   ") + std::string(5, '\0')},
      {"lzs match at the write position reads a whole ring back", kLzs,
       Encode(kLzs, {L('A'), M(2032, 2)}), 3, "A  "},
      {"lz5 match at the write position reads a whole ring back", kLz5,
       Encode(kLz5, {L('x'), M(4079, 3)}), 4, std::string("x") + std::string(3, '\0')},
      // 17 literals fill 2031..2047, 'r' goes to 0; the match stores its
      // first byte at 1 and reads it back as its fourth.
      {"lzs match wrapping at the ring's end", kLzs,
       Encode(kLzs, Join(Literals(alphabet), {M(2046, 4)})), 22, alphabet + "pqrp"},
      // 18 literals fill 4078..4095; the match stores from 0 on.
      {"lz5 match wrapping at the ring's end", kLz5,
       Encode(kLz5, Join(Literals(alphabet), {M(4094, 4)})), 22, alphabet + "qrqr"},
      {"lzs match past the size is cut", kLzs, Encode(kLzs, {L('A'), M(2031, 17)}), 5, "AAAAA",
       true},
      {"lz5 match past the size is cut", kLz5, Encode(kLz5, {M(845, 18)}), 4, "AAAA", true},
      // The run of 13 'A's, then the first bytes of the run of 'B's.
      {"lz5 match ending at the size", kLz5, Encode(kLz5, {M(845, 18)}), 18,
       std::string(13, 'A') + "BBBBB"},
      // 9 + 9 + 16 bits in 4 bytes: the match lacks its last 2 bits.
      {"lzs cut short in a match", kLzs, Prefix(Encode(kLzs, {L('A'), L('B'), M(0, 5)}), 4), 100,
       "AB"},
      {"lz5 cut short in a match", kLz5, {0x01, 'A', 0x4D}, 100, "A"},
      {"lz5 cut short before a flag byte", kLz5, Encode(kLz5, Literals("ABCDEFGH")), 100,
       "ABCDEFGH"},
      {"lzs no packed bytes", kLzs, {}, 100, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded d = Decode(c.method, c.packed, c.size);
    EXPECT_EQ(d.output, Text(c.expected));
    EXPECT_EQ(d.overran, c.overran);
    Decoded r = Reference(c.method, c.packed, c.size);
    EXPECT_EQ(r.output, Text(c.expected)) << "reference";
    EXPECT_EQ(r.overran, c.overran) << "reference";
  }
}

TEST(LarcDecoder, SizeZeroOrNegativeReadsNothing) {
  for (lzh::MethodId method : {kLzs, kLz5}) {
    for (std::int32_t size : {0, -1}) {
      Decoded d = Decode(method, {0xFF, 'a', 'b'}, size);
      EXPECT_TRUE(d.output.empty());
      EXPECT_EQ(d.reads, 0);
    }
  }
}

// Long streams of random items across many output and input blocks, read
// whole and in small pieces, against the reference decoder.
TEST(LarcDecoder, LongStreamsMatchTheReference) {
  std::mt19937 random(5);
  for (lzh::MethodId method : {kLzs, kLz5}) {
    const unsigned ring = method == kLzs ? 2048 : 4096;
    const unsigned shortest = method == kLzs ? 2 : 3;
    std::vector<Item> items;
    for (int i = 0; i < 60000; ++i) {
      if (random() % 3 == 0) {
        items.push_back(L(static_cast<char>('a' + random() % 8)));
      } else {
        items.push_back(M(random() % ring, shortest + random() % 16));
      }
    }
    const Bytes packed = Encode(method, items);
    const std::int32_t size = 400000;
    const Decoded expected = Reference(method, packed, size);
    ASSERT_GT(expected.output.size(), 300000u);
    for (int chunk : {0, 1, 7, 4096}) {
      SCOPED_TRACE(chunk);
      Decoded d = Decode(method, packed, size, chunk);
      EXPECT_EQ(d.output, expected.output);
      EXPECT_EQ(d.crc, expected.crc);
      EXPECT_EQ(d.overran, expected.overran);
    }
  }
}

}  // namespace
