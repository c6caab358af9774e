#include <gtest/gtest.h>

#include "codec/decoder.h"
#include "support/archive_builder.h"
#include "support/memory_file_system.h"

namespace {

// Runs CopyStored over `packed` and returns what reached the output file.
struct StoredRun {
  explicit StoredRun(const lzhtest::Bytes& packed, std::int64_t writeBudget = -1,
                     int declared = -1) {
    fs.AddFile("a.lzh", packed);
    fs.AddDirectory("out");
    fs.writeBudget = writeBudget;
    lzh::FileHandle archive = fs.OpenRead("a.lzh");
    lzh::FileHandle output = fs.CreateOutput("out/f");
    lzh::MemberStream member{
        fs, archive, output, declared < 0 ? static_cast<int>(packed.size()) : declared, 0, '0'};
    lzh::CopyStored(member);
    crc = member.runningCrc;
    packedLeft = member.packedLeft;
    writes = fs.writes;
    written = fs.Find("out/f")->bytes;
  }
  lzh::CrcTableScope table;
  lzhtest::MemoryFileSystem fs;
  std::uint32_t crc = 0;
  std::int32_t packedLeft = 0;
  int writes = 0;
  lzhtest::Bytes written;
};

lzhtest::Bytes Pattern(std::size_t n) {
  lzhtest::Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + (i >> 9));
  return b;
}

TEST(CopyStored, CopiesInChunksAndFoldsTheCrc) {
  struct Case {
    std::size_t size;
    int writes;
  } cases[] = {{0, 0}, {32768, 1}, {32769, 2}, {100000, 4}};
  for (const auto& c : cases) {
    lzhtest::Bytes data = Pattern(c.size);
    StoredRun run(data);
    EXPECT_EQ(run.written, data) << c.size;
    EXPECT_EQ(run.writes, c.writes) << c.size;
    EXPECT_EQ(run.crc, lzhtest::Crc16(data)) << c.size;
    EXPECT_EQ(run.packedLeft, 0);
  }
}

TEST(CopyStored, ShortWriteLeavesTheCrcOverWhatWasWritten) {
  lzhtest::Bytes data = Pattern(50000);
  StoredRun run(data, 40000);
  ASSERT_EQ(run.written.size(), 40000u);
  EXPECT_EQ(run.crc, lzhtest::Crc16(run.written));
  EXPECT_NE(run.crc, lzhtest::Crc16(data));
}

TEST(CopyStored, TruncatedArchiveStopsWhenAReadDeliversNothing) {
  lzhtest::Bytes data = Pattern(1000);
  StoredRun run(data, -1, 5000);  // the header claims more than there is
  EXPECT_EQ(run.written, data);
  EXPECT_EQ(run.packedLeft, 4000);
}

}  // namespace
