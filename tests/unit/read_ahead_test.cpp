// The command-line tool's read-ahead gives every read and seek the results
// the file system below gives.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "layers/read_ahead_file_system.h"
#include "support/memory_file_system.h"

namespace {

TEST(ReadAhead, ReadsAndSeeksAsTheFileSystemBelow) {
  std::vector<std::uint8_t> bytes(700000);
  std::mt19937 rng(16);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  lzhtest::MemoryFileSystem plain, below;
  plain.AddFile("a", bytes);
  below.AddFile("a", bytes);
  lzhcli::ReadAheadFileSystem ahead(below);
  lzh::FileHandle p = plain.OpenRead("a"), a = ahead.OpenRead("a");
  std::vector<std::uint8_t> want(400000), got(400000);
  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE(step);
    if (rng() % 3 == 0) {
      // Near the last position, anywhere, past the end, or negative.
      const std::int32_t offsets[] = {static_cast<std::int32_t>(rng() % bytes.size()),
                                      static_cast<std::int32_t>(bytes.size() + rng() % 10),
                                      -static_cast<std::int32_t>(rng() % 5 + 1)};
      std::int32_t offset = offsets[rng() % 3];
      ASSERT_EQ(ahead.Seek(a, offset), plain.Seek(p, offset));
    }
    // Header-sized reads mostly, some of a block and beyond.
    const std::int32_t sizes[] = {1, 2, 5, 22, 100, 32768, 262144, 300000};
    std::int32_t n = sizes[rng() % 8];
    std::int32_t fromPlain = plain.Read(p, want.data(), n);
    ASSERT_EQ(ahead.Read(a, got.data(), n), fromPlain);
    ASSERT_TRUE(std::equal(want.begin(), want.begin() + fromPlain, got.begin()));
  }
  EXPECT_LT(below.reads, 3000) << "small reads come from the block";
}

}  // namespace
