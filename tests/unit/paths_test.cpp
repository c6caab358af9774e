#include "extract/paths.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
  EXPECT_TRUE(lzh::PathExists(fs, "out/docs/a.txt"));
  EXPECT_TRUE(lzh::PathExists(fs, "out\\docs")) << "a directory counts like a file";
  EXPECT_TRUE(lzh::PathExists(fs, "out/docs\\"));
  EXPECT_FALSE(lzh::PathExists(fs, "out\\docs\\a.txt\\")) << "a file is no directory";
  EXPECT_FALSE(lzh::PathExists(fs, "out\\nothing"));
  EXPECT_FALSE(lzh::PathExists(fs, ""));
}

// Every missing level of any path is made, one call per level, top first;
// roots are never made, and a level that cannot be made ends the work.
TEST(Paths, MakeDirectoriesMakesEachMissingLevelOnce) {
  struct Case {
    const char* dir;
    std::vector<std::string> existing;
    std::vector<std::string> made;  // the calls, in order
  };
  const Case cases[] = {
      {"C:\\out\\docs\\old", {"C:/out"}, {"C:\\out\\docs", "C:\\out\\docs\\old"}},
      {"C:\\out\\docs\\old\\", {"C:/out"}, {"C:\\out\\docs", "C:\\out\\docs\\old"}},
      {"ab", {}, {"ab"}},
      {"x/y", {}, {"x", "x/y"}},
      {"ab\\c", {"ab"}, {"ab\\c"}},
      {"C:x", {}, {"C:x"}},
      {"C:\\", {}, {}},
      {"\\", {}, {}},
      {"\\\\server\\share\\new", {}, {"\\\\server\\share\\new"}},
      {".\\a\\\\b", {}, {".\\a", ".\\a\\\\b"}},
      {"", {}, {}},
  };
  for (const Case& c : cases) {
    struct Recording : lzhtest::MemoryFileSystem {
      std::vector<std::string> made;
      bool MakeDirectory(const char* path) override {
        made.push_back(path);
        return MemoryFileSystem::MakeDirectory(path);
      }
    } fs;
    for (const auto& dir : c.existing) fs.AddDirectory(dir);
    lzh::MakeDirectories(fs, c.dir);
    EXPECT_EQ(fs.made, c.made) << c.dir;
  }

  lzhtest::MemoryFileSystem fs;
  fs.AddDirectory("C:/out");
  std::vector<std::string> tried;
  fs.failMakeDirectory = [&](const std::string& p) {
    tried.push_back(p);
    return true;
  };
  lzh::MakeDirectories(fs, "C:\\out\\docs\\old");
  // A level that cannot be made may be there all the same (a root's "."):
  // the directory's own test afterwards decides.
  EXPECT_EQ(tried, (std::vector<std::string>{"C:/out/docs", "C:/out/docs/old"}));
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
  EXPECT_EQ(lzh::MemberPathRefusal("\x95\x5C\\a.txt"), lzh::NameRefusal::None);
  EXPECT_EQ(lzh::MemberPathRefusal("a\\\x83\x5C"), lzh::NameRefusal::None) << "ends in a character";
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
  using R = lzh::NameRefusal;
  const std::pair<const char*, R> cases[] = {
      {"..\\evil.txt", R::ParentDirectory},
      {"foo\\..\\..\\evil.txt", R::ParentDirectory},
      {"..", R::ParentDirectory},
      {"a\\..", R::ParentDirectory},
      {"a/../b", R::ParentDirectory},
      {"... \\x", R::ParentDirectory},
      {". .\\x", R::ParentDirectory},
      {"C:\\windows\\x", R::Rooted},
      {"d\\C:x", R::Rooted},
      {"\\\\server\\share\\x", R::Rooted},
      {"//server/share", R::Rooted},
      {"CON", R::Device},
      {"nul.txt", R::Device},
      {"dir\\Aux.tar.gz", R::Device},
      {"COM1", R::Device},
      {"lpt9.log", R::Device},
      {"PRN ", R::Device},
      // The superscript digits, in Latin-1 and in UTF-8.
      {"COM\xB9", R::Device},
      {"com\xB2.txt", R::Device},
      {"LPT\xB3", R::Device},
      {"d/COM\xC2\xB9", R::Device},
      {"LPT\xC2\xB2.log", R::Device},
      {"a.txt:stream", R::BadCharacter},
      {"a\x01"
       "b",
       R::BadCharacter},
      {"a|b", R::BadCharacter},
      {"what?", R::BadCharacter},
      {"a*", R::BadCharacter},
      {"", R::NoFileName},
      {"dir\\", R::NoFileName},
      {"docs/", R::NoFileName},
  };
  for (const auto& [name, refusal] : cases)
    EXPECT_EQ(lzh::MemberPathRefusal(name), refusal) << name;
  for (const char* good : {"a.txt", "docs\\a.txt", "docs/old/a.txt", "\\a.txt", ".hidden", "a..b",
                           "...txt", "com10", "console.txt", "lpt", "con-x.txt", "COM\xB4",
                           "LPT\xC2\xB4", "COM\xC2", "\xE6\x97\xA5\xE6\x9C\xAC.txt"}) {
    EXPECT_EQ(lzh::MemberPathRefusal(good), R::None) << good;
  }
}

}  // namespace
