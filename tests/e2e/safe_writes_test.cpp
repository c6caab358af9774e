// What extraction may write, tried as an attacker and an unlucky user
// would: links planted in the extraction directory, replacements that
// fail, and two runs into one directory at once.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/archive_builder.h"
#include "support/corpus.h"
#include "support/shell.h"

namespace {

namespace fs = std::filesystem;
using lzhtest::ArchiveBytes;
using lzhtest::Bytes;
using lzhtest::MemberPlan;
using lzhtest::Ran;
using lzhtest::Shell;
using lzhtest::StoredMember;

Ran Lzhsfx(const std::string& args) { return Shell(std::string(LZH_CLI_PATH) + " " + args); }

std::string Text(const fs::path& path) {
  Bytes bytes = lzhtest::ReadWholeFile(path.string());
  return std::string(bytes.begin(), bytes.end());
}

void Put(const fs::path& path, const std::string& text) {
  lzhtest::WriteWholeFile(path.string(), lzhtest::ToBytes(text));
}

// Every name under root (links not followed), with a file's bytes.
std::string Census(const fs::path& root) {
  std::string lines;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    lines += fs::relative(entry.path(), root).generic_string();
    if (!entry.is_symlink() && entry.is_regular_file()) lines += " " + Text(entry.path());
    lines += "\n";
  }
  return lines;
}

MemberPlan BadCrc(MemberPlan plan) {
  plan.crc ^= 1;
  return plan;
}

class SafeWrites : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = lzhtest::MakeScratchDirectory("lzhsfx-safe");
    ASSERT_FALSE(dir.empty());
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Archive(const std::string& name, const std::vector<MemberPlan>& members) {
    std::string path = (dir / name).string();
    lzhtest::WriteWholeFile(path, ArchiveBytes(members));
    return path;
  }
  fs::path dir;
};

// Nothing is made or written through a symbolic link that was already in
// the extraction directory: the member is refused with the reason and the
// walk goes on; the directory named by -C may itself be a link. A file is
// replaced by name, so another hard link to it keeps its bytes.
TEST_F(SafeWrites, NothingIsWrittenThroughALink) {
  MemberPlan directoryEntry = StoredMember("ab/", "");
  directoryEntry.method = "-lhd-";
  enum class Plant { DirectoryLink, FileLink, HardLink, TargetIsLink };
  struct Case {
    const char* what;
    MemberPlan member;
    Plant plant;
    bool refused;
  } cases[] = {
      {"a link on the way", StoredMember("ab/x.txt", "new"), Plant::DirectoryLink, true},
      {"directories made under one", StoredMember("ab/new/deeper/x.txt", "new"),
       Plant::DirectoryLink, true},
      {"a directory entry where one stands", directoryEntry, Plant::DirectoryLink, true},
      {"a link in the file's place", StoredMember("x.txt", "new"), Plant::FileLink, true},
      {"a hard link replaced", StoredMember("x.txt", "new"), Plant::HardLink, false},
      {"-C names a link", StoredMember("ab/x.txt", "new"), Plant::TargetIsLink, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path elsewhere = dir / "elsewhere", out = dir / "out", target = out;
    fs::remove_all(elsewhere);
    fs::remove_all(out);
    fs::remove_all(dir / "real");
    fs::create_directories(elsewhere / "ab");
    Put(elsewhere / "secret", "secret");
    fs::create_directory(out);
    switch (c.plant) {
      case Plant::DirectoryLink:
        fs::create_directory_symlink(elsewhere, out / "ab");
        break;
      case Plant::FileLink:
        fs::create_symlink(elsewhere / "secret", out / "x.txt");
        break;
      case Plant::HardLink:
        fs::create_hard_link(elsewhere / "secret", out / "x.txt");
        break;
      case Plant::TargetIsLink:
        fs::remove(out);
        fs::create_directory(dir / "real");
        fs::create_directory_symlink(dir / "real", out);
        target = dir / "real";
        break;
    }
    const std::string before = Census(elsewhere);
    std::string archive = Archive("a.lzh", {c.member, StoredMember("after.txt", "after")});
    Ran run = Lzhsfx("extract -v " + archive + " -C " + out.string() + " --overwrite");
    EXPECT_EQ(run.status, c.refused ? 1 : 0) << run.out;
    EXPECT_EQ(run.out.find("refused: a symbolic link") != std::string::npos, c.refused) << run.out;
    EXPECT_EQ(Census(elsewhere), before) << run.out;
    EXPECT_EQ(Text(target / "after.txt"), "after") << "the walk goes on";
    if (!c.refused) {
      std::string name = c.plant == Plant::HardLink ? "x.txt" : "ab/x.txt";
      EXPECT_EQ(Text(target / name), "new");
    }
  }
}

// A member that fails never takes the place of a file that was there: the
// old file stays byte for byte and the line says so. Where there was none,
// the damaged output is left under its name, and the line says that. One
// that passes replaces the file, which keeps its permissions. No temporary
// file stays behind.
TEST_F(SafeWrites, FailedReplacementKeepsTheOldFile) {
  struct Case {
    const char* what;
    MemberPlan member;
    const char* before;  // nullptr: no file
    std::string after;
    const char* says;
  } cases[] = {
      {"bad CRC over a file", BadCrc(StoredMember("a.txt", "broken")), "good", "good",
       "; the existing file was kept as it was"},
      {"bad CRC, no file", BadCrc(StoredMember("a.txt", "broken")), nullptr, "broken",
       "; the damaged file was left in place"},
      {"short member over a file", StoredMember("a.txt", "cut"), "good", "good",
       "the existing file was kept"},
      {"good member over a file", StoredMember("a.txt", "fresh"), "good", "fresh", "extracted"},
  };
  cases[2].member.originalSize = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path out = dir / "out";
    fs::remove_all(out);
    fs::create_directory(out);
    if (c.before != nullptr) {
      Put(out / "a.txt", c.before);
      fs::permissions(out / "a.txt", fs::perms(0750));
    }
    Ran run = Lzhsfx("extract -v " + Archive("a.lzh", {c.member}) + " -C " + out.string() +
                     " --overwrite");
    EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
    EXPECT_EQ(Text(out / "a.txt"), c.after);
    EXPECT_EQ(Census(out), "a.txt " + c.after + "\n") << "nothing else stays";
    if (c.before != nullptr) {
      EXPECT_EQ(fs::status(out / "a.txt").permissions(), fs::perms(0750));
    }
  }
}

// Two extractions into one directory at once, with directories to make:
// whichever makes a directory first, the other takes it as made, and every
// member of both runs is extracted whole. Repeated to catch a fault that
// shows once in a hundred runs.
TEST_F(SafeWrites, ConcurrentExtractionsIntoOneFolder) {
  // Long enough for the two runs to overlap, each member in a directory
  // of its own.
  constexpr int kMembers = 96;
  auto pathOf = [](int i) {
    return "d" + std::to_string(i % 8) + "/e" + std::to_string(i) + "/f.txt";
  };
  std::vector<MemberPlan> members;
  for (int i = 0; i < kMembers; ++i)
    members.push_back(StoredMember(pathOf(i), "member " + std::to_string(i)));
  std::string archive = Archive("many.lzh", members);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    fs::path out = dir / ("out" + std::to_string(round));
    std::string firstOut;
    FILE* first = popen((std::string(LZH_CLI_PATH) + " extract -q " + archive + " -C " +
                         out.string() + " --overwrite 2>&1; echo \"status $?\"")
                            .c_str(),
                        "r");
    Ran second = Lzhsfx("extract -q " + archive + " -C " + out.string() + " --overwrite");
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, first)) > 0) firstOut.append(buffer, n);
    pclose(first);
    ASSERT_EQ(second.status, 0) << second.out;
    ASSERT_EQ(firstOut, "status 0\n");
    for (int i = 0; i < kMembers; ++i)
      ASSERT_EQ(Text(out / pathOf(i)), "member " + std::to_string(i));
    fs::remove_all(out);
  }
}

}  // namespace
