#include "archive/member_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "archive/header_cursor.h"
#include "support/archive_builder.h"
#include "support/memory_file_system.h"
#include "support/tool_only.h"

namespace {

using lzhtest::ArchiveBytes;
using lzhtest::Bytes;
using lzhtest::MemberPlan;
using lzhtest::Record;
using lzhtest::StoredMember;
using lzhtest::ToBytes;

// An archive in memory and a reader on it.
struct Reader {
  explicit Reader(const Bytes& bytes) {
    fs.AddFile("a.lzh", bytes);
    archive.archiveHandle = fs.OpenRead("a.lzh");
  }
  bool ReadAt(std::int32_t offset) {
    cursor.Seek(offset);
    return cursor.Read();
  }
  // The bytes from the reader's position on: the member's packed data.
  std::string Following(int count) {
    std::string out(static_cast<std::size_t>(count), '\0');
    out.resize(static_cast<std::size_t>(fs.Read(archive.archiveHandle, out.data(), count)));
    return out;
  }
  const lzh::MemberHeader& Member() const { return cursor.Member(); }
  const char* Name() const { return cursor.Name(); }

  lzhtest::MemoryFileSystem fs;
  lzh::ArchiveReader archive{fs, lzh::kInvalidFile, 0, {}};
  lzh::HeaderCursor cursor{archive};
};

TEST(MemberHeader, PlainHeaderWithoutExtension) {
  // headerSize 48 with a 26-byte name: no extension, data 50 bytes in.
  MemberPlan plan = StoredMember(std::string(26, 'n'), "payload", 0);
  Bytes bytes = ArchiveBytes({plan, StoredMember("second.txt", "2", 0)});
  ASSERT_EQ(bytes[0], 48);
  Reader r(bytes);
  ASSERT_TRUE(r.ReadAt(0));
  EXPECT_STREQ(r.Name(), std::string(26, 'n').c_str());
  EXPECT_EQ(r.Member().memberCrc, plan.crc);
  EXPECT_EQ(r.Member().packedSize, 7);
  EXPECT_EQ(r.Member().DataSize(), 7);
  EXPECT_EQ(r.Member().extensionText[0], 0);
  EXPECT_EQ(r.Following(7), "payload");
  EXPECT_EQ(lzh::NextHeaderOffset(r.Member(), 0), 50 + 7);
  ASSERT_TRUE(r.ReadAt(57));
  EXPECT_STREQ(r.Name(), "second.txt");
  EXPECT_FALSE(r.ReadAt(lzh::NextHeaderOffset(r.Member(), 57)));  // the end marker
}

TEST(MemberHeader, FieldsAreReadWhateverTheChecksumAndDashes) {
  MemberPlan plan = StoredMember("x", "abc", 0);
  plan.method = "*lh0*";
  plan.timeStamp = 0x31085E61;
  Bytes bytes = ArchiveBytes({plan});
  bytes[1] = 0x77;  // wrong checksum
  Reader r(bytes);
  ASSERT_TRUE(r.ReadAt(0));
  EXPECT_EQ(r.Member().method[3], '0');
  EXPECT_EQ(r.Member().timeStamp, 0x31085E61u);
  EXPECT_EQ(r.Member().originalSize, 3);
  EXPECT_FALSE(r.Member().hasUnixTime);
}

TEST(MemberHeader, EndOfArchiveCases) {
  EXPECT_FALSE(Reader(Bytes{0}).ReadAt(0)) << "zero end marker";
  EXPECT_FALSE(Reader(Bytes{}).ReadAt(0)) << "empty file";
  EXPECT_FALSE(Reader(Bytes{30, 0, '-', 'l'}).ReadAt(0)) << "file ends inside the signature";
  Bytes other = ArchiveBytes({StoredMember("a", "b")});
  other[3] = 'p';
  other[4] = 'm';
  EXPECT_FALSE(Reader(other).ReadAt(0)) << "not an lh method";
  Bytes level3 = ArchiveBytes({StoredMember("a", "b")});
  level3[20] = 3;
  EXPECT_FALSE(Reader(level3).ReadAt(0)) << "level 3 is not read";
}

TEST(MemberHeader, ShortReadCannotRevealAnEarlierSignature) {
  // A full header, then a file that ends two bytes into the next one.
  Bytes bytes = lzhtest::MemberBytes(StoredMember("a", "b"));
  std::size_t first = bytes.size();
  bytes.push_back(40);
  bytes.push_back(0);
  Reader r(bytes);
  ASSERT_TRUE(r.ReadAt(0));
  EXPECT_FALSE(r.ReadAt(static_cast<std::int32_t>(first)));
}

TEST(MemberHeader, NameLengths) {
  Reader longName(ArchiveBytes({StoredMember(std::string(255, 'L'), "z", 0)}));
  ASSERT_TRUE(longName.ReadAt(0));
  EXPECT_EQ(std::strlen(longName.Name()), 255u);
  EXPECT_EQ(longName.Following(1), "z");

  Reader empty(ArchiveBytes({StoredMember("", "z", 0)}));
  ASSERT_TRUE(empty.ReadAt(0));
  EXPECT_STREQ(empty.Name(), "");
  EXPECT_EQ(empty.Following(1), "z");

  // A name cut at its first zero byte still takes its whole length.
  Reader zero(ArchiveBytes({StoredMember(std::string("ab\0cd", 5), "z", 0)}));
  ASSERT_TRUE(zero.ReadAt(0));
  EXPECT_STREQ(zero.Name(), "ab");
  EXPECT_EQ(zero.Following(1), "z");
}

TEST(MemberHeader, Level0OperatingSystemAreaIsSkipped) {
  MemberPlan plan = StoredMember("unix.txt", "data!", 0);
  plan.osArea = {'U', 0x10, 0x20, 0x30, 0x40, 0xA4, 0x81, 1, 0, 1, 0};
  Reader r(ArchiveBytes({plan}));
  ASSERT_TRUE(r.ReadAt(0));
  EXPECT_STREQ(r.Name(), "unix.txt");
  EXPECT_EQ(r.Member().extensionText[0], 0);
  EXPECT_EQ(r.Member().DataSize(), 5);
  EXPECT_EQ(r.Following(5), "data!");
}

TEST(MemberHeader, Level1SingleDirectoryRecord) {
  MemberPlan plan = StoredMember("a.txt", "hello");
  plan.records = {Record{2, lzhtest::DirectoryRecordData("docs/old")}};
  Reader r(ArchiveBytes({plan}));
  ASSERT_TRUE(r.ReadAt(0));
  EXPECT_STREQ(r.Name(), "a.txt");
  EXPECT_EQ(r.Member().extensionSize, 3 + 9);
  EXPECT_STREQ(r.Member().extensionText,
               "\x02"
               "docs\xFF"
               "old\xFF");
  // packedSize counts the record; the decoder gets the data alone.
  EXPECT_EQ(r.Member().packedSize, 12 + 5);
  EXPECT_EQ(r.Member().DataSize(), 5);
  EXPECT_EQ(r.Following(5), "hello");
}

TEST(MemberHeader, Level1RecordChain) {
  MemberPlan plan = StoredMember("b.bin", "0123456789");
  plan.records = {Record{0x00, {0x12, 0x34}},  // header CRC
                  Record{0x54, {1, 2, 3, 4}},  // Unix time
                  Record{2, lzhtest::DirectoryRecordData("x/y")}, Record{0x50, {0xA4, 0x81}}};
  Bytes bytes = ArchiveBytes({plan, StoredMember("next", "N")});
  Reader r(bytes);
  ASSERT_TRUE(r.ReadAt(0));
  EXPECT_STREQ(r.Name(), "b.bin");
  EXPECT_STREQ(r.Member().extensionText, "\x02x\xFFy\xFF");
  EXPECT_EQ(r.Member().recordBytes, 5u + 7u + 7u + 5u);
  EXPECT_EQ(r.Member().DataSize(), 10);
  EXPECT_EQ(r.Following(10), "0123456789");
  std::int32_t next = lzh::NextHeaderOffset(r.Member(), 0);
  ASSERT_TRUE(r.ReadAt(next));
  EXPECT_STREQ(r.Name(), "next");
}

TEST(MemberHeader, Level2NamesDirectoryTimeAndData) {
  MemberPlan plan = StoredMember("file.txt", "level two", 2);
  plan.timeStamp = 1700000000;  // Unix time, UTC
  plan.records = {Record{2, lzhtest::DirectoryRecordData("dir/sub")}, Record{0x00, {0, 0}}};
  Bytes bytes = ArchiveBytes({plan, StoredMember("after", "A", 2)});
  Reader r(bytes);
  ASSERT_TRUE(r.ReadAt(0));
  EXPECT_EQ(r.Member().level, 2);
  EXPECT_STREQ(r.Name(), "file.txt");
  EXPECT_STREQ(r.Member().extensionText,
               "\x02"
               "dir\xFF"
               "sub\xFF");
  EXPECT_EQ(r.Member().memberCrc, plan.crc);
  EXPECT_TRUE(r.Member().hasUnixTime);
  EXPECT_EQ(r.Member().unixTime, 1700000000);
  EXPECT_EQ(r.Member().DataSize(), 9);
  EXPECT_EQ(r.Following(9), "level two");
  std::int32_t next = lzh::NextHeaderOffset(r.Member(), 0);
  EXPECT_EQ(next, static_cast<std::int32_t>(bytes[0] | bytes[1] << 8) + 9);
  ASSERT_TRUE(r.ReadAt(next));
  EXPECT_STREQ(r.Name(), "after");
}

// The port for OS-9/68k (OS id "K") writes a level-2 header size that
// leaves out the size field itself, 2 bytes short of where the records end.
TEST(MemberHeader, Level2HeaderOfOs9IsReadWhole) {
  MemberPlan plan = StoredMember("os9.txt", "from OS-9", 2);
  plan.records = {Record{2, lzhtest::DirectoryRecordData("dir")}};
  Bytes bytes = ArchiveBytes({plan, StoredMember("after", "A", 2)});
  std::uint16_t size = static_cast<std::uint16_t>((bytes[0] | bytes[1] << 8) - 2);
  bytes[0] = static_cast<std::uint8_t>(size);
  bytes[1] = static_cast<std::uint8_t>(size >> 8);
  bytes[23] = 'K';
  Reader r(bytes);
  ASSERT_TRUE(r.ReadAt(0));
  EXPECT_STREQ(r.Name(), "os9.txt");
  EXPECT_STREQ(r.Member().extensionText,
               "\x02"
               "dir\xFF");
  EXPECT_FALSE(r.Member().truncated);
  EXPECT_EQ(r.Following(9), "from OS-9");
  ASSERT_TRUE(r.ReadAt(lzh::NextHeaderOffset(r.Member(), 0)));
  EXPECT_STREQ(r.Name(), "after");
}

TEST(MemberHeader, Level2HeaderSmallerThanItsFixedPartEndsTheArchive) {
  Bytes bytes = ArchiveBytes({StoredMember("f", "x", 2)});
  bytes[0] = 20;
  bytes[1] = 0;
  EXPECT_FALSE(Reader(bytes).ReadAt(0));
}

TEST(MemberHeader, Level2RecordRunningPastTheHeaderIsNotRead) {
  MemberPlan plan = StoredMember("f.txt", "x", 2);
  Bytes bytes = ArchiveBytes({plan});
  // First record size (offset 24) claims more than the header holds.
  bytes[24] = 0xF0;
  bytes[25] = 0x7F;
  Reader r(bytes);
  ASSERT_TRUE(r.ReadAt(0));
  EXPECT_STREQ(r.Name(), "");
  EXPECT_EQ(r.Following(1), "x");
}

TEST(MemberHeader, NextHeaderBeyondTheCountsEndsTheArchive) {
  LZH_TOOL_ONLY("a packed size past 2 GiB");
  MemberPlan big = StoredMember("a", "b");
  big.packedSizeOverride = 0xFFFFFF00u;  // a size, not -256
  Reader r(ArchiveBytes({big}));
  ASSERT_TRUE(r.ReadAt(0));
  EXPECT_EQ(r.Member().DataSize(), 0xFFFFFF00);
  EXPECT_EQ(lzh::NextHeaderOffset(r.Member(), 0), 0xFFFFFF00 + r.Member().headerBytes);
  constexpr lzh::FileOffset kNearTheEnd = std::numeric_limits<lzh::FileOffset>::max() - 0x100;
  EXPECT_EQ(lzh::NextHeaderOffset(r.Member(), kNearTheEnd), -1) << "past the largest offset";
}

// A file of which only the given pieces hold bytes; all else reads as zeros.
class SparseFileSystem final : public lzhtest::MemoryFileSystem {
 public:
  SparseFileSystem(std::int64_t size, std::vector<std::pair<std::int64_t, Bytes>> pieces)
      : size_(size), pieces_(std::move(pieces)) {}
  lzh::FileHandle OpenRead(const char*) override { return kFile; }
  std::int32_t Read(lzh::FileHandle, void* buffer, std::int32_t count) override {
    std::int64_t n = std::min<std::int64_t>(count, std::max<std::int64_t>(0, size_ - at_));
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::memset(out, 0, static_cast<std::size_t>(n));
    for (const auto& [start, bytes] : pieces_) {
      for (std::int64_t i = 0; i < n; ++i) {
        std::int64_t k = at_ + i - start;
        if (k >= 0 && k < static_cast<std::int64_t>(bytes.size())) out[i] = bytes[k];
      }
    }
    at_ += n;
    return static_cast<std::int32_t>(n);
  }
  lzh::FileOffset Seek(lzh::FileHandle, lzh::FileOffset offset) override { return at_ = offset; }
  lzh::FileSize Size(lzh::FileHandle) override { return static_cast<lzh::FileSize>(size_); }

 private:
  static constexpr lzh::FileHandle kFile = 7;
  std::int64_t size_, at_ = 0;
  std::vector<std::pair<std::int64_t, Bytes>> pieces_;
};

TEST(HeaderCursor, StepsOverAMemberOverFourGibibytes) {
  LZH_TOOL_ONLY("sizes past 4 GiB");
  constexpr std::int64_t kHuge = 0x140000000;  // 5 GiB, in record 0x42 only
  MemberPlan huge = StoredMember("huge.bin", "", 2);
  Bytes sizes;
  for (std::int64_t value : {kHuge, kHuge})
    for (int i = 0; i < 8; ++i) sizes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  huge.records = {Record{0x42, sizes}};
  Bytes first = lzhtest::MemberBytes(huge);
  std::int64_t second = static_cast<std::int64_t>(first.size()) + kHuge;
  SparseFileSystem fs(second + 100, {{0, first}, {second, ArchiveBytes({StoredMember("b", "y")})}});
  lzh::ArchiveReader archive{fs, fs.OpenRead(""), 0, {}};
  lzh::HeaderCursor cursor(archive);
  ASSERT_TRUE(cursor.Seek(0) && cursor.Read());
  EXPECT_FALSE(cursor.Member().hasLargeSizes);
  EXPECT_EQ(cursor.Member().DataSize(), kHuge);
  EXPECT_EQ(cursor.Member().originalSize, kHuge);
  EXPECT_EQ(cursor.NextOffset(), second);
  ASSERT_TRUE(cursor.Advance() && cursor.Read());
  EXPECT_EQ(cursor.HeaderOffset(), second);
  EXPECT_STREQ(cursor.Name(), "b");
}

// A header that starts below 2 GiB and ends past it: the program's positions
// cannot count its end.
TEST(HeaderCursor, HeaderEndingPastTheLargestSignedPosition) {
  constexpr std::int64_t kAt = INT32_MAX - 20;
  MemberPlan level0 = StoredMember("zero.txt", "0", 0);
  level0.osArea = Bytes(40, 'o');
  for (const MemberPlan& plan : {level0, StoredMember("two.txt", "2", 2)}) {
    SCOPED_TRACE(plan.name);
    SparseFileSystem fs(kAt + 200, {{kAt, ArchiveBytes({plan})}});
    lzh::ArchiveReader archive{fs, fs.OpenRead(""), 0, {}};
    lzh::HeaderCursor cursor(archive);
    ASSERT_TRUE(cursor.Seek(static_cast<lzh::FileOffset>(kAt)) && cursor.Read());
    EXPECT_STREQ(cursor.Name(), plan.name.c_str());
    EXPECT_EQ(cursor.Member().hasLargeSizes, lzh::kProgramCore);
  }
}

TEST(MemberHeader, TextFromBufferStopsAtZero) {
  const std::uint8_t bytes[] = {'a', 'b', 0, 'c'};
  char text[5];
  lzh::TextFromBuffer(bytes, 4, text);
  EXPECT_STREQ(text, "ab");
  lzh::TextFromBuffer(bytes, 1, text);
  EXPECT_STREQ(text, "a");
  lzh::TextFromBuffer(bytes, 0, text);
  EXPECT_STREQ(text, "");
}

}  // namespace
