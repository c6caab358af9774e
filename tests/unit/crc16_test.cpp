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
  EXPECT_EQ(lzh::CrcTable[1], 0xC0C1);
  EXPECT_EQ(lzh::CrcTable[128], 0xA001);
  EXPECT_EQ(lzh::CrcTable[255], 0x4040);
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
