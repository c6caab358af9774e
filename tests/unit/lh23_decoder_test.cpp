// -lh2- and -lh3- decoding: crafted streams whose bytes are worked out by
// hand from the format, damaged ones, and the corpus archives, whose
// members jlha extracts to the same bytes. Every stream is also decoded
// through reads of a few bytes and by the step-by-step reference.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/crc16.h"
#include "codec/decoder.h"
#include "support/bit_writer.h"
#include "support/corpus.h"
#include "support/decode_members.h"
#include "support/lh2_reference.h"
#include "support/lh3_reference.h"
#include "support/memory_file_system.h"
#include "support/sha256.h"

namespace {

using lzhtest::BitWriter;
using Bytes = std::vector<std::uint8_t>;

struct Decoded {
  Bytes bytes;
  std::uint32_t crc = 0;
  int writes = 0;
  bool overran = false;
  bool operator==(const Decoded&) const = default;
};

Decoded Decode(const Bytes& packed, std::int32_t originalSize, char digit, int readChunk = 0,
               bool reference = false, std::int32_t packedLeft = -1) {
  lzh::CrcTableScope table;
  lzhtest::MemoryFileSystem fs;
  fs.AddFile("p", packed);
  fs.readChunk = readChunk;
  lzh::MemberStream member{fs,
                           fs.OpenRead("p"),
                           fs.CreateOutput("out"),
                           packedLeft >= 0 ? packedLeft : static_cast<std::int32_t>(packed.size()),
                           originalSize,
                           lzh::LhMethodId(digit)};
  if (!reference) {
    lzh::ToolDecoders().Decode(member);
  } else if (digit == '3') {
    lzhtest::lh3::ReferenceDecoder(member).Run();
  } else {
    lzhtest::lh2::ReferenceDecoder(member).Run();
  }
  return Decoded{fs.Find("out")->bytes, member.runningCrc, fs.writes, member.overran};
}

std::uint32_t Crc(const Bytes& bytes) {
  lzh::CrcTableScope table;
  std::uint32_t crc = 0;
  lzh::CrcUpdate(bytes.data(), static_cast<std::int32_t>(bytes.size()), crc);
  return crc;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Repeat(const std::string& s, int times) {
  std::string r;
  for (int i = 0; i < times; ++i) r += s;
  return Text(r);
}

// -lh3- streams. A flat block gives all 286 literal/length symbols 9 bits
// and all 128 position codes 7 bits, so that a symbol's code is the symbol
// itself; a fixed block keeps the flat literal code and takes the fixed
// position code (codes 0 "00", 1 "0100", 2 "0101", 3 "01100" ...).
struct Lh3Writer {
  BitWriter out;
  bool fixed = false;
  void Block(int codes, bool fixedPositions = false) {
    fixed = fixedPositions;
    out.Put(static_cast<std::uint32_t>(codes), 16);
    for (int s = 0; s < 286; ++s) out.Put(0x18, 5);  // present, length 8 + 1
    if (fixed) {
      out.Put(0, 1);
      return;
    }
    out.Put(1, 1);
    for (int j = 0; j < 128; ++j) out.Put(7, 4);
  }
  void Literal(int byte) { out.Put(static_cast<std::uint32_t>(byte), 9); }
  void Match(int length, int distance) {
    if (length <= 31) {
      out.Put(static_cast<std::uint32_t>(253 + length), 9);
    } else {
      out.Put(285, 9);
      out.Put(static_cast<std::uint32_t>(length - 32), 8);
    }
    const int position = distance - 1;
    const int j = position >> 6;
    if (!fixed) {
      out.Put(static_cast<std::uint32_t>(j), 7);
    } else if (j == 0) {
      out.Put("00");
    } else if (j <= 2) {
      out.Put(static_cast<std::uint32_t>(0x4 + j - 1), 4);  // 0100, 0101
    } else {
      ASSERT_LE(j, 5);
      out.Put(static_cast<std::uint32_t>(0xC + j - 3), 5);  // 01100 ...
    }
    out.Put(static_cast<std::uint32_t>(position & 63), 6);
  }
};

// The bytes a sequence of literals and matches stands for, spaces before
// the first.
struct Model {
  Bytes out;
  void Literal(int byte) { out.push_back(static_cast<std::uint8_t>(byte)); }
  void Match(int length, int distance) {
    for (int i = 0; i < length; ++i) {
      const auto from = static_cast<std::int64_t>(out.size()) - distance;
      out.push_back(from < 0 ? ' ' : out[static_cast<std::size_t>(from)]);
    }
  }
};

// -lh2- streams: each symbol in the code the reference's model gives it
// at that point, so that the model is counted as the decoder counts it.
struct Lh2Writer {
  lzhtest::lh2::Model model;
  BitWriter out;
  std::int64_t decoded = 0;
  std::vector<std::pair<std::uint64_t, std::int64_t>> ends;  // bits and bytes after each symbol
  void Code(const lzhtest::lh2::Tree& tree, int symbol) {
    for (int bit : lzhtest::lh2::Model::CodeOf(tree, symbol))
      out.PutBit(static_cast<unsigned>(bit));
  }
  void Literal(int byte) {
    Code(model.code, byte);
    model.CountCode(byte);
    ++decoded;
    ends.push_back({out.BitCount(), decoded});
  }
  void Match(int length, int distance) {
    const int c = length <= 31 ? 253 + length : 285;
    Code(model.code, c);
    model.CountCode(c);
    if (c == 285) out.Put(static_cast<std::uint32_t>(length - 32), 8);
    model.GrowPositions(decoded);
    const int position = distance - 1;
    Code(model.position, position >> 6);
    model.CountPosition(position >> 6);
    out.Put(static_cast<std::uint32_t>(position & 63), 6);
    decoded += length;
    ends.push_back({out.BitCount(), decoded});
  }
};

struct Case {
  const char* name;
  char digit;
  std::function<Bytes()> stream;
  std::int32_t originalSize;
  Bytes expected;
  bool overran = false;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  cases.push_back({"lh3 literals, overlapping and long matches", '3',
                   [] {
                     Lh3Writer w;
                     w.Block(6);
                     w.Literal('a');
                     w.Literal('b');
                     w.Match(5, 2);    // ababa
                     w.Match(31, 1);   // 31 a: the longest short symbol
                     w.Match(32, 1);   // symbol 285 with 0
                     w.Match(287, 1);  // 285 with 255: the longest match
                     return w.out.Bytes();
                   },
                   2 + 5 + 31 + 32 + 287, Text("ababab" + std::string(1 + 31 + 32 + 287, 'a'))});
  cases.push_back({"lh3 match before the first byte copies spaces", '3',
                   [] {
                     Lh3Writer w;
                     w.Block(2);
                     w.Match(4, 8192);  // position 8191: code 127 and 63
                     w.Literal('!');
                     return w.out.Bytes();
                   },
                   5, Text("    !")});
  {
    // Literals, then matches of each of the first four fixed codes, the
    // last in a second block.
    Lh3Writer w;
    Model m;
    w.Block(200 + 3, true);
    for (int i = 0; i < 200; ++i) {
      w.Literal(i * 7 % 251);
      m.Literal(i * 7 % 251);
    }
    for (int distance : {2, 65, 129 + 9}) {
      w.Match(3, distance);
      m.Match(3, distance);
    }
    w.Block(1, true);
    w.Match(3, 193 + 5);
    m.Match(3, 193 + 5);
    const Bytes packed = w.out.Bytes();
    cases.push_back({"lh3 fixed position code, then a second block", '3',
                     [packed] { return packed; }, static_cast<std::int32_t>(m.out.size()), m.out});
  }
  cases.push_back({"lh3 codes of one symbol take no bits", '3',
                   [] {
                     Lh3Writer w;
                     w.Block(8);
                     for (char c : std::string("abcdefgh")) w.Literal(c);
                     w.out.Put(2, 16);
                     w.out.Put("10000 10000 10000");  // three lengths of 1 ...
                     w.out.Put(256, 9);               // ... announce the one symbol 256
                     w.out.Put(1, 1);
                     w.out.Put("0001 0001 0001");  // and the one position code 0
                     w.out.Put(0, 7);
                     w.out.Put(2, 6);  // 3 back
                     w.out.Put(7, 6);  // 8 back
                     return w.out.Bytes();
                   },
                   14, Text("abcdefghfghdef")});
  cases.push_back({"lh3 a count of 0 ends the member short", '3',
                   [] {
                     Lh3Writer w;
                     w.Block(1);
                     w.Literal('q');
                     w.out.Put(0, 16);
                     return w.out.Bytes();
                   },
                   100, Text("q")});
  cases.push_back({"lh3 past the packed bytes zero bits end it at the next block", '3',
                   [] {
                     Lh3Writer w;
                     w.Block(2);
                     w.Literal('z');
                     return w.out.Bytes();
                   },
                   100, Bytes{'z', 0}});
  cases.push_back({"lh3 a last match past the size is cut", '3',
                   [] {
                     Lh3Writer w;
                     w.Block(2);
                     w.Literal('m');
                     w.Match(40, 1);
                     return w.out.Bytes();
                   },
                   10, Text(std::string(10, 'm')), true});
  cases.push_back({"lh3 output blocks and the dictionary behind them", '3',
                   [] {
                     Lh3Writer w;
                     w.Block(2 + 300);
                     w.Literal('<');
                     w.Literal('>');
                     // 300 matches of 287 cross two output blocks; the
                     // farthest reaches back into the previous one.
                     for (int i = 0; i < 300; ++i) w.Match(287, i < 30 || i % 2 ? 2 : 8192);
                     return w.out.Bytes();
                   },
                   2 + 300 * 287, Repeat("<>", 1 + 300 * 287 / 2)});
  // -lh2-: the first symbols from the initial tree, worked out by hand:
  // symbol s sits on node 570 - s, reached by the bits of 571 - s after its
  // leading 1, each inverted (a 1 bit leads to the first child).
  cases.push_back({"lh2 an 8-bit code of the initial tree", '2',
                   [] {
                     BitWriter out;
                     out.Put("00100101");  // 'a' = 97: 474 = 1 11011010
                     return out.Bytes();
                   },
                   1, Text("a")});
  cases.push_back({"lh2 a 9-bit code of the initial tree", '2',
                   [] {
                     BitWriter out;
                     out.Put("111000100");  // 0: 571 = 1 000111011
                     return out.Bytes();
                   },
                   1, Bytes{0}});
  {
    // Literals and matches of every kind, the position code growing with
    // the member up to its 128 codes, and the literal code past its
    // rebuild at a root weight of 0x8000.
    Lh2Writer w;
    Model m;
    auto literal = [&](int byte) {
      w.Literal(byte);
      m.Literal(byte);
    };
    auto match = [&](int length, int distance) {
      w.Match(length, distance);
      m.Match(length, distance);
    };
    match(5, 64);  // before the first byte: spaces
    for (int i = 0; i < 40; ++i) literal("lh2 "[i % 4]);
    match(31, 4);
    match(32, 7);
    match(287, 9);
    for (int i = 0; i < 9000; ++i) {
      if (i % 3 == 0) {
        match(3 + i % 290 % 285,
              1 + (i * 97) % static_cast<int>(std::min<std::size_t>(m.out.size(), 8192)));
      } else {
        literal((i * 13 + i / 7) & 0xFF);
      }
    }
    for (int i = 0; i < 33000; ++i) literal(i * 7 & 0xFF);
    // Every symbol again in the rebuilt code.
    for (int i = 0; i < 600; ++i) {
      literal(i & 0xFF);
      match(3 + i % 285, 8192 - i);
    }
    const Bytes packed = w.out.Bytes();
    cases.push_back({"lh2 literals and matches, codes growing and rebuilt", '2',
                     [packed] { return packed; }, static_cast<std::int32_t>(m.out.size()), m.out});
    // Cut short: decoding stops where a symbol needs bits past the data.
    const Bytes cut(packed.begin(), packed.begin() + 1000);
    std::int64_t whole = 0;
    for (auto [bits, bytes] : w.ends)
      if (bits <= 8000) whole = bytes;
    cases.push_back({"lh2 a stream cut short ends the member there", '2', [cut] { return cut; },
                     static_cast<std::int32_t>(m.out.size()),
                     Bytes(m.out.begin(), m.out.begin() + whole)});
  }
  {
    // 0x8000 position counts rebuild the position code.
    Lh2Writer w;
    Model m;
    for (int i = 0; i < 200; ++i) {
      w.Literal(i);
      m.Literal(i);
    }
    for (int i = 0; i < 0x8000 + 500; ++i) {
      const int distance = 1 + (i * 37) % 190;
      w.Match(3, distance);
      m.Match(3, distance);
    }
    const Bytes packed = w.out.Bytes();
    cases.push_back({"lh2 the position code rebuilt", '2', [packed] { return packed; },
                     static_cast<std::int32_t>(m.out.size()), m.out});
  }
  cases.push_back({"lh2 a last match past the size is cut", '2',
                   [] {
                     Lh2Writer w;
                     w.Literal('m');
                     w.Match(40, 1);
                     return w.out.Bytes();
                   },
                   10, Text(std::string(10, 'm')), true});
  return cases;
}

TEST(Lh23Decoder, CraftedStreamsDecodeAsWorkedOut) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const Bytes packed = c.stream();
    const Decoded d = Decode(packed, c.originalSize, c.digit);
    EXPECT_EQ(d.bytes, c.expected);
    EXPECT_EQ(d.crc, Crc(c.expected));
    EXPECT_EQ(d.overran, c.overran);
    for (int chunk : {1, 3}) EXPECT_EQ(Decode(packed, c.originalSize, c.digit, chunk), d);
    EXPECT_EQ(Decode(packed, c.originalSize, c.digit, 0, true), d) << "reference";
  }
}

// The corpus members, which no extractor verified for the manifest: jlha
// extracts the -lh3- one to these bytes, whose size and CRC are the
// header's. The -lh2- one holds the same file (the same size and CRC);
// jlha's output of it goes wrong from byte 382 on.
TEST(Lh23Decoder, CorpusMembersDecodeToTheBytesJlhaExtracts) {
  LZH_REQUIRE_CORPUS();
  for (const char* archive : {"windows-2/lh2.lzh", "windows-2/lh3.lzh"}) {
    SCOPED_TRACE(archive);
    const auto members =
        lzhtest::DecodeMembers(lzhtest::ReadWholeFile(lzhtest::CorpusDir() + "/" + archive), "*");
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].output.size(), 2853u);
    EXPECT_EQ(members[0].runningCrc, members[0].headerCrc);
    EXPECT_EQ(lzhtest::Sha256Hex(members[0].output),
              "5be9bcf1cf81113ec558a62dd91b3057e6fc211a5ba2dd538fa66738a591f145");
  }
}

}  // namespace
