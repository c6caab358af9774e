#include "codec/crc16.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using lzh::CrcUpdate;

TEST(Crc16, CheckValueAndTableEntries) {
  lzh::CrcTableScope table;
  const char* digits = "123456789";
  std::uint32_t crc = 0;
  CrcUpdate(reinterpret_cast<const std::uint8_t*>(digits), 9, crc);
  EXPECT_EQ(crc, 0xBB3Du);
  EXPECT_EQ(lzh::crcTable[1], 0xC0C1);
  EXPECT_EQ(lzh::crcTable[128], 0xA001);
  EXPECT_EQ(lzh::crcTable[255], 0x4040);
}

TEST(Crc16, SplitRunsEqualOneRunAndEmptyRunsChangeNothing) {
  lzh::CrcTableScope table;
  std::uint8_t bytes[1000];
  for (int i = 0; i < 1000; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  std::uint32_t whole = 0, split = 0;
  CrcUpdate(bytes, 1000, whole);
  CrcUpdate(bytes, 1, split);
  CrcUpdate(bytes + 1, 0, split);
  CrcUpdate(bytes + 1, -5, split);
  CrcUpdate(bytes + 1, 600, split);
  CrcUpdate(bytes + 601, 399, split);
  EXPECT_EQ(whole, split);
  EXPECT_LE(whole, 0xFFFFu);
}

}  // namespace

// Long runs are folded in interleaved quarters, or by the command-line
// tool's sliced tables; whatever the length and the starting value, the
// result is the one of the plain byte-by-byte rule.
TEST(Crc16, LongRunsMatchTheByteByByteRule) {
  lzh::CrcTableScope table;
  std::uint8_t bytes[70000];
  std::uint32_t seed = 12345;
  for (auto& b : bytes) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  for (bool sliced : {false, true}) {
    lzh::UseSlicedCrc(sliced);
    for (std::int32_t count : {15, 16, 17, 63, 64, 65, 80, 127, 128, 144, 255, 256, 257, 258, 259,
                               1000, 4097, 26624, 70000}) {
      for (std::uint32_t start : {0u, 0xBB3Du, 0xFFFFu}) {
        std::uint32_t plain = start;
        for (std::int32_t i = 0; i < count; ++i)
          plain = lzh::crcTable[(plain ^ bytes[i]) & 0xFF] ^ (plain >> 8);
        std::uint32_t crc = start;
        CrcUpdate(bytes, count, crc);
        EXPECT_EQ(crc, plain) << count << " bytes from " << start << (sliced ? ", sliced" : "");
      }
    }
  }
  lzh::UseSlicedCrc(false);
}
