#include <gtest/gtest.h>

#include "codec/decoder.h"
#include "support/archive_builder.h"
#include "support/memory_file_system.h"

namespace {

// Runs CopyStored over `packed` and returns what reached the output file.
// declared is the packed size the header gives, original its original size
// (-1: the packed size).
struct StoredRun {
  explicit StoredRun(const lzhtest::Bytes& packed, std::int64_t writeBudget = -1, int declared = -1,
                     int original = -1) {
    fs.AddFile("a.lzh", packed);
    fs.AddDirectory("out");
    fs.writeBudget = writeBudget;
    lzh::FileHandle archive = fs.OpenRead("a.lzh");
    lzh::FileHandle output = fs.CreateOutput("out/f");
    if (declared < 0) declared = static_cast<int>(packed.size());
    lzh::MemberStream member{
        fs, archive, output, declared, original < 0 ? declared : original, lzh::LhMethodId('0')};
    lzh::CopyStored(member);
    crc = member.runningCrc;
    packedLeft = member.packedLeft;
    overran = member.overran;
    writes = fs.writes;
    written = fs.Find("out/f")->bytes;
  }
  lzh::CrcTableScope table;
  lzhtest::MemoryFileSystem fs;
  std::uint32_t crc = 0;
  std::int32_t packedLeft = 0;
  bool overran = false;
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

// Packed bytes that go on past the original size are written only up to
// it, and the stream is overran; the size itself, or fewer packed bytes
// (a cut archive), is not.
TEST(CopyStored, PackedBytesPastTheOriginalSizeAreNotWritten) {
  const struct {
    int packed;
    int original;
    std::size_t written;
    bool overran;
  } kCases[] = {{1000000, 5, 5, true},
                {100000, 40000, 40000, true},
                {1, 0, 0, true},
                {40000, 40000, 40000, false},
                {500, 2000, 500, false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.packed) + " packed, " + std::to_string(c.original));
    lzhtest::Bytes data = Pattern(static_cast<std::size_t>(c.packed));
    StoredRun run(data, -1, -1, c.original);
    EXPECT_EQ(run.written, lzhtest::Bytes(data.begin(), data.begin() + c.written));
    EXPECT_EQ(run.crc, lzhtest::Crc16(run.written));
    EXPECT_EQ(run.overran, c.overran);
  }
}

TEST(CopyStored, TruncatedArchiveStopsWhenAReadDeliversNothing) {
  lzhtest::Bytes data = Pattern(1000);
  StoredRun run(data, -1, 5000);  // the header claims more than there is
  EXPECT_EQ(run.written, data);
  EXPECT_EQ(run.packedLeft, 4000);
}

}  // namespace
