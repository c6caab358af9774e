// The command-line tool as its users run it: real processes, real files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "sfx/pe_resources.h"
#include "support/archive_builder.h"
#include "support/bit_writer.h"
#include "support/corpus.h"
#include "support/shell.h"

namespace {

using lzhtest::ArchiveBytes;
using lzhtest::Bytes;
using lzhtest::MemberPlan;
using lzhtest::StoredMember;
using lzhtest::WaitUntil;

struct Outcome {
  int status = -1;
  std::string out;
};

// Runs `lzhsfx ARGS` with input on stdin (or an empty file) and no
// terminal; stdout and stderr are read together.
Outcome Lzhsfx(const std::string& args, const std::string& input = "") {
  char inputPath[] = "/tmp/lzhsfx-in-XXXXXX";
  int fd = mkstemp(inputPath);
  if (fd >= 0) {
    (void)!write(fd, input.data(), input.size());
    close(fd);
  }
  // LZH_CLI_WRAPPER runs the tool under another program, such as valgrind.
  const char* wrapper = std::getenv("LZH_CLI_WRAPPER");
  // Redirections in args come last, so that they override 2>&1.
  std::string command = std::string(wrapper != nullptr ? wrapper : "") + " " + LZH_CLI_PATH + " <" +
                        inputPath + " 2>&1 " + args;
  Outcome run;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  unlink(inputPath);
  return run;
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lzhsfx-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::string Write(const std::string& name, const Bytes& bytes) {
    std::string path = dir + "/" + name;
    lzhtest::WriteWholeFile(path, bytes);
    return path;
  }
  std::string Read(const std::string& relative) {
    Bytes b = lzhtest::ReadWholeFile(dir + "/" + relative);
    return std::string(b.begin(), b.end());
  }
  bool Exists(const std::string& relative) {
    struct stat st;
    return stat((dir + "/" + relative).c_str(), &st) == 0;
  }
  std::string dir;
};

Bytes Sample() {
  MemberPlan nested = StoredMember("b.txt", "bravo");
  nested.records.push_back(lzhtest::Record{2, lzhtest::DirectoryRecordData("docs/old")});
  return ArchiveBytes({StoredMember("a.txt", "alpha"), nested});
}

std::string Crc(const char* text) {
  char crc[8];
  std::snprintf(crc, sizeof crc, "%04x", lzhtest::Crc16(lzhtest::ToBytes(text)));
  return crc;
}

TEST_F(Cli, ListShowsHeaderRowsAndTotals) {
  MemberPlan directory = StoredMember("", "");
  directory.method = "-lhd-";
  directory.records.push_back(lzhtest::Record{2, lzhtest::DirectoryRecordData("docs")});
  Bytes bytes = Sample();
  Bytes withDirectory = ArchiveBytes({StoredMember("a.txt", "alpha"), directory});
  std::string archive = Write("s.lzh", bytes);
  std::string row1 =
      "         5          5 100.0%  -lh0-  " + Crc("alpha") + "  2004-08-08 11:51:02  a.txt\n";
  std::string row2 = "         5          5 100.0%  -lh0-  " + Crc("bravo") +
                     "  2004-08-08 11:51:02  docs/old/b.txt\n";
  Outcome run = Lzhsfx("list " + archive);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, 16), "      Size     P") << run.out;
  EXPECT_NE(run.out.find(row1 + row2), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("        10         10 100.0%"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2 members\n"), std::string::npos) << run.out;
  // Bare lines for scripts, and patterns as extract takes them.
  EXPECT_EQ(Lzhsfx("list -b " + archive).out, row1 + row2);
  EXPECT_EQ(Lzhsfx("list --no-header " + archive + " 'DOCS/*'").out, row2);
  EXPECT_EQ(Lzhsfx("list -b " + archive + " nothing").status, 1);
  Outcome dir = Lzhsfx("list -b " + Write("d.lzh", withDirectory));
  EXPECT_NE(dir.out.find("     <dir>"), std::string::npos) << dir.out;
  EXPECT_NE(dir.out.find("docs/\n"), std::string::npos) << dir.out;
  EXPECT_EQ(Lzhsfx("list " + Write("junk", lzhtest::ToBytes("not an archive"))).status, 2);
}

// Every command: usage on stdout for --help; for a mistake, one line and
// where help is, on stderr, status 2; --version.
TEST_F(Cli, EveryCommandHasHelpUsageAndVersion) {
  for (const char* command : {"list", "test", "extract", "build"}) {
    Outcome help = Lzhsfx(std::string(command) + " --help 2>/dev/null");
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind(std::string("usage: lzhsfx ") + command, 0), 0u) << help.out;
    EXPECT_EQ(Lzhsfx(std::string(command) + " -h 2>/dev/null").out, help.out) << command;
    Outcome bare = Lzhsfx(std::string(command) + " >/dev/null");
    EXPECT_EQ(bare.status, 2) << command;
    const std::string tryHelp =
        std::string("\nTry 'lzhsfx ") + command + " --help' for more information.\n";
    EXPECT_EQ(bare.out.find(tryHelp), bare.out.find('\n')) << "one line, then where help is";
    EXPECT_EQ(bare.out.size(), bare.out.find(tryHelp) + tryHelp.size()) << bare.out;
    EXPECT_EQ(Lzhsfx(std::string(command) + " --bogus >/dev/null").status, 2) << command;
    Outcome version = Lzhsfx(std::string(command) + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("lzhsfx ", 0), 0u) << version.out;
  }
}

// test names each failing member with the reason and goes on; a member of a
// method it cannot decode is untested, not failed.
TEST_F(Cli, TestNamesEachFailingMemberAndGoesOn) {
  Outcome good = Lzhsfx("test -v " + Write("good.lzh", Sample()));
  EXPECT_EQ(good.status, 0) << good.out;
  EXPECT_NE(good.out.find("docs/old/b.txt: OK"), std::string::npos) << good.out;
  EXPECT_NE(good.out.find("2 OK, 0 failed; 2 members, 10 bytes"), std::string::npos) << good.out;
  EXPECT_EQ(Lzhsfx("test -q " + dir + "/good.lzh").out, "");
  MemberPlan bad = StoredMember("bad.txt", "damaged");
  bad.crc ^= 1;
  MemberPlan odd = StoredMember("odd.bin", "x");
  odd.method = "-lh9-";
  Bytes cut = ArchiveBytes({StoredMember("ok", "k"), StoredMember("cut.txt", "0123456789")});
  cut.resize(cut.size() - 6);
  Bytes cutJapanese = ArchiveBytes({StoredMember("\x95\x5C.txt", "0123456789")});
  cutJapanese.resize(cutJapanese.size() - 6);
  struct Case {
    Bytes archive;
    const char* expected;
  } cases[] = {
      {ArchiveBytes({bad, StoredMember("ok", "k")}), "lzhsfx: bad.txt: damaged: CRC mismatch"},
      {ArchiveBytes({odd}), "lzhsfx: odd.bin: untested: unsupported method -lh9-"},
      {cut, "lzhsfx: cut.txt: damaged: archive ends inside this member"},
      {cutJapanese, "lzhsfx: 表.txt: damaged: archive ends inside this member"},
  };
  for (const Case& c : cases) {
    Outcome run = Lzhsfx("test " + Write("case.lzh", c.archive));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find(c.expected), std::string::npos) << run.out;
  }
  Outcome failing =
      Lzhsfx("test -v " + Write("bad.lzh", ArchiveBytes({bad, StoredMember("ok", "k")})));
  EXPECT_NE(failing.out.find("ok: OK"), std::string::npos) << failing.out;
  EXPECT_NE(failing.out.find("1 OK, 1 failed"), std::string::npos) << failing.out;
  EXPECT_NE(Lzhsfx("test " + dir + "/bad.lzh 'o*'").status, 1) << "only the named members";
}

TEST_F(Cli, ExtractWithPathsWithoutPathsAndPolicies) {
  std::string archive = Write("s.lzh", Sample());
  Outcome run = Lzhsfx("extract -v " + archive + " -C " + dir + "/out --overwrite");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(Read("out/a.txt"), "alpha");
  EXPECT_EQ(Read("out/docs/old/b.txt"), "bravo");
  EXPECT_NE(run.out.find("docs/old/b.txt: extracted"), std::string::npos) << run.out;

  EXPECT_EQ(Lzhsfx("extract " + archive + " -C " + dir + "/flat --no-paths --skip").status, 0);
  EXPECT_EQ(Read("flat/b.txt"), "bravo");

  lzhtest::WriteWholeFile(dir + "/out/a.txt", lzhtest::ToBytes("mine"));
  EXPECT_EQ(Lzhsfx("extract " + archive + " -C " + dir + "/out --skip").status, 0);
  EXPECT_EQ(Read("out/a.txt"), "mine");

  // Only the named members, by the names `list` shows.
  EXPECT_EQ(Lzhsfx("extract " + archive + " -C " + dir + "/some --skip 'DOCS/*'").status, 0);
  EXPECT_TRUE(Exists("some/docs/old/b.txt"));
  EXPECT_FALSE(Exists("some/a.txt"));
  EXPECT_EQ(Lzhsfx("extract " + archive + " -C " + dir + "/none --skip nothing.txt").status, 1);
}

// No flag and no terminal: only a file that exists is a question, and it
// is skipped, named, and fails the run.
TEST_F(Cli, UnattendedExtractSkipsExistingFilesAndSaysSo) {
  std::string archive = Write("s.lzh", Sample());
  Outcome first = Lzhsfx("extract " + archive + " -C " + dir + "/ab/c");
  EXPECT_EQ(first.status, 0) << first.out;
  EXPECT_EQ(first.out, "2 extracted, 0 skipped, 0 failed; 2 members, 10 bytes\n");
  lzhtest::WriteWholeFile(dir + "/ab/c/a.txt", lzhtest::ToBytes("mine"));
  Outcome again = Lzhsfx("extract " + archive + " -C " + dir + "/ab/c 2>&1 >/dev/null");
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.out.find("lzhsfx: a.txt: skipped: the file exists and nobody was there to ask"),
            0u)
      << again.out;
  EXPECT_NE(again.out.find("lzhsfx: docs/old/b.txt: skipped"), std::string::npos);
  EXPECT_EQ(Read("ab/c/a.txt"), "mine");
  EXPECT_EQ(Lzhsfx("extract -q " + archive + " -C " + dir + "/ab/c --skip").out, "");
  EXPECT_EQ(Lzhsfx("extract " + archive + " --skip --overwrite").status, 2);
}

// -p: members' bytes on stdout, messages on stderr; "-" reads the archive
// from stdin.
TEST_F(Cli, MembersToStdoutAndArchivesFromStdin) {
  std::string archive = Write("s.lzh", Sample());
  Outcome piped = Lzhsfx("extract -p " + archive);
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.out, "alphabravo") << "no summary with the members' bytes";
  EXPECT_EQ(Lzhsfx("extract --stdout " + archive + " '*b.txt' 2>/dev/null").out, "bravo");
  Bytes bytes = Sample();
  std::string input(bytes.begin(), bytes.end());
  EXPECT_EQ(Lzhsfx("extract -p - a.txt 2>/dev/null", input).out, "alpha");
  EXPECT_EQ(Lzhsfx("test -q -", input).status, 0);
  EXPECT_NE(Lzhsfx("list -b -", input).out.find("docs/old/b.txt"), std::string::npos);
}

TEST_F(Cli, AskFollowsTheFourAnswers) {
  Bytes archive = ArchiveBytes({StoredMember("1.txt", "new1"), StoredMember("2.txt", "new2"),
                                StoredMember("3.txt", "new3")});
  std::string path = Write("s.lzh", archive);
  auto prepare = [&](const std::string& sub) {
    for (const char* n : {"1.txt", "2.txt", "3.txt"}) {
      mkdir((dir + "/" + sub).c_str(), 0777);
      lzhtest::WriteWholeFile(dir + "/" + sub + "/" + n, lzhtest::ToBytes("old"));
    }
  };
  prepare("yn");
  Outcome yn = Lzhsfx("extract " + path + " -C " + dir + "/yn --ask", "y\nn\ny\n");
  EXPECT_EQ(yn.status, 0) << yn.out;
  EXPECT_EQ(Read("yn/1.txt"), "new1");
  EXPECT_EQ(Read("yn/2.txt"), "old");
  EXPECT_EQ(Read("yn/3.txt"), "new3");
  EXPECT_NE(yn.out.find("1.txt already exists in " + dir + "/yn\n  existing: 3 bytes, "),
            std::string::npos)
      << yn.out;
  EXPECT_NE(yn.out.find("  incoming: 4 bytes, 2004-08-08 11:51:02\nOverwrite? [y]es"),
            std::string::npos)
      << yn.out;

  prepare("always");
  Outcome always = Lzhsfx("extract " + path + " -C " + dir + "/always --ask", "n\nalways\n");
  EXPECT_EQ(Read("always/1.txt"), "old");
  EXPECT_EQ(Read("always/2.txt"), "new2");
  EXPECT_EQ(Read("always/3.txt"), "new3") << "no further question";

  prepare("never");
  Outcome never = Lzhsfx("extract " + path + " -C " + dir + "/never --ask", "y\nnever\n");
  EXPECT_EQ(Read("never/1.txt"), "new1");
  EXPECT_EQ(Read("never/2.txt"), "old");
  EXPECT_EQ(Read("never/3.txt"), "old");

  // An answer it does not know gets a hint; quit extracts nothing more.
  prepare("quit");
  Outcome quit = Lzhsfx("extract " + path + " -C " + dir + "/quit --ask", "y\nmaybe\nq\n");
  EXPECT_EQ(quit.status, 1);
  EXPECT_NE(quit.out.find("Please answer y"), std::string::npos) << quit.out;
  EXPECT_EQ(Read("quit/1.txt"), "new1");
  EXPECT_EQ(Read("quit/2.txt"), "old");
  EXPECT_EQ(Read("quit/3.txt"), "old");
}

TEST_F(Cli, UnsafeNamesFromTheCorpusStayInside) {
  LZH_REQUIRE_CORPUS();
  std::string regression = lzhtest::CorpusDir() + "/regression/";
  std::string out = dir + "/deep/out";
  // '..' components are refused with stored paths...
  Outcome dotdot = Lzhsfx("extract " + regression + "dotdot.lzh -C " + out + " --overwrite");
  EXPECT_EQ(dotdot.status, 1) << dotdot.out;
  EXPECT_NE(dotdot.out.find("evil1.txt: refused: name leaves the extraction directory (..)"),
            std::string::npos)
      << dotdot.out;
  // ...and harmless without them.
  Outcome flat =
      Lzhsfx("extract " + regression + "dotdot.lzh -C " + out + " --overwrite --no-paths");
  EXPECT_EQ(flat.status, 0) << flat.out;
  EXPECT_TRUE(Exists("deep/out/evil1.txt"));
  EXPECT_TRUE(Exists("deep/out/evil2.txt"));
  // A rooted name lands inside the extraction directory.
  Outcome rooted = Lzhsfx("extract " + regression + "abspath.lzh -C " + out + " --overwrite");
  EXPECT_EQ(rooted.status, 0) << rooted.out;
  EXPECT_TRUE(Exists("deep/out/tmp/absolute_path.txt"));
  // Everything under dir lies inside deep/out.
  Outcome find;
  FILE* pipe = popen(("cd " + dir + " && find . -mindepth 1 | grep -v '^./deep'").c_str(), "r");
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe)) find.out += buffer;
  pclose(pipe);
  EXPECT_EQ(find.out, "");
}

}  // namespace

namespace {

// -lh6- and -lh7- archives made by jLHA: `lzhsfx extract` writes the files
// packed, and what each peer that is installed extracts.
TEST_F(Cli, Lh6AndLh7ExtractAsThePeersDo) {
  if (std::system("command -v jlha >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "jlha is not installed: no -lh6-/-lh7- archives to make";
  // Text whose repeats lie 12,000 and 64,000 bytes back (beyond the
  // dictionaries of -lh5- and of -lh6-), a program, long runs, and noise
  // that jLHA stores.
  std::mt19937 rng(67);
  auto words = [&](std::size_t n) {
    static const char* const kWords[] = {"member ", "ring ", "code ", "window ", "block\n"};
    std::string text;
    while (text.size() < n) text += kWords[rng() % 5] + std::to_string(rng() % 1000) + " ";
    return text.substr(0, n);
  };
  std::string near = words(12000), far = words(40000);
  Bytes program = lzhtest::ReadWholeFile("/usr/bin/bash");
  program.resize(std::min<std::size_t>(program.size(), 300000));
  Bytes noise(20000);
  for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
  const std::map<std::string, Bytes> files = {
      {"text.txt", lzhtest::ToBytes(far + near + near + far)},
      {"prog.bin", program},
      {"runs.txt", Bytes(100000, 'r')},
      {"noise.bin", noise}};
  mkdir((dir + "/in").c_str(), 0777);
  std::string names;
  for (const auto& [name, bytes] : files) {
    Write("in/" + name, bytes);
    names += " " + name;
  }
  const struct {
    const char* name;
    const char* command;  // {a}: the archive, {o}: the output directory
  } kPeers[] = {{"lhasa", "lhasa xqw={o} {a}"}, {"7zz", "7zz x {a} -o{o} -y"}};
  for (char digit : {'6', '7'}) {
    SCOPED_TRACE(std::string("-lh") + digit + "-");
    std::string archive = dir + "/m" + digit + ".lzh";
    ASSERT_EQ(
        std::system(("cd " + dir + "/in && jlha ao" + digit + " " + archive + names + " >/dev/null")
                        .c_str()),
        0);
    Bytes packed = lzhtest::ReadWholeFile(archive);
    EXPECT_NE(std::string(packed.begin(), packed.end()).find(std::string("-lh") + digit + "-"),
              std::string::npos);
    std::string ours = dir + "/ours" + digit;
    Outcome run = Lzhsfx("extract " + archive + " -C " + ours + " --overwrite");
    EXPECT_EQ(run.status, 0) << run.out;
    for (const auto& [name, bytes] : files)
      EXPECT_TRUE(lzhtest::ReadWholeFile(ours + "/" + name) == bytes) << name;
    for (const auto& peer : kPeers) {
      if (std::system(("command -v " + std::string(peer.name) + " >/dev/null").c_str()) != 0) {
        std::printf("[peers] %s is not installed: not compared\n", peer.name);
        continue;
      }
      std::string theirs = dir + "/" + peer.name + digit;
      std::string command = peer.command;
      command.replace(command.find("{o}"), 3, theirs);
      command.replace(command.find("{a}"), 3, archive);
      ASSERT_EQ(std::system((command + " >/dev/null").c_str()), 0) << command;
      for (const auto& [name, bytes] : files) {
        EXPECT_TRUE(lzhtest::ReadWholeFile(theirs + "/" + name) ==
                    lzhtest::ReadWholeFile(ours + "/" + name))
            << name << " differs from " << peer.name << "'s";
      }
    }
  }
}

// A name too long for a level-1 header's size byte is stored in a name
// record, the header's own left empty, as Unix LHA tools and jLHA write it:
// listed, extracted, picked and built like any other.
TEST_F(Cli, Level1NamesInNameRecordsAreRead) {
  const std::string longName = std::string(240, 'n') + ".txt";
  MemberPlan inRecord = StoredMember("", "long");
  inRecord.records = {lzhtest::Record{1, lzhtest::ToBytes(longName)},
                      lzhtest::Record{2, lzhtest::DirectoryRecordData("deep")}};
  std::vector<std::string> archives = {
      Write("made.lzh", ArchiveBytes({inRecord, StoredMember("after.txt", "a")}))};
  if (std::system("command -v jlha >/dev/null 2>&1") == 0) {
    mkdir((dir + "/in").c_str(), 0777);
    mkdir((dir + "/in/deep").c_str(), 0777);
    Write("in/deep/" + longName, lzhtest::ToBytes("long"));
    Write("in/after.txt", lzhtest::ToBytes("a"));
    archives.push_back(dir + "/jlha.lzh");
    ASSERT_EQ(std::system(("cd " + dir + "/in && jlha a1o5 " + archives.back() + " deep/" +
                           longName + " after.txt >/dev/null")
                              .c_str()),
              0);
  } else {
    std::printf("[peers] jlha is not installed: no archive of a real tool\n");
  }
  std::string stub = LZH_STUB_PATH;
  for (const std::string& archive : archives) {
    SCOPED_TRACE(archive);
    Outcome listed = Lzhsfx("list -b " + archive);
    EXPECT_EQ(listed.status, 0) << listed.out;
    EXPECT_NE(listed.out.find("  deep/" + longName + "\n"), std::string::npos) << listed.out;
    EXPECT_EQ(Lzhsfx("extract -p " + archive + " after.txt 2>/dev/null").out, "a");
    Outcome run = Lzhsfx("extract " + archive + " -C " + dir + "/out --overwrite");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(Read("out/deep/" + longName), "long");
    if (lzhtest::ReadWholeFile(stub).empty()) continue;
    Outcome built = Lzhsfx("build " + archive + " -o " + dir + "/l.exe --stub " + stub);
    EXPECT_EQ(built.status, 0) << built.out;
  }
}

TEST_F(Cli, BuildWritesTheOffsetIntoStringFourAndRefusesWhatTheStubCannotExtract) {
  std::string stub = LZH_STUB_PATH;
  if (lzhtest::ReadWholeFile(stub).empty())
    GTEST_SKIP() << "no cross-built stub at " << stub << " (cmake --preset win32 builds it)";
  Bytes stubBytes = lzhtest::ReadWholeFile(stub);
  std::string archive = Write("s.lzh", Sample());
  std::string program = dir + "/s.exe";
  Outcome built = Lzhsfx("build " + archive + " -o " + program + " --stub " + stub);
  ASSERT_EQ(built.status, 0) << built.out;
  Bytes made = lzhtest::ReadWholeFile(program);
  std::uint32_t offset = 0;
  ASSERT_TRUE(lzh::sfx::ReadArchiveOffset(made, offset));
  EXPECT_EQ(offset, stubBytes.size());
  EXPECT_EQ(Bytes(made.begin() + offset, made.end()), Sample()) << "the archive byte for byte";
  Outcome listed = Lzhsfx("list " + program);
  EXPECT_EQ(listed.status, 0);
  EXPECT_NE(listed.out.find("docs/old/b.txt"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("archive at offset " + std::to_string(offset)), std::string::npos)
      << listed.out;
  EXPECT_EQ(Lzhsfx("test " + program).status, 0);

  // The stub and an archive simply concatenated (string 4 at its
  // placeholder), and a program built before, are read, and build takes
  // them as its ARCHIVE.
  Bytes concatenated = stubBytes;
  concatenated.insert(concatenated.end(), made.begin() + offset, made.end());
  for (const std::string& input : {Write("cat.exe", concatenated), program}) {
    EXPECT_EQ(Lzhsfx("test -q " + input).status, 0) << input;
    Outcome rebuilt = Lzhsfx("build " + input + " -o " + dir + "/re.exe --stub " + stub);
    ASSERT_EQ(rebuilt.status, 0) << rebuilt.out;
    Bytes again = lzhtest::ReadWholeFile(dir + "/re.exe");
    EXPECT_EQ(Bytes(again.begin() + offset, again.end()), Sample()) << input;
    EXPECT_EQ(again, made) << "the same program, checksum and all";
  }

  // The stub as built holds no archive.
  EXPECT_EQ(Lzhsfx("list " + stub).status, 2);

  // Refused: a method the stub cannot decode, an unsafe name, no members.
  MemberPlan odd = StoredMember("odd.bin", "x");
  odd.method = "-lh7-";
  for (const Bytes& bad :
       {ArchiveBytes({odd}), ArchiveBytes({StoredMember("../up.txt", "u")}), Bytes{0}}) {
    std::string badArchive = Write("bad.lzh", bad);
    Outcome refused = Lzhsfx("build " + badArchive + " -o " + dir + "/bad.exe --stub " + stub);
    EXPECT_EQ(refused.status, 2) << refused.out;
    EXPECT_FALSE(Exists("bad.exe"));
    EXPECT_FALSE(Exists("bad.exe.part"));
  }
  // --force wraps what the stub cannot extract fully, never a file without
  // an archive (bad.lzh holds only an end marker now).
  EXPECT_EQ(
      Lzhsfx("build " + dir + "/bad.lzh -o " + dir + "/forced.exe --force --stub " + stub).status,
      2);
  Outcome forced = Lzhsfx("build " + Write("odd.lzh", ArchiveBytes({odd})) + " -o " + dir +
                          "/forced.exe --force --stub " + stub);
  EXPECT_EQ(forced.status, 0) << forced.out;
}

}  // namespace

namespace {

// A disk that fills up during extraction: the member that does not fit
// fails its check and is reported; what was there before stays.
TEST_F(Cli, FullDiskFailsTheMemberAndTouchesNothingElse) {
  std::string mountPoint = dir + "/small";
  mkdir(mountPoint.c_str(), 0777);
  if (std::system(("mount -t tmpfs -o size=64k tmpfs '" + mountPoint + "' 2>/dev/null").c_str()) !=
      0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
  lzhtest::WriteWholeFile(mountPoint + "/keep.txt", lzhtest::ToBytes("precious"));
  std::string big(200000, 'b');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + (i * 7919) % 26);
  std::string archive = Write(
      "full.lzh", ArchiveBytes({StoredMember("small.txt", "fits"), StoredMember("big.bin", big),
                                StoredMember("after.txt", "after")}));
  Outcome run = Lzhsfx("extract " + archive + " -C " + mountPoint + " --overwrite");
  std::string kept = Read("small/keep.txt");
  std::string small = Read("small/small.txt");
  std::system(("umount '" + mountPoint + "'").c_str());
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("big.bin: could not write"), std::string::npos) << run.out;
  EXPECT_EQ(kept, "precious");
  EXPECT_EQ(small, "fits");
}

}  // namespace

namespace {

// `lzhsfx ARGS` running, with its standard input and error on pipes.
struct Running {
  pid_t pid = -1;
  int input = -1;  // held open: a question waits for an answer
  int errors = -1;
  std::string errorText;

  explicit Running(const std::string& args) {
    int in[2], err[2];
    if (pipe(in) != 0 || pipe(err) != 0) return;
    const char* wrapper = std::getenv("LZH_CLI_WRAPPER");
    std::string command =
        "exec " + std::string(wrapper != nullptr ? wrapper : "") + " " + LZH_CLI_PATH + " " + args;
    pid = fork();
    if (pid == 0) {
      dup2(in[0], 0);
      dup2(err[1], 2);
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(err[1]);
    input = in[1];
    errors = err[0];
    fcntl(errors, F_SETFL, O_NONBLOCK);
  }
  ~Running() {
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) kill(pid, SIGKILL);
    close(input);
    close(errors);
  }
  // Reads what it has written to stderr so far.
  const std::string& Errors() {
    char buffer[4096];
    ssize_t n;
    while ((n = read(errors, buffer, sizeof buffer)) > 0) errorText.append(buffer, n);
    return errorText;
  }
  // The signal that ended it, or 0.
  int EndingSignal() {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return 0;
    pid = -1;
    Errors();
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
};

// Ctrl-C or SIGTERM during extraction: the member being written is removed
// (a later --skip run would keep a fragment and call it a success), a file
// it was to replace stays as it was, what was extracted before stays, and
// the process ends by the signal. Interrupted while it asks, it has no file
// of its own to remove.
TEST_F(Cli, InterruptionLeavesNoPartialMember) {
  std::string archive =
      Write("s.lzh", ArchiveBytes({StoredMember("first.txt", "1"),
                                   StoredMember("big.txt", std::string(32 << 20, 'b'))}));
  enum class When { WritingNew, WritingOverOld, Asking };
  for (int signal : {SIGINT, SIGTERM}) {
    for (When when : {When::WritingNew, When::WritingOverOld, When::Asking}) {
      bool asking = when == When::Asking;
      std::string out =
          dir + "/out" + std::to_string(signal) + "-" + std::to_string(static_cast<int>(when));
      SCOPED_TRACE(out);
      mkdir(out.c_str(), 0777);
      std::string big = out + "/big.txt", temporary = out + "/~lzh0000.tmp";
      if (asking) lzhtest::WriteWholeFile(out + "/first.txt", lzhtest::ToBytes("mine"));
      if (when == When::WritingOverOld) lzhtest::WriteWholeFile(big, lzhtest::ToBytes("old"));
      Running run("extract " + archive + " -C " + out + (asking ? " --ask" : " --overwrite"));
      // Stopped while big.txt is written under its temporary name; the
      // signal comes as it goes on.
      struct stat st;
      ASSERT_TRUE(WaitUntil([&] {
        return asking ? run.Errors().find("Overwrite?") != std::string::npos
                      : stat(temporary.c_str(), &st) == 0 && st.st_size > 1;
      })) << run.Errors();
      kill(run.pid, SIGSTOP);
      ASSERT_EQ(lstat(temporary.c_str(), &st) == 0, !asking) << "the member ended too soon";
      kill(run.pid, signal);
      kill(run.pid, SIGCONT);
      EXPECT_EQ(run.EndingSignal(), signal) << run.errorText;
      EXPECT_NE(lstat(temporary.c_str(), &st), 0);
      if (when == When::WritingOverOld) {
        EXPECT_EQ(Read(out.substr(dir.size() + 1) + "/big.txt"), "old");
      } else {
        EXPECT_NE(lstat(big.c_str(), &st), 0);
      }
      EXPECT_EQ(Read(out.substr(dir.size() + 1) + "/first.txt"), asking ? "mine" : "1");
      EXPECT_NE(run.errorText.find(asking ? "lzhsfx: interrupted\n"
                                          : "removed the partly written " + temporary),
                std::string::npos)
          << run.errorText;
    }
  }
}

}  // namespace

Bytes Utf16Le(const std::u16string& text) {
  Bytes out;
  for (char16_t unit : text) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return out;
}

// Shift-JIS bytes whose trail bytes are "\" (表 0x95 0x5C in the directory,
// ソ 0x83 0x5C in the name); a Windows archiver's level-2 header with "_"
// for what its code page lacks and the names as UTF-16; Latin-1 bytes with
// the code page (1252) that says so.
Bytes JapaneseNames() {
  MemberPlan sjis = StoredMember("\x83\x5C.txt", "so");
  sjis.records.push_back({2, lzhtest::DirectoryRecordData("\x95\x5C")});
  MemberPlan utf16 = StoredMember("_.txt", "hyo", 2);
  utf16.records = {{2, lzhtest::DirectoryRecordData("__")},
                   {0x44, Utf16Le(u"\u8868.txt")},
                   {0x45, Utf16Le(u"\u65E5\u672C\xFFFF")}};
  MemberPlan latin = StoredMember("caf\xE9.txt", "cafe", 2);
  latin.records = {{0x46, {0xE4, 0x04, 0, 0}}};
  MemberPlan noBytes = StoredMember("", "kan", 2);
  noBytes.records = {{0x44, Utf16Le(u"\u6F22.txt")}};
  return ArchiveBytes({sjis, utf16, latin, noBytes});
}

TEST_F(Cli, NamesAreReadInTheChosenCharsetAndExtractedSo) {
  std::string archive = Write("jp.lzh", JapaneseNames());
  struct Case {
    std::string options;
    std::vector<std::string> names;  // as list shows them
  };
  const Case cases[] = {
      {"", {"表/ソ.txt", "日本/表.txt", "café.txt", "漢.txt"}},
      {"--charset cp932", {"表/ソ.txt", "日本/表.txt", "caf\xE9.txt", "漢.txt"}},
      // Raw: the bytes, whose trail bytes "\" read as separators; the lead
      // bytes 0x95 and 0x83 are C1 controls to an eight-bit terminal.
      {"--charset raw", {"\\x95/\\x83/.txt", "__/_.txt", "caf\xE9.txt"}},
      // -v: the charset each name was read in.
      {"-v",
       {"shift-jis  表/ソ.txt", "utf-16     日本/表.txt", "cp1252     café.txt",
        "utf-16     漢.txt"}},
  };
  for (const Case& c : cases) {
    Outcome run = Lzhsfx("list " + c.options + " " + archive);
    EXPECT_EQ(run.status, 0) << c.options << run.out;
    for (const std::string& name : c.names)
      EXPECT_NE(run.out.find("  " + name + "\n"), std::string::npos) << c.options << run.out;
  }
  Outcome run = Lzhsfx("extract " + archive + " -C " + dir + "/out --overwrite");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(Read("out/表/ソ.txt"), "so");
  EXPECT_EQ(Read("out/日本/表.txt"), "hyo");
  EXPECT_EQ(Read("out/café.txt"), "cafe");
  EXPECT_EQ(Read("out/漢.txt"), "kan");
  EXPECT_EQ(Lzhsfx("test --charset auto " + archive).status, 0);
  Outcome unknown = Lzhsfx("list --charset NO-SUCH " + archive);
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.out.find("unknown charset NO-SUCH"), std::string::npos) << unknown.out;
}

TEST_F(Cli, NamesAreRefusedWhenTheTextOrTheBytesWouldLeave) {
  struct Case {
    const char* what;
    MemberPlan member;
    std::string options;
  };
  MemberPlan textLeaves = StoredMember("safe.txt", "x", 2);
  textLeaves.records = {{0x44, Utf16Le(u"..\\evil.txt")}};
  MemberPlan bytesLeave = StoredMember("..\\evil.txt", "x", 2);
  bytesLeave.records = {{0x44, Utf16Le(u"fine.txt")}};
  // SHIFT_JIS (unlike CP932) reads 0x5C as a yen sign: the text is one
  // harmless name, but every other program reads the bytes as "..\".
  const Case cases[] = {
      {"UTF-16 text", textLeaves, ""},
      {"bytes behind UTF-16", bytesLeave, ""},
      {"bytes read as yen", StoredMember("..\\evil.txt", "x"), "--charset SHIFT_JIS"},
  };
  for (const Case& c : cases) {
    std::string archive = Write("bad.lzh", ArchiveBytes({c.member, StoredMember("ok", "k")}));
    Outcome run = Lzhsfx("extract " + archive + " -C " + dir + "/in/out --overwrite " + c.options);
    EXPECT_EQ(run.status, 1) << c.what << run.out;
    EXPECT_NE(run.out.find("refused: name leaves the extraction directory"), std::string::npos)
        << c.what << run.out;
    EXPECT_TRUE(Exists("in/out/ok")) << c.what;
    EXPECT_FALSE(Exists("in/evil.txt") || Exists("in/out/fine.txt")) << c.what;
  }
}

TEST_F(Cli, MembersOfMethodsNobodyDecodesAreReportedAndTheRestExtracted) {
  MemberPlan lk7 = StoredMember("lk7.bin", "packed by another archiver");
  lk7.method = "-lk7-";
  MemberPlan xyz = StoredMember("xyz.bin", "a method nobody knows");
  xyz.method = "-xyz-";
  std::string archive =
      Write("mixed.lzh", ArchiveBytes({StoredMember("a", "1"), lk7, xyz, StoredMember("b", "2")}));
  Outcome run = Lzhsfx("extract " + archive + " -C " + dir + "/out --overwrite");
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("lk7.bin: unsupported method -lk7-"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("xyz.bin: unsupported method -xyz-"), std::string::npos) << run.out;
  EXPECT_EQ(Read("out/a"), "1");
  EXPECT_EQ(Read("out/b"), "2");
  EXPECT_FALSE(Exists("out/lk7.bin") || Exists("out/xyz.bin"));
  Outcome list = Lzhsfx("list " + archive);
  EXPECT_NE(list.out.find("-lk7-"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("  xyz.bin\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("  b\n"), std::string::npos) << list.out;
}

// The maker's settings travel with a program: list shows them, build over
// it keeps them unless told otherwise, and '' removes one. The archive
// stays byte for byte behind the stub, whose own strings are kept.
TEST_F(Cli, SettingsAreShownKeptChangedAndRemoved) {
  std::string stub = LZH_STUB_PATH;
  if (lzhtest::ReadWholeFile(stub).empty())
    GTEST_SKIP() << "no cross-built stub at " << stub << " (cmake --preset win32 builds it)";
  std::string archive = Write("s.lzh", Sample());
  Outcome built =
      Lzhsfx("build " + archive + " -o " + dir + "/a.exe --stub " + stub +
             " --title 'Setup \u2713' --default-dir '%TEMP%\\app' --run 'setup.exe /q'");
  ASSERT_EQ(built.status, 0) << built.out;
  Outcome rebuilt = Lzhsfx("build " + dir + "/a.exe -o " + dir + "/b.exe --stub " + stub +
                           " --title '' --run 'go.exe'");
  ASSERT_EQ(rebuilt.status, 0) << rebuilt.out;
  struct Case {
    const char* program;
    const char* shown;
  };
  for (const Case& c :
       {Case{"a.exe",
             "  title: Setup \u2713\n  default folder: %TEMP%\\app\n"
             "  runs after extraction: setup.exe /q\n"},
        Case{"b.exe", "  default folder: %TEMP%\\app\n  runs after extraction: go.exe\n"}}) {
    Outcome listed = Lzhsfx("list " + dir + "/" + c.program);
    EXPECT_NE(listed.out.find(std::string("\n") + c.shown + "  "), std::string::npos) << listed.out;
    Bytes made = lzhtest::ReadWholeFile(dir + "/" + c.program);
    std::uint32_t offset = 0;
    ASSERT_TRUE(lzh::sfx::ReadArchiveOffset(made, offset));
    EXPECT_EQ(Bytes(made.begin() + offset, made.end()), Sample()) << c.program;
    std::string error, version;
    EXPECT_TRUE(lzh::sfx::ReadString(made, 2, version, error)) << error;
  }
  EXPECT_EQ(Lzhsfx("build " + archive + " -o " + dir + "/c.exe --stub " + stub + " --title " +
                   std::string(128, 'x') + " 2>/dev/null")
                .status,
            2);
}

TEST_F(Cli, BuildNamesEveryMemberTheStubCannotDecodeAndWarnsOfNamesNotAscii) {
  std::string stub = LZH_STUB_PATH;
  if (lzhtest::ReadWholeFile(stub).empty())
    GTEST_SKIP() << "no cross-built stub at " << stub << " (cmake --preset win32 builds it)";
  MemberPlan lh6 = StoredMember("big.bin", "x");
  lh6.method = "-lh6-";
  MemberPlan lzs = StoredMember("old.bin", "y");
  lzs.method = "-lzs-";
  std::string archive = Write("m.lzh", ArchiveBytes({lh6, StoredMember("ok", "k"), lzs}));
  Outcome refused = Lzhsfx("build " + archive + " -o " + dir + "/m.exe --stub " + stub);
  EXPECT_EQ(refused.status, 2) << refused.out;
  EXPECT_NE(refused.out.find("big.bin: the program cannot decode its method -lh6-"),
            std::string::npos)
      << refused.out;
  EXPECT_NE(refused.out.find("old.bin: the program cannot decode its method -lzs-"),
            std::string::npos)
      << refused.out;

  // ソ ends in the trail byte 0x5C, which is no separator.
  std::string japanese =
      Write("jp.lzh",
            ArchiveBytes({StoredMember("\x95\x5C.txt", "hyo"), StoredMember("\x83\x5C", "so")}));
  Outcome built = Lzhsfx("build " + japanese + " -o " + dir + "/jp.exe --stub " + stub);
  EXPECT_EQ(built.status, 0) << built.out;
  Bytes archiveBytes = lzhtest::ReadWholeFile(japanese);
  Outcome piped = Lzhsfx("build - -o " + dir + "/piped.exe --stub " + stub,
                         std::string(archiveBytes.begin(), archiveBytes.end()));
  EXPECT_EQ(piped.status, 0) << piped.out;
  EXPECT_EQ(lzhtest::ReadWholeFile(dir + "/piped.exe"), lzhtest::ReadWholeFile(dir + "/jp.exe"));
  EXPECT_NE(built.out.find("warning: 2 member name(s) are not ASCII and have no UTF-16 name, such "
                           "as 表.txt, ソ: they are stored in code page 932 (Shift-JIS)"),
            std::string::npos)
      << built.out;
}

// A -lh5- member of "lz" repeated, 65,542 bytes and 16,776,960 more for
// each of `blocks` blocks, in a few kilobytes: every block's codes are
// one-symbol codes, read with no bits: a literal "l", a literal "z", then
// blocks of 65,535 matches of 256 bytes at distance 2, 256 more, and one
// of 4. Its sizes are also in record 0x42.
MemberPlan LzMember(int blocks) {
  lzhtest::BitWriter out;
  auto block = [&out](std::uint16_t codes, int symbol, int position) {
    out.Put(codes, 16);
    out.Put(0, 5);                                     // length code: one symbol, ...
    out.Put(0, 5);                                     // ... unused
    out.Put(0, 9);                                     // literal/length code: one symbol, ...
    out.Put(static_cast<std::uint32_t>(symbol), 9);    // ... a literal, or 253 + match length
    out.Put(0, 4);                                     // position code: one symbol, ...
    out.Put(static_cast<std::uint32_t>(position), 4);  // ... 1: distance 2
  };
  block(1, 'l', 0);
  block(1, 'z', 0);
  for (int i = 0; i < blocks; ++i) block(65535, 253 + 256, 1);
  block(256, 253 + 256, 1);
  block(1, 253 + 4, 1);
  const std::uint64_t size = 65542 + std::uint64_t{16776960} * static_cast<unsigned>(blocks);
  // Folding "lz" into the CRC permutes its states: the CRC after n folds
  // lies on the cycle that starts at 0.
  std::vector<std::uint16_t> cycle{0};
  auto fold = [](std::uint16_t crc) {
    for (std::uint8_t b : {'l', 'z'}) {
      crc ^= b;
      for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
  };
  for (std::uint16_t crc = fold(0); crc != 0 && cycle.size() <= 65536; crc = fold(crc))
    cycle.push_back(crc);
  MemberPlan plan;
  plan.method = "-lh5-";
  plan.name = "lz.txt";
  plan.level = 2;
  plan.packed = out.Bytes();
  plan.originalSize = static_cast<std::int64_t>(size);
  plan.crc = cycle[(size / 2) % cycle.size()];
  Bytes sizes;
  for (std::uint64_t value : {std::uint64_t{plan.packed.size()}, size})
    for (int i = 0; i < 8; ++i) sizes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  plan.records = {{0x42, sizes}};
  return plan;
}

TEST_F(Cli, MemberOverFourGibibytes) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "4 GiB decoded under AddressSanitizer takes minutes";
#endif
  if (std::getenv("LZH_CLI_WRAPPER") != nullptr)
    GTEST_SKIP() << "4 GiB decoded under another program takes too long";
  std::string archive = Write("lz.lzh", ArchiveBytes({LzMember(256), StoredMember("b", "y")}));
  Outcome listed = Lzhsfx("list -b " + archive);
  EXPECT_EQ(listed.status, 0) << listed.out;
  EXPECT_NE(listed.out.find("4294967302 "), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find(" b\n"), std::string::npos) << "the member after it" << listed.out;
  Outcome tested = Lzhsfx("test -v " + archive);
  EXPECT_EQ(tested.status, 0) << tested.out;
  EXPECT_NE(tested.out.find("lz.txt: OK"), std::string::npos) << tested.out;
  EXPECT_NE(tested.out.find("b: OK"), std::string::npos) << tested.out;
  // A stored member of 5 GiB whose bytes are a hole in the file: the
  // member after it lies past 4 GiB.
  MemberPlan hole = StoredMember("hole.bin", "", 2);
  Bytes sizes;
  for (int value = 0; value < 2; ++value)
    for (int i = 0; i < 8; ++i) sizes.push_back(static_cast<std::uint8_t>(0x140000000 >> (8 * i)));
  hole.records = {{0x42, sizes}};
  Bytes head = lzhtest::MemberBytes(hole), tail = ArchiveBytes({StoredMember("after", "a")});
  std::string sparse = Write("hole.lzh", head);
  int fd = open(sparse.c_str(), O_WRONLY);
  ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(head.size() + 0x140000000)),
            static_cast<ssize_t>(tail.size()));
  close(fd);
  Outcome past = Lzhsfx("list -b " + sparse);
  EXPECT_EQ(past.status, 0) << past.out;
  EXPECT_NE(past.out.find("5368709120 5368709120 "), std::string::npos) << past.out;
  EXPECT_NE(past.out.find(" after\n"), std::string::npos) << past.out;
  // The program counts sizes in 32 bits.
  Outcome built = Lzhsfx("build " + archive + " -o " + dir + "/lz.exe --stub " + archive);
  EXPECT_EQ(built.status, 2) << built.out;
  EXPECT_NE(built.out.find("lz.txt: 2 GiB or more, which the program cannot extract"),
            std::string::npos)
      << built.out;
  // An archive a little below 2 GiB, a hole: the stub before it carries
  // the program past, which even --force does not build. (A method the
  // program lacks spares the check reading it.)
  std::string stub = LZH_STUB_PATH;
  if (lzhtest::ReadWholeFile(stub).empty()) return;
  MemberPlan near = StoredMember("near.bin", "", 2);
  near.method = "-lzs-";
  near.originalSize = near.packedSizeOverride = 0x7FFFFFFF - 1000;
  head = lzhtest::MemberBytes(near);
  std::string nearly = Write("near.lzh", head);
  fd = open(nearly.c_str(), O_WRONLY);
  ASSERT_EQ(pwrite(fd, "", 1, static_cast<off_t>(head.size() + 0x7FFFFFFF - 1000)), 1);
  close(fd);
  Outcome beyond = Lzhsfx("build " + nearly + " -o " + dir + "/near.exe --force --stub " + stub);
  EXPECT_EQ(beyond.status, 2) << beyond.out;
  EXPECT_NE(beyond.out.find("near.exe: with the stub it would be 2 GiB or more"), std::string::npos)
      << beyond.out;
}

// A member of 1 GiB decodes for about a second in the tests' build, longer
// than the display waits (half a second).
TEST_F(Cli, ProgressLineOnlyOnATerminalAndClearedBeforeMessages) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "1 GiB decoded under AddressSanitizer takes too long";
#endif
  if (std::getenv("LZH_CLI_WRAPPER") != nullptr)
    GTEST_SKIP() << "1 GiB decoded under another program takes too long";
  std::string archive = Write("lz.lzh", ArchiveBytes({LzMember(64)}));
  // script gives the command a terminal and copies what it shows.
  Outcome shown;
  FILE* pipe = popen(
      ("script -qec '" + std::string(LZH_CLI_PATH) + " test " + archive + "' /dev/null </dev/null")
          .c_str(),
      "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) shown.out.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0) << shown.out;
  std::size_t line = shown.out.rfind("MB/s");
  ASSERT_NE(line, std::string::npos) << "no progress line: " << shown.out;
  EXPECT_NE(shown.out.find("lz.txt "), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("% | all "), std::string::npos) << shown.out;
  std::size_t cleared = shown.out.find("\r\x1b[K", line);
  std::size_t summary = shown.out.find("1 OK");
  ASSERT_NE(summary, std::string::npos) << shown.out;
  EXPECT_LT(cleared, summary) << "the line is cleared before the summary: " << shown.out;

  Outcome piped = Lzhsfx("test " + archive + " >/dev/null");
  EXPECT_EQ(piped.status, 0) << piped.out;
  EXPECT_EQ(piped.out.find("MB/s"), std::string::npos) << piped.out;
  EXPECT_EQ(piped.out.find('\r'), std::string::npos) << piped.out;
}

namespace {

// What the headers hold beyond names and sizes, as the user sees it: a
// member's mode restored under the umask and shown by list -v, a time
// stamp of zeros shown as unknown, a link entry listed as a link and said
// to be passed over, and bytes that are no header named with their offset
// (status 1) while the members after them are still read.
TEST_F(Cli, ModesLinksAndDamagedChainsAsTheUserSeesThem) {
  MemberPlan script = StoredMember("run.sh", "#!/bin/sh\n");
  script.records = {{0x50, {0xED, 0x8D}}};  // 0106755: set-user-id, rwxr-xr-x
  MemberPlan link = StoredMember("latest|run.sh", "");
  link.method = "-lhd-";
  Bytes archive = ArchiveBytes({script, link}, false);
  const std::string junk = "JUNK";
  archive.insert(archive.end(), junk.begin(), junk.end());
  MemberPlan undated = StoredMember("after.txt", "after");
  undated.timeStamp = 0;  // an archiver that kept no time
  const Bytes after = ArchiveBytes({undated});
  archive.insert(archive.end(), after.begin(), after.end());
  const std::string path = Write("facts.lzh", archive);
  const std::string gap =
      "damaged at offset " + std::to_string(archive.size() - after.size() - junk.size());
  struct {
    std::string args;
    int status;
    std::vector<std::string> shown;
  } runs[] = {
      {"list -v " + path,
       1,
       {"-rwxr-xr-x  ascii      run.sh", "<link>", "latest -> run.sh", gap,
        "  unknown" + std::string(26, ' ') + "ascii      after.txt"}},
      {"extract " + path + " -C " + dir + "/out",
       1,
       {"latest -> run.sh: passed over: a symbolic link", gap}},
  };
  const mode_t umaskBefore = umask(022);
  for (const auto& run : runs) {
    Outcome ran = Lzhsfx(run.args);
    EXPECT_EQ(ran.status, run.status) << ran.out;
    for (const std::string& text : run.shown)
      EXPECT_NE(ran.out.find(text), std::string::npos) << text << "\n" << ran.out;
  }
  umask(umaskBefore);
  struct stat st;
  ASSERT_EQ(stat((dir + "/out/run.sh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  EXPECT_EQ(Read("out/after.txt"), "after");
}

// What the user typed, what the system said, and the single letters of
// the older LHA tools.
TEST_F(Cli, MessagesNameWhatWasTypedAndWhy) {
  const std::string archive = Write("s.lzh", Sample());
  Write("file", lzhtest::ToBytes("in the way"));
  Bytes cut = ArchiveBytes({StoredMember("ok", "k"), StoredMember("cut.txt", "0123456789")});
  cut.resize(cut.size() - 6);
  MemberPlan longName = StoredMember("x.txt", "x", 2);
  longName.records = {{0x44, Utf16Le(std::u16string(1100, u'n'))}};
  const std::string shortened = std::string(60, 'n') + "\u2026: refused: its path is too long";
  struct {
    std::string args;
    int status;
    std::vector<std::string> shown;
    const char* made = nullptr;  // a file the run makes
  } runs[] = {
      {"", 2, {"lzhsfx: no command given\nTry 'lzhsfx --help' for more information.\n"}},
      {"a " + dir + "/new.lzh " + archive, 2, {"'a' adds to an existing archive"}},
      {"l " + archive, 0, {"  docs/old/b.txt\n"}},
      {"v " + archive, 0, {"Mode"}},
      {"t " + archive, 0, {"2 OK, 0 failed"}},
      {"x " + archive + " -C " + dir + "/x", 0, {"2 extracted"}, "x/docs/old/b.txt"},
      {"e " + archive + " -C " + dir + "/e", 0, {"2 extracted"}, "e/docs/old/b.txt"},
      {"p " + archive + " a.txt", 0, {"alpha"}},
      {"c " + dir + "/c.lzh " + archive, 0, {"1 added"}, "c.lzh"},
      {"list " + dir + "/missing.lzh", 2, {"cannot open " + dir + "/missing.lzh: No such file"}},
      {"extract " + archive + " -C " + dir + "/file/out",
       1,
       {"could not make the directory " + dir + "/file: Not a directory"}},
      {"create " + dir + "/file/new.lzh " + archive,
       1,
       {"lzhsfx: " + dir + "/file/new.lzh: cannot be created: Not a directory"}},
      // What matches is extracted; each pattern that matches nothing named.
      {"extract " + archive + " -C " + dir + "/some nothing A.TXT 'z*'",
       1,
       {"no member matches nothing\n", "no member matches z*\n", "1 extracted"},
       "some/a.txt"},
      {"test " + archive + " nothing 'docs/*'", 1, {"no member matches nothing", "1 OK"}},
      {"list " + Write("cut.lzh", cut), 1, {"cut.txt: damaged: archive ends inside this member"}},
      {"extract " + Write("long.lzh", ArchiveBytes({longName})) + " -C " + dir + "/long",
       1,
       {shortened}},
  };
  for (const auto& run : runs) {
    Outcome ran = Lzhsfx(run.args);
    EXPECT_EQ(ran.status, run.status) << run.args << "\n" << ran.out;
    for (const std::string& text : run.shown)
      EXPECT_NE(ran.out.find(text), std::string::npos) << run.args << "\n" << ran.out;
    if (run.made != nullptr) {
      EXPECT_TRUE(Exists(run.made)) << run.args;
    }
  }
  EXPECT_FALSE(Exists("new.lzh")) << "'a' is never taken as create";
}

}  // namespace
