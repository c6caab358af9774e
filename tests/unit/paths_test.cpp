#include "extract/paths.h"

#include <gtest/gtest.h>

#include <string>

#include "extract/safe_names.h"
#include "support/memory_file_system.h"

namespace {

std::string FileName(const std::string& path) {
  char name[lzh::kFileNameMax + 1];
  lzh::FileNamePart(path.c_str(), name);
  return name;
}

std::string Directory(const std::string& path) {
  char dir[lzh::kPathBytes];
  lzh::DirectoryPart(path.c_str(), dir, sizeof dir);
  return dir;
}

std::string FromExtension(const std::string& record) {
  char dir[lzh::kPathBytes];
  lzh::DirectoryFromExtension(record.c_str(), dir, sizeof dir);
  return dir;
}

TEST(Paths, FileNamePart) {
  EXPECT_EQ(FileName("docs\\old\\a.txt"), "a.txt");
  EXPECT_EQ(FileName("docs/old/a.txt"), "a.txt");
  EXPECT_EQ(FileName("C:a.txt"), "a.txt");
  EXPECT_EQ(FileName("a.txt"), "a.txt");
  EXPECT_EQ(FileName("docs\\"), "");
  EXPECT_EQ(FileName("d\\" + std::string(300, 'x')), std::string(255, 'x'));
}

TEST(Paths, DirectoryPart) {
  EXPECT_EQ(Directory("C:\\out\\docs\\a.txt"), "C:\\out\\docs");
  EXPECT_EQ(Directory("C:\\a.txt"), "C:\\");
  EXPECT_EQ(Directory("C:\\"), "C:\\");
  EXPECT_EQ(Directory("C:a.txt"), "C:");
  EXPECT_EQ(Directory("docs/a.txt"), "docs");
  EXPECT_EQ(Directory("\\a.txt"), "");
  EXPECT_EQ(Directory("a.txt"), "");
  EXPECT_EQ(Directory(""), "");
}

TEST(Paths, DirectoryFromExtension) {
  EXPECT_EQ(FromExtension("\x02"
                          "docs\xFF"
                          "old\xFF"),
            "docs\\old");
  EXPECT_EQ(FromExtension(""), "");
  // A record without the closing 0xFF keeps its last character.
  EXPECT_EQ(FromExtension("\x02"
                          "docs\xFF"
                          "old"),
            "docs\\old");
  // Records of other types give no directory.
  EXPECT_EQ(FromExtension("\x54"
                          "abcd"),
            "");
}

TEST(Paths, AddTrailingBackslashAndSlashes) {
  char path[16] = "C:\\out";
  EXPECT_TRUE(lzh::AddTrailingBackslash(path, sizeof path));
  EXPECT_STREQ(path, "C:\\out\\");
  EXPECT_TRUE(lzh::AddTrailingBackslash(path, sizeof path));
  EXPECT_STREQ(path, "C:\\out\\") << "already ends in a backslash";
  char empty[4] = "";
  EXPECT_TRUE(lzh::AddTrailingBackslash(empty, sizeof empty));
  EXPECT_STREQ(empty, "");
  char full[4] = "abc";
  EXPECT_FALSE(lzh::AddTrailingBackslash(full, sizeof full)) << "no room for the backslash";
  EXPECT_STREQ(full, "abc");

  char slashes[] = "a/b\\c/";
  lzh::SlashesToBackslashes(slashes);
  EXPECT_STREQ(slashes, "a\\b\\c\\");
}

TEST(Paths, TextBuffersRefuseWhatDoesNotFit) {
  char buffer[8] = "abc";
  EXPECT_TRUE(lzh::AppendText(buffer, sizeof buffer, "defg"));
  EXPECT_STREQ(buffer, "abcdefg");
  EXPECT_FALSE(lzh::AppendText(buffer, sizeof buffer, "h"));
  EXPECT_STREQ(buffer, "abcdefg");
  EXPECT_FALSE(lzh::CopyText(buffer, sizeof buffer, "12345678"));
}

TEST(Paths, PathExistsFollowsTheDirectorySearch) {
  lzhtest::MemoryFileSystem fs;
  fs.AddFile("out/docs/a.txt", {1});
  fs.AddDirectory("out/empty");
  char file[] = "out/docs/a.txt";
  EXPECT_TRUE(lzh::PathExists(fs, file));
  EXPECT_STREQ(file, "out\\docs\\a.txt") << "slashes are turned in place";
  char dir[] = "out\\docs";
  EXPECT_TRUE(lzh::PathExists(fs, dir)) << "a directory counts like a file";
  char dirSlash[] = "out/docs\\";
  EXPECT_TRUE(lzh::PathExists(fs, dirSlash));
  EXPECT_STREQ(dirSlash, "out/docs\\") << "a directory path is searched on a copy";
  char missing[] = "out\\nothing";
  EXPECT_FALSE(lzh::PathExists(fs, missing));
  char empty[] = "";
  EXPECT_FALSE(lzh::PathExists(fs, empty));
}

TEST(Paths, MakeDirectoriesCreatesTopFirstAndStopsAtShortPaths) {
  lzhtest::MemoryFileSystem fs;
  fs.AddDirectory("C:/out");
  std::vector<std::string> made;
  fs.failMakeDirectory = [&](const std::string& p) {
    made.push_back(p);
    return false;
  };
  lzh::MakeDirectories(fs, "C:\\out\\docs\\old");
  // The first level fails here, so the second cannot be made either; both
  // are attempted top first.
  EXPECT_EQ(made, (std::vector<std::string>{"C:/out/docs", "C:/out/docs/old"}));

  lzhtest::MemoryFileSystem real;
  real.AddDirectory("C:/out");
  lzh::MakeDirectories(real, "C:\\out\\docs\\old\\");
  EXPECT_TRUE(real.HasDirectory("C:/out/docs/old"));
  lzh::MakeDirectories(real, "ab");
  EXPECT_FALSE(real.HasDirectory("ab")) << "shorter than three characters";
  lzh::MakeDirectories(real, "abc");
  EXPECT_TRUE(real.HasDirectory("abc"));
  lzh::MakeDirectories(real, "");
}

TEST(Paths, LongPathsStayInsideTheirBuffers) {
  std::string deep;
  while (deep.size() < 3 * lzh::kPathBytes) deep += "abcdefgh\\";
  lzhtest::MemoryFileSystem fs;
  lzh::MakeDirectories(fs, deep.c_str());  // too long: nothing is made
  EXPECT_EQ(fs.Directories().size(), 1u);
  char dir[lzh::kPathBytes];
  lzh::DirectoryPart(deep.c_str(), dir, sizeof dir);
  EXPECT_EQ(std::string(dir).size(), lzh::kPathBytes - 1);
  std::string exact(lzh::kPathBytes - 1, 'a');
  exact.back() = '\\';
  std::vector<char> buffer(exact.begin(), exact.end());
  buffer.push_back(0);
  EXPECT_FALSE(lzh::PathExists(fs, buffer.data())) << "no room for the search pattern";
}

TEST(Paths, DoubleByteCharactersKeepTheirTrailBytes) {
  // In code page 932, 0x95 0x5C is one character whose second byte is "\".
  lzh::SetLeadByteTest([](std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || b >= 0xE0; });
  EXPECT_EQ(FileName("dir\\\x95\x5C.txt"), "\x95\x5C.txt");
  EXPECT_EQ(Directory("dir\\\x95\x5C"), "dir");
  char path[8] = "\x95\x5C";
  EXPECT_TRUE(lzh::AddTrailingBackslash(path, sizeof path));
  EXPECT_STREQ(path, "\x95\x5C\\");
  EXPECT_TRUE(lzh::IsSafeMemberPath("\x95\x5C\\a.txt"));
  // A directory whose name ends in such a character is made whole.
  struct Recording : lzhtest::MemoryFileSystem {
    std::vector<std::string> made;
    bool MakeDirectory(const char* path) override {
      made.push_back(path);
      return MemoryFileSystem::MakeDirectory(path);
    }
  } fs;
  fs.AddDirectory("C:/out");
  lzh::MakeDirectories(fs, "C:\\out\\\x83\x5C\\sub\\");
  EXPECT_EQ(fs.made, (std::vector<std::string>{"C:\\out\\\x83\x5C", "C:\\out\\\x83\x5C\\sub"}));
  EXPECT_TRUE(lzh::EndsInBackslash("a\\"));
  EXPECT_FALSE(lzh::EndsInBackslash("a\x83\x5C"));
  lzh::SetLeadByteTest(nullptr);
  EXPECT_EQ(FileName("dir\\\x95\x5C.txt"), ".txt") << "a single-byte code page splits there";
}

TEST(SafeNames, RefusesNamesThatLeaveTheDirectory) {
  for (const char* bad : {"..\\evil.txt",
                          "foo\\..\\..\\evil.txt",
                          "..",
                          "a\\..",
                          "a/../b",
                          "... \\x",
                          ". .\\x",
                          "C:\\windows\\x",
                          "d\\C:x",
                          "a.txt:stream",
                          "\\\\server\\share\\x",
                          "//server/share",
                          "CON",
                          "nul.txt",
                          "dir\\Aux.tar.gz",
                          "COM1",
                          "lpt9.log",
                          "PRN ",
                          "a\x01"
                          "b",
                          "a|b",
                          "what?",
                          "a*",
                          "",
                          "dir\\",
                          "docs/"}) {
    EXPECT_FALSE(lzh::IsSafeMemberPath(bad)) << bad;
  }
  for (const char* good :
       {"a.txt", "docs\\a.txt", "docs/old/a.txt", "\\a.txt", ".hidden", "a..b", "...txt", "com10",
        "console.txt", "lpt", "con-x.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt"}) {
    EXPECT_TRUE(lzh::IsSafeMemberPath(good)) << good;
  }
}

}  // namespace
