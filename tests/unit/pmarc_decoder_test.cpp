// -pm1- and -pm2- decoding: crafted streams whose bytes follow by hand from
// the format notes (src/codec/pm1_decoder.cpp, pm2_decoder.cpp), damaged
// ones among them, and the corpus members through small reads and through
// the step-by-step reference.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/decoder.h"
#include "support/bit_writer.h"
#include "support/corpus.h"
#include "support/decode_members.h"
#include "support/memory_file_system.h"
#include "support/pmarc_reference.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Decoded {
  std::string output;
  bool overran = false;
  std::int32_t reads = 0;
};

Decoded Decode(const char* method, const Bytes& packed, std::int32_t size, int readChunk = 0) {
  lzh::CrcTableScope table;
  lzhtest::MemoryFileSystem fs;
  fs.AddFile("a.lzh", packed);
  fs.readChunk = readChunk;
  lzh::FileHandle archive = fs.OpenRead("a.lzh");
  lzh::FileHandle output = fs.CreateOutput("out");
  lzh::MemberStream member{
      fs, archive, output, static_cast<std::int32_t>(packed.size()), size, lzh::MethodIdOf(method)};
  lzh::ToolDecoders().Decode(member);
  fs.Close(archive);
  fs.Close(output);
  const Bytes& bytes = fs.Find("out")->bytes;
  std::uint32_t crc = 0;
  lzh::CrcUpdate(bytes.data(), static_cast<std::int32_t>(bytes.size()), crc);
  EXPECT_EQ(crc, member.runningCrc);
  EXPECT_GE(member.packedLeft, 0);
  return {std::string(bytes.begin(), bytes.end()), member.overran, fs.reads};
}

struct Stream {
  const char* name;
  const char* method;
  std::string bits;  // '0' and '1'; anything else is a comment (digits in words)
  std::int32_t size;
  std::string output;
  bool overran = false;
};

std::string Repeat(const std::string& s, int times) {
  std::string r;
  for (int i = 0; i < times; ++i) r += s;
  return r;
}

std::string Alternating(int count) {
  std::string r;
  for (int i = 0; i < count; ++i) r += i % 2 == 0 ? '!' : ' ';
  return r;
}

const std::string kRuns = std::string(257, '!') + std::string(257, ' ') + "!!!" + " !!";

const Stream kStreams[] = {
    // Item code: 10 symbols, lengths from 1 in 2-bit fields: literal 0 gets
    // "0", copies 8 and 9 get "10" and "11". One offset code in use: no bits.
    {"pm2 literals and copies", "-pm2-",
     "0 01010 001 010  01 00 00 00 00 00 00 00 10 10  001 000 000 000 000"
     "  0 001 (place one: '!')  0 001 (' ')  10 000001 (two bytes, offset one)"
     "  11 111111 (three bytes from far back: spaces)  0 001 ('!')",
     8, "! !    !"},
    {"pm2 literal past the packed bytes", "-pm2-",
     "0 01010 001 010  01 00 00 00 00 00 00 00 10 10  001 000 000 000 000"
     "  0 001  0 001  10 000001  11 111111  0 001  (five bits of padding)",
     10, "! !    !!"},
    // Eight literal codes of 3 bits; the list moves a byte to the front as
    // it is written: places 255, 97, 129, 2.
    {"pm2 literal places", "-pm2-",
     "0 01000 011 001 11111111  111 111111  101 00001  110 000001  000 010", 4,
     std::string("\xFF\x00\xA0\xFF", 4)},
    // One item code of no bits, 28: 256 copies of the byte before, at first
    // the window's spaces. The tables are due again at 1, 2 and 4 KiB (one
    // bit, from the padding) and 8 KiB.
    {"pm2 one code of no bits", "-pm2-", "0 11101 000", 5120, std::string(5120, ' ')},
    {"pm2 run past the size", "-pm2-", "0 11101 000", 300, std::string(300, ' '), true},
    // Literal "0", copy 9 "10", run 28 "11"; offset codes 0 "0" and 4 "1"
    // (9 more bits, from 512).
    {"pm2 offset codes", "-pm2-",
     "0 11101 001 010  01 00 00 00 00 00 00 00 00 10 00 00 00 00 00 00 00 00 00"
     "  00 00 00 00 00 00 00 00 00 10  001 000 000 000 001"
     "  0 001  11  0 001  11  10 1 000000000  10 0 000011",
     520, kRuns},
    {"pm2 lengths oversubscribed", "-pm2-", "0 01010 001 010  01 01 01 00 00 00 00 00 00 00", 5,
     ""},
    {"pm2 item code 30", "-pm2-", "0 11111 000  000 000 000 000 000", 5, ""},
    // Symbol 0 alone has a code ("0"): "1" is none.
    {"pm2 bits that are no code", "-pm2-", "0 00010 001 001 1 0  0 001  1", 2, "!"},
    // Place code 31 (group a, no bits): a literal is 4 bits of place.
    // Copies before 64 bytes of output: the kind's second bit reads as 0
    // after a 0 and as 1 after a 1.
    {"pm1 run and copies", "-pm1-",
     "11111  1 10 (three literals) 0001 0001 0001  0 (kind zero) 000001"
     "  0 (copy) 1 (kind two) 00 (three bytes) 000100",
     8, "! ! !! !"},
    {"pm1 run past the size", "-pm1-", "11111  1 10  0001 0001 0001", 2, "! "},
    // Past the packed bytes zero bits go on: copies of kind 0 at distance 0.
    {"pm1 zero bits past the packed bytes", "-pm1-", "11111  1 00  0001", 9, "!!!!!!!!!"},
    {"pm1 copy from before the first byte", "-pm1-", "11111  0 0 000000", 4, ""},
    // Place code 0: f is "11" (from 192, six bits), e "10" (from 128).
    {"pm1 place groups", "-pm1-", "00000  1 01  11 111111  10 000000", 2,
     std::string("\xFF\x1F", 2)},
    // Two runs of 216 (no copy after them), then a copy of kind 3 ("1 0"),
    // whose distance has 9 bits past 320 bytes of output: 65.
    {"pm1 distance field widens", "-pm1-",
     "11111" + Repeat("1 11 111 1111 1111111" + Repeat("0001", 216), 2) +
         "  0 1 0 00 000000001  1 00 0000",
     436, Alternating(432) + "! !" + "!"},
};

TEST(PmarcDecoder, CraftedStreams) {
  for (const Stream& s : kStreams) {
    SCOPED_TRACE(s.name);
    lzhtest::BitWriter w;
    w.Put(s.bits.c_str());
    const Decoded d = Decode(s.method, w.Bytes(), s.size);
    EXPECT_EQ(d.output, s.output);
    EXPECT_EQ(d.overran, s.overran);
    const bool pm1 = std::string(s.method) == "-pm1-";
    const lzhtest::pmarc::Decoded want = pm1 ? lzhtest::pmarc::ReferencePm1(w.Bytes(), s.size)
                                             : lzhtest::pmarc::ReferencePm2(w.Bytes(), s.size);
    EXPECT_EQ(std::string(want.bytes.begin(), want.bytes.end()), s.output);
    EXPECT_EQ(want.overran, s.overran);
    EXPECT_EQ(Decode(s.method, w.Bytes(), 0).reads, 0);
  }
}

// Every corpus member of the two methods, read a few bytes at a time, and
// through the reference decoder.
TEST(PmarcDecoder, CorpusMembersThroughSmallReadsAndTheReference) {
  LZH_REQUIRE_CORPUS();
  int checked = 0;
  for (const char* path :
       {"msx-1/pm2.pma", "msx-1/comment.pma", "msx-1/long.pma", "generated/pm1/pm1.pma"}) {
    SCOPED_TRACE(path);
    const Bytes archive = lzhtest::ReadWholeFile(lzhtest::CorpusDir() + "/" + path);
    const auto whole = lzhtest::DecodeMembers(archive, "*");
    for (int chunk : {1, 7}) {
      const auto members = lzhtest::DecodeMembers(archive, "*", chunk);
      ASSERT_EQ(members.size(), whole.size());
      for (std::size_t i = 0; i < members.size(); ++i) {
        EXPECT_EQ(members[i].output, whole[i].output);
        EXPECT_EQ(members[i].runningCrc, whole[i].runningCrc);
      }
    }
    for (const auto& m : whole) {
      const auto want = m.method == "-pm1-"
                            ? lzhtest::pmarc::ReferencePm1(m.packed, m.originalSize)
                            : lzhtest::pmarc::ReferencePm2(m.packed, m.originalSize);
      EXPECT_EQ(want.bytes, m.output);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 35);
}

}  // namespace
