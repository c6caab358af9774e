// The PE checksum the builder writes over the stub and its archive.
#include "sfx/pe_checksum.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t ChecksumOf(const Bytes& file, std::uint32_t field) {
  lzh::sfx::PeChecksum checksum(field);
  checksum.Add(file.data(), file.size());
  return checksum.Finish();
}

TEST(PeChecksum, FoldsCarriesAddsTheLengthAndPadsAnOddByte) {
  const struct {
    Bytes file;
    std::uint32_t expected;
  } cases[] = {
      {{0x01, 0x02, 0x03}, 0x0201 + 0x0003 + 3},
      {{0xFF, 0xFF, 0x02, 0x00}, 0x0002 + 4},  // 0xFFFF + 2 = 0x10001, folded to 2
      {{}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ChecksumOf(c.file, 1000), c.expected);
}

// A file handed in chunks, split anywhere (odd offsets too), sums as a whole;
// whatever the field held counts as zero.
TEST(PeChecksum, ChunkSeamsAndTheFieldsOwnBytesDoNotCount) {
  Bytes file(301);
  for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 37 + 11);
  constexpr std::uint32_t kField = 0x59;  // odd, so the field straddles words
  std::uint32_t whole = ChecksumOf(file, kField);
  for (std::size_t split = 0; split <= file.size(); ++split) {
    lzh::sfx::PeChecksum checksum(kField);
    checksum.Add(file.data(), split);
    checksum.Add(file.data() + split, file.size() - split);
    ASSERT_EQ(checksum.Finish(), whole) << "split at " << split;
  }
  Bytes zeroed = file;
  for (std::uint32_t i = 0; i < 4; ++i) zeroed[kField + i] = 0;
  EXPECT_EQ(ChecksumOf(zeroed, 0xFFFFFF), whole);
}

TEST(PeChecksum, FieldFoundInPe32AndPe32PlusAndWritten) {
  for (std::uint16_t magic : {0x10B, 0x20B}) {
    Bytes exe(0x200, 0);
    exe[0] = 'M';
    exe[1] = 'Z';
    exe[0x3C] = 0x80;
    exe[0x80] = 'P';
    exe[0x81] = 'E';
    exe[0x80 + 20] = magic == 0x10B ? 224 : 240;  // optional header size
    exe[0x98] = static_cast<std::uint8_t>(magic);
    exe[0x99] = static_cast<std::uint8_t>(magic >> 8);
    std::uint32_t field = 0;
    std::string error;
    ASSERT_TRUE(lzh::sfx::FindChecksumField(exe, field, error)) << error;
    EXPECT_EQ(field, 0x80u + 24 + 64);
    std::uint32_t expected = ChecksumOf(exe, field);
    ASSERT_TRUE(lzh::sfx::WritePeChecksum(exe, error)) << error;
    EXPECT_EQ(exe[field] | exe[field + 1] << 8 | exe[field + 2] << 16, static_cast<int>(expected));
    EXPECT_EQ(ChecksumOf(exe, field), expected);  // the written value does not count
  }
  std::uint32_t field = 0;
  std::string error;
  EXPECT_FALSE(lzh::sfx::FindChecksumField(Bytes(0x100, 'x'), field, error));
  Bytes truncated = {'M', 'Z'};
  truncated.resize(0x40, 0);
  truncated[0x3C] = 0x3C;  // the PE header would lie beyond the file
  EXPECT_FALSE(lzh::sfx::FindChecksumField(truncated, field, error));
}

}  // namespace
