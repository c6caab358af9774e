// The POSIX half of the platform layer gives the results the Win32 calls
// give.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>

#include "platform/file_system.h"
#include "platform/heap.h"

namespace {

class PosixFileSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lzhsfx-fs-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::string dir;
  lzh::FileSystem& fs = lzh::HostFileSystem();
};

TEST_F(PosixFileSystem, ReadWriteSeekSizeClose) {
  std::string path = dir + "\\f.bin";  // "\" separates components here too
  lzh::FileHandle out = fs.CreateOutput(path.c_str());
  ASSERT_NE(out, lzh::kInvalidFile);
  EXPECT_EQ(fs.Write(out, "hello world", 11), 11);
  EXPECT_TRUE(fs.Close(out));
  EXPECT_EQ(access((dir + "/f.bin").c_str(), F_OK), 0);

  lzh::FileHandle in = fs.OpenRead(path.c_str());
  ASSERT_NE(in, lzh::kInvalidFile);
  EXPECT_EQ(fs.Size(in), 11u);
  EXPECT_EQ(fs.Seek(in, 6), 6);
  char buffer[16] = {};
  EXPECT_EQ(fs.Read(in, buffer, 16), 5);
  EXPECT_STREQ(buffer, "world");
  EXPECT_EQ(fs.Read(in, buffer, 16), 0) << "nothing past the end";
  EXPECT_EQ(fs.Seek(in, -1), -1) << "a negative offset fails";
  EXPECT_EQ(fs.Seek(in, 1000), 1000) << "past the end succeeds";
  EXPECT_TRUE(fs.Close(in));

  EXPECT_EQ(fs.OpenRead((dir + "/missing").c_str()), lzh::kInvalidFile);
  EXPECT_EQ(fs.CreateOutput((dir + "/no/such/dir/f").c_str()), lzh::kInvalidFile);
}

TEST_F(PosixFileSystem, FindFirstAndMakeDirectory) {
  EXPECT_FALSE(fs.FindFirst(""));
  EXPECT_TRUE(fs.MakeDirectory((dir + "\\sub").c_str()));
  EXPECT_FALSE(fs.MakeDirectory((dir + "/sub").c_str())) << "exists already";
  EXPECT_FALSE(fs.MakeDirectory((dir + "/a/b").c_str())) << "one level at a time";
  EXPECT_TRUE(fs.FindFirst((dir + "\\sub").c_str())) << "a directory counts as existing";
  EXPECT_TRUE(fs.FindFirst((dir + "\\sub\\*.*").c_str()));
  EXPECT_FALSE(fs.FindFirst((dir + "\\nothing\\*.*").c_str()));
  EXPECT_FALSE(fs.FindFirst((dir + "/nothing").c_str()));
}

TEST_F(PosixFileSystem, DosTimeIsLocalTimeAndInvalidTimesChangeNothing) {
  std::string path = dir + "/t";
  lzh::FileHandle out = fs.CreateOutput(path.c_str());
  fs.SetDosTime(out, 0x31085E61);  // 2004-08-08 11:51:02 local time
  fs.Close(out);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  std::tm local;
  localtime_r(&st.st_mtime, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  EXPECT_STREQ(text, "2004-08-08 11:51:02");
  EXPECT_EQ(st.st_atime, st.st_mtime);

  fs.Remove(path.c_str());
  lzh::FileHandle unix = fs.CreateOutput(path.c_str());
  fs.SetUnixTime(unix, 1700000000);
  fs.Close(unix);
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1700000000);
}

// The time zone's changes (Berlin's: the tests run in it) are where a local
// time names no moment or two; every time gets the moment mktime gives.
TEST_F(PosixFileSystem, DosTimesNearOffsetChangesAreWhatMktimeGives) {
  struct Case {
    int year, month, day, hour, minute;
  } cases[] = {
      {2004, 3, 28, 2, 30},   // in the hour skipped in spring
      {2004, 3, 28, 1, 58},   // just before it
      {2004, 3, 27, 3, 0},    // a day before
      {2004, 10, 31, 2, 30},  // in the hour repeated in autumn
      {2004, 10, 31, 3, 0},   // just after it
      {2004, 11, 1, 3, 0},    // a day after
      {1980, 1, 1, 0, 0},     // the first DOS date
      {2107, 12, 31, 23, 58}, {2004, 8, 8, 11, 50},
  };
  std::string path = dir + "/t";
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute);
    std::uint32_t stamp =
        static_cast<std::uint32_t>(c.year - 1980) << 25 |
        static_cast<std::uint32_t>(c.month) << 21 | static_cast<std::uint32_t>(c.day) << 16 |
        static_cast<std::uint32_t>(c.hour) << 11 | static_cast<std::uint32_t>(c.minute) << 5;
    fs.Remove(path.c_str());
    lzh::FileHandle out = fs.CreateOutput(path.c_str());
    fs.SetDosTime(out, stamp);
    fs.Close(out);
    std::tm fields = {};
    fields.tm_year = c.year - 1900;
    fields.tm_mon = c.month - 1;
    fields.tm_mday = c.day;
    fields.tm_hour = c.hour;
    fields.tm_min = c.minute;
    fields.tm_isdst = -1;
    const std::time_t expected = std::mktime(&fields);
    // A 32-bit time_t ends in 2038: such a time is left unset, as mktime fails.
    if (expected == static_cast<std::time_t>(-1)) continue;
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, expected);
  }
}

TEST(Heap, RefusedAllocationEndsWithRuntimeError203) {
  EXPECT_EXIT(
      {
        lzh::SetAllocationBudget(0);
        lzh::AllocateBlock(16);
      },
      ::testing::ExitedWithCode(203), "Runtime error 203 at [0-9A-F]{8}");
  char text[32];
  lzh::FormatRuntimeError203(text, 0x1A2B);
  EXPECT_STREQ(text, "Runtime error 203 at 00001A2B");
}

}  // namespace
