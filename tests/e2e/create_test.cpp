// `lzhsfx create` and `build --repack` as their users run them: a tree of
// real files in, archives that our tool and the peers extract out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/archive_builder.h"
#include "support/corpus.h"
#include "support/shell.h"

namespace {

namespace fs = std::filesystem;
using lzhtest::Bytes;
using lzhtest::Ran;
using lzhtest::Shell;

Ran Lzhsfx(const std::string& args) { return Shell(std::string(LZH_CLI_PATH) + " " + args); }

bool Installed(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

void SetTime(const std::string& path, std::time_t seconds) {
  struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// Every file and directory under root: "path size crc mtime mode" for
// files, "path/" for directories, in sorted order.
std::string Census(const std::string& root, bool withTimes = true, bool withModes = false) {
  std::map<std::string, std::string> lines;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = fs::relative(entry.path(), root).generic_string();
    if (entry.is_directory()) {
      lines[relative] = relative + "/";
      continue;
    }
    Bytes bytes = lzhtest::ReadWholeFile(entry.path().string());
    struct stat st;
    stat(entry.path().c_str(), &st);
    lines[relative] = relative + " " + std::to_string(bytes.size()) + " " +
                      std::to_string(lzhtest::Crc16(bytes)) +
                      (withTimes ? " " + std::to_string(st.st_mtime) : "") +
                      (withModes ? " " + std::to_string(st.st_mode & 0777) : "");
  }
  std::string census;
  for (const auto& [path, line] : lines) census += line + "\n";
  return census;
}

// How many entries of directory have names starting with prefix.
int StartingWith(const std::string& directory, const std::string& prefix) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(directory))
    count += entry.path().filename().string().rfind(prefix, 0) == 0;
  return count;
}

class Create : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = lzhtest::MakeScratchDirectory("lzhsfx-create");
    ASSERT_FALSE(dir.empty());
  }
  void TearDown() override { fs::remove_all(dir); }

  // A small tree: text that packs, noise that is stored, an empty file, a
  // nested and an empty directory; times on even seconds (the MS-DOS
  // format's step).
  std::string MakeTree(const std::string& name) {
    std::string root = dir + "/" + name;
    fs::create_directories(root + "/docs/old");
    fs::create_directories(root + "/empty dir");
    std::mt19937 rng(13);
    std::string text;
    while (text.size() < 70000) text += "line " + std::to_string(rng() % 5000) + " of the text\n";
    Bytes noise(3000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    const std::map<std::string, Bytes> files = {{"read me.txt", lzhtest::ToBytes(text)},
                                                {"docs/noise.bin", noise},
                                                {"docs/old/empty.txt", {}},
                                                {"docs/old/short.txt", lzhtest::ToBytes("short")},
                                                {"run.sh", lzhtest::ToBytes("#!/bin/sh\n")}};
    std::time_t t = 1600000000;
    for (const auto& [path, bytes] : files) {
      lzhtest::WriteWholeFile(root + "/" + path, bytes);
      SetTime(root + "/" + path, t += 7200 + 2);
    }
    chmod((root + "/run.sh").c_str(), 0755);
    return root;
  }

  std::string dir;
};

// Each method and header level: our own extraction and the peers' give
// back the tree, names, directories, contents and time stamps; a script's
// execute bit too where the level keeps modes (1 and 2: 7zz sets none).
TEST_F(Create, RoundTripsThroughOurToolAndThePeers) {
  std::string tree = MakeTree("tree");
  const struct {
    const char* options;
  } kCells[] = {{"-m lh5 -h 2"}, {"-m lh5 -h 1 -1"}, {"-m lh5 -h 0 -9"}, {"-m lh6 -h 2"},
                {"-m lh7 -h 1"}, {"-m lh7 -h 2 -9"}, {"-m lh0 -h 2"},    {"-m lh0 -h 0"}};
  const struct {
    const char* name;
    const char* command;  // {a}: the archive, {o}: the output directory
  } kExtractors[] = {{"lzhsfx", LZH_CLI_PATH " extract {a} -C {o} --overwrite >/dev/null"},
                     {"lhasa", "lhasa xqw={o} {a}"},
                     {"7zz", "7zz x {a} -o{o} -y"}};
  int cell = 0;
  for (const auto& c : kCells) {
    SCOPED_TRACE(c.options);
    std::string archive = dir + "/" + std::to_string(++cell) + ".lzh";
    Ran made = Lzhsfx(std::string("create ") + archive + " -C " + tree + " . -q " + c.options);
    ASSERT_EQ(made.status, 0) << made.out;
    for (const auto& x : kExtractors) {
      if (std::string(x.name) != "lzhsfx" && !Installed(x.name)) {
        std::printf("[peers] %s is not installed: not compared\n", x.name);
        continue;
      }
      std::string out = dir + "/out" + std::to_string(cell) + x.name;
      std::string command = x.command;
      command.replace(command.find("{o}"), 3, out);
      command.replace(command.find("{a}"), 3, archive);
      Ran run = Shell(command);
      EXPECT_EQ(run.status, 0) << x.name << ": " << run.out;
      // 7zz turns the local MS-DOS times of levels 0 and 1 into UTC with
      // today's offset rather than that of their date, as Windows' own call
      // does; its times are compared at level 2 only.
      const bool dosTimesOff = std::string(x.name) == "7zz" && !std::strstr(c.options, "-h 2");
      const bool modes = std::string(x.name) != "7zz" && !std::strstr(c.options, "-h 0");
      EXPECT_EQ(Census(out, !dosTimesOff, modes), Census(tree, !dosTimesOff, modes)) << x.name;
    }
  }
}

// Under SOURCE_DATE_EPOCH the same tree gives the same bytes whatever its
// files' times, members in sorted order, all with that time.
TEST_F(Create, SourceDateEpochMakesTheArchiveReproducible) {
  std::string tree = MakeTree("tree");
  std::string first = dir + "/first.lzh", second = dir + "/second.lzh";
  const std::string env = "SOURCE_DATE_EPOCH=1700000000 ";
  ASSERT_EQ(Shell(env + LZH_CLI_PATH + " create " + first + " -C " + tree + " . -q").status, 0);
  SetTime(tree + "/read me.txt", 1);
  ASSERT_EQ(Shell(env + LZH_CLI_PATH + " create " + second + " -C " + tree + " . -q").status, 0);
  EXPECT_TRUE(lzhtest::ReadWholeFile(first) == lzhtest::ReadWholeFile(second));
  Ran list = Lzhsfx("list -b " + first);
  std::size_t lines = 0, stamped = 0;
  for (std::size_t at = 0; (at = list.out.find('\n', at)) != std::string::npos; ++at) ++lines;
  for (std::size_t at = 0; (at = list.out.find("2023-11-14 23:13:20", at)) != std::string::npos;
       ++at)
    ++stamped;
  EXPECT_EQ(stamped, lines) << list.out;
  // Sorted by bytes: "docs" before "empty dir" before "read me.txt".
  EXPECT_LT(list.out.find("docs/noise.bin"), list.out.find("docs/old/empty.txt"));
  EXPECT_LT(list.out.find("empty dir"), list.out.find("read me.txt"));
  EXPECT_EQ(Shell(std::string("SOURCE_DATE_EPOCH=yesterday ") + LZH_CLI_PATH + " create " + first +
                  " " + tree)
                .status,
            2);
}

// Times a header level cannot hold are stored as the nearest it holds,
// with one warning for the run; -v tells each member in plain words.
TEST_F(Create, TimesTheLevelCannotHoldAreClampedAndToldOnce) {
  std::string tree = dir + "/t";
  fs::create_directories(tree + "/empty");
  const std::map<std::string, std::time_t> files = {
      {"1960", -315619200}, {"1975", 157766400}, {"2107", 4323283200}, {"one", 1600000000}};
  for (const auto& [name, time] : files) {
    lzhtest::WriteWholeFile(tree + "/" + name, lzhtest::ToBytes(name == "one" ? "1" : ""));
    SetTime(tree + "/" + name, time);
  }
  const struct {
    const char* level;
    const char* warning;
    std::vector<std::string> listed;  // "time  name" under TZ=UTC
  } kCases[] = {
      {"2",
       "2 members have times that a level-2 header cannot hold",
       {"1970-01-01 00:00:01  1960", "1975-01-01 00:00:00  1975", "2106-02-07 06:28:15  2107"}},
      {"1",
       "2 members have times that a level-1 header cannot hold",
       {"1980-01-01 00:00:00  1960", "1980-01-01 00:00:00  1975", "2107-01-01 00:00:00  2107"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.level);
    const std::string archive = dir + "/" + c.level + ".lzh";
    Ran run =
        Shell("TZ=UTC " LZH_CLI_PATH " create " + archive + " -C " + tree + " . -v -h " + c.level);
    EXPECT_EQ(run.status, 0) << run.out;
    for (const char* told : {c.warning, "empty/: added\n", "one: added, -lh0-, 1 byte to 1\n"})
      EXPECT_NE(run.out.find(told), std::string::npos) << told << "\n" << run.out;
    Ran list = Shell("TZ=UTC " LZH_CLI_PATH " list -b " + archive);
    for (const std::string& row : c.listed)
      EXPECT_NE(list.out.find(row), std::string::npos) << row << "\n" << list.out;
  }
}

// What cannot or must not be archived is reported and left out; the rest
// is archived and the status is 1. Names that differ only in case are
// archived with a warning.
TEST_F(Create, LinksSpecialFilesAndRefusedNamesAreLeftOut) {
  std::string tree = MakeTree("tree");
  fs::create_symlink("/etc", tree + "/outside");
  fs::create_symlink("read me.txt", tree + "/link.txt");
  mkfifo((tree + "/pipe").c_str(), 0600);
  lzhtest::WriteWholeFile(tree + "/CON.txt", lzhtest::ToBytes("device"));
  lzhtest::WriteWholeFile(tree + "/ab:c", lzhtest::ToBytes("stream"));
  lzhtest::WriteWholeFile(tree + "/a\\b", lzhtest::ToBytes("a folder elsewhere"));
  lzhtest::WriteWholeFile(tree + "/skip.o", lzhtest::ToBytes("object"));
  lzhtest::WriteWholeFile(tree + "/READ ME.txt", lzhtest::ToBytes("upper case"));
  // The archive lies in the tree; made again, it leaves its earlier self out.
  std::string archive = tree + "/self.lzh";
  ASSERT_EQ(Lzhsfx("create " + archive + " -C " + dir + " tree -q -x '*.o'").status, 1);
  Ran run = Lzhsfx("create " + archive + " -C " + dir + " tree -x '*.o'");
  EXPECT_EQ(run.status, 1) << run.out;
  for (const char* expected :
       {"tree/outside: skipped: a symbolic link", "tree/link.txt: skipped: a symbolic link",
        "tree/pipe: skipped: neither a file nor a directory",
        "CON.txt: refused: its name is a "
        "Windows device name",
        "ab:c: refused: its name holds a character", "a\\b: refused: its name holds a \"\\\"",
        "warning: tree/READ ME.txt and tree/read me.txt differ only in case"})
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
  Ran list = Lzhsfx("list " + archive);
  for (const char* absent : {"outside", "passwd", "link.txt", "pipe", "CON", "ab:c", "a\\b",
                             "tree/a/b", "skip.o", "self.lzh"})
    EXPECT_EQ(list.out.find(absent), std::string::npos) << absent << "\n" << list.out;
  for (const char* present : {"tree/read me.txt", "tree/READ ME.txt"})
    EXPECT_NE(list.out.find(present), std::string::npos) << present << "\n" << list.out;
  // A path that climbs out is refused as a whole.
  Ran climbing = Lzhsfx("create " + dir + "/c.lzh -C " + tree + "/docs ../docs/old/short.txt");
  EXPECT_EQ(climbing.status, 1);
  EXPECT_NE(climbing.out.find("\"..\""), std::string::npos) << climbing.out;
  EXPECT_FALSE(fs::exists(dir + "/c.lzh")) << "nothing archived, nothing written";
}

// Each PATH is stored from its last name down (with -C, as given), run
// from tree/docs; a link back to a folder being walked is not followed
// again, and a link skipped is no failure. Names that collide are refused,
// and a replaced or oddly named OUT is told of. "!" marks text that must
// not appear.
TEST_F(Create, OperandsLinksAndOutput) {
  const std::string tree = MakeTree("tree"), docs = tree + "/docs";
  fs::create_directory_symlink("..", docs + "/old/loop");
  fs::create_symlink("short.txt", docs + "/old/alias.txt");
  lzhtest::WriteWholeFile(dir + "/old.lzh", lzhtest::ToBytes("earlier"));
  const struct {
    std::string args;  // OUT first
    int status;
    std::vector<std::string> said;  // by create, then by list -b OUT
  } kRows[] = {
      {dir + "/1.lzh " + tree + "/",
       0,
       {"warning: " + docs + "/old/loop: skipped: a symbolic link",
        "6 added, 2 skipped, 0 failed; 6 members", "  tree/docs/old/short.txt\n"}},
      {dir + "/2.lzh old/short.txt", 0, {"  short.txt\n"}},
      {dir + "/3.lzh .", 0, {"  noise.bin\n", "  old/short.txt\n"}},
      {dir + "/4.lzh ..", 0, {"  read me.txt\n", "  docs/noise.bin\n"}},
      {dir + "/5.lzh ../docs", 0, {"  docs/noise.bin\n"}},
      {dir + "/6.lzh -C " + dir + " tree/docs/old", 0, {"  tree/docs/old/short.txt\n"}},
      {dir + "/7.lzh old " + dir + "/tree/docs/old/",
       1,
       {"refused: it would be stored as old, which clashes with old,", "  old/short.txt\n"}},
      {dir + "/8.lzh . old", 1, {"stored as old, which clashes with ./old"}},
      {dir + "/9.lzh -L " + tree,
       0,
       {docs + "/old/loop: skipped: a link back to " + docs, "  tree/docs/old/alias.txt\n",
        "7 added, 1 skipped, 0 failed; 7 members"}},
      {dir + "/old.lzh old", 0, {"warning: replacing the existing " + dir + "/old.lzh"}},
      {"-q " + dir + "/old.lzh old", 0, {"!warning"}},
      {dir + "/x.zip old", 0, {"x.zip does not end in .lzh, .lha or .exe"}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.args);
    Ran made = Shell("cd '" + docs + "' && " LZH_CLI_PATH " create " + row.args);
    EXPECT_EQ(made.status, row.status) << made.out;
    const std::size_t slash = row.args.find('/');
    const std::string out = row.args.substr(slash, row.args.find(' ', slash) - slash);
    const std::string said = made.out + Lzhsfx("list -b " + out).out;
    for (const std::string& text : row.said) {
      if (text[0] == '!')
        EXPECT_EQ(said.find(text.substr(1)), std::string::npos) << text << "\n" << said;
      else
        EXPECT_NE(said.find(text), std::string::npos) << text << "\n" << said;
    }
  }
}

// Stored names by --charset: the bytes each choice stores, and the names
// that cannot be stored at the level asked for.
TEST_F(Create, NamesAreStoredInTheCharsetChosen) {
  const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC.txt";  // "nihon.txt"
  const std::string emoji = "\xF0\x9F\x98\x80.txt";             // U+1F600, not in cp932
  const struct {
    const std::string& name;
    const char* options;
    int status;
    std::string stored;  // bytes the archive holds, when it is made
  } kCases[] = {
      {japanese, "-h 0", 0, "\x93\xFA\x96\x7B.txt"},
      {japanese, "-h 1 --charset cp932", 0, "\x93\xFA\x96\x7B.txt"},
      {japanese, "-h 1 --charset raw", 0, japanese},
      {japanese, "-h 2 --charset UTF-8", 0, japanese},
      {emoji, "-h 2", 0, std::string("\x3D\xD8\x00\xDE", 4)},  // UTF-16LE in record 0x44
      {emoji, "-h 2", 0, "\x01_.txt"},                         // beside the code page's fallback
      {emoji, "-h 1", 1, ""},
      {emoji, "-h 2 --charset cp932", 1, ""},
  };
  int n = 0;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.options);
    std::string tree = dir + "/t" + std::to_string(++n);
    fs::create_directories(tree);
    lzhtest::WriteWholeFile(tree + "/" + c.name, lzhtest::ToBytes("x"));
    std::string archive = dir + "/n" + std::to_string(n) + ".lzh";
    Ran run = Lzhsfx("create " + archive + " -C " + tree + " . -q " + c.options);
    EXPECT_EQ(run.status, c.status) << run.out;
    if (c.status != 0) {
      EXPECT_NE(run.out.find("--charset"), std::string::npos) << run.out;
      EXPECT_FALSE(fs::exists(archive));
      continue;
    }
    Bytes bytes = lzhtest::ReadWholeFile(archive);
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find(c.stored), std::string::npos);
  }
}

// A failed archive leaves OUT as it was and no temporary file behind.
TEST_F(Create, AFailedArchiveLeavesNothingBehind) {
  std::string tree = MakeTree("tree");
  std::string archive = dir + "/keep.lzh";
  lzhtest::WriteWholeFile(archive, lzhtest::ToBytes("earlier"));
  EXPECT_EQ(Lzhsfx("create " + archive + " " + dir + "/missing").status, 1);
  EXPECT_EQ(Lzhsfx("create " + dir + "/no/such/dir/a.lzh " + tree).status, 1);
  EXPECT_TRUE(lzhtest::ReadWholeFile(archive) == lzhtest::ToBytes("earlier"));
  std::size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(dir)) entries += entry.path() != tree;
  EXPECT_EQ(entries, 1u) << "a temporary file was left";
}

TEST_F(Create, BadUsageIsStatusTwo) {
  std::string tree = MakeTree("tree");
  const char* const kBad[] = {"x.lzh",
                              "x.lzh {t} -m lh9",
                              "x.lzh {t} -h 3",
                              "x.lzh {t} -h",
                              "x.lzh {t} --frobnicate",
                              "x.lzh {t} --charset no-such-set",
                              "x.exe {t} -m lh6",
                              "x.exe {t} -m lh7 --stub /dev/null"};
  for (const char* bad : kBad) {
    std::string args = bad;
    if (args.find("{t}") != std::string::npos) args.replace(args.find("{t}"), 3, tree);
    Ran run = Lzhsfx("create " + dir + "/" + args);
    EXPECT_EQ(run.status, 2) << bad << ": " << run.out;
    EXPECT_NE(run.out.find("lzhsfx: "), std::string::npos) << bad << ": " << run.out;
  }
  EXPECT_FALSE(fs::exists(dir + "/x.lzh") || fs::exists(dir + "/x.exe"));
}

// Interrupted while they write, create and build remove their temporary
// files, say which, and end by the signal. A run that ends first (build
// writes its program in a moment) is run again.
TEST_F(Create, InterruptionLeavesNoTemporaryFile) {
  const std::string tree = dir + "/tree", out = dir + "/out", stub = LZH_STUB_PATH;
  fs::create_directories(tree);
  std::mt19937 rng(5);
  std::string text;
  while (text.size() < (24u << 20)) text += "word" + std::to_string(rng() % 100000) + " ";
  lzhtest::WriteWholeFile(tree + "/big.txt", lzhtest::ToBytes(text));
  ASSERT_EQ(Lzhsfx("create -q -m lh0 " + dir + "/stored.lzh " + tree).status, 0);
  for (const std::string& args :
       {"create " + out + "/big.lzh " + tree + " -9",
        "build " + dir + "/stored.lzh -o " + out + "/x.exe --stub " + stub}) {
    if (!fs::exists(stub) && args[0] == 'b') continue;
    SCOPED_TRACE(args);
    const std::string command = "exec " LZH_CLI_PATH " " + args + " >/dev/null 2>" + dir + "/said";
    // Whatever its name, a temporary file is one in out with a "-".
    auto writing = [&] {
      for (const auto& entry : fs::directory_iterator(out))
        if (entry.path().filename().string().find('-') != std::string::npos) return true;
      return false;
    };
    bool caught = false;
    for (int attempt = 0; attempt < 20 && !caught; ++attempt) {
      Shell("rm -rf " + out + " && mkdir " + out);
      pid_t pid = fork();
      if (pid == 0) execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      for (int i = 0; i < 4000 && !writing(); ++i) usleep(500);
      kill(pid, SIGSTOP);
      caught = writing();
      kill(pid, caught ? SIGINT : SIGKILL);
      kill(pid, SIGCONT);
      int status = 0;
      waitpid(pid, &status, 0);
      if (!caught) continue;
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
      EXPECT_TRUE(fs::is_empty(out)) << fs::directory_iterator(out)->path();
      EXPECT_NE(Shell("cat " + dir + "/said").out.find("removed the partly written " + out),
                std::string::npos);
    }
    EXPECT_TRUE(caught) << "never caught writing";
  }
}

// Starts lzhsfx with args, its output into outputPath; inChild runs first
// in the new process, whose number the tool will have.
pid_t Start(const std::vector<std::string>& args, const std::string& outputPath,
            const std::function<void()>& inChild = {}) {
  pid_t pid = fork();
  if (pid == 0) {
    if (inChild) inChild();
    int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(out, 2);
    std::vector<char*> argv{const_cast<char*>(LZH_CLI_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    execv(LZH_CLI_PATH, argv.data());
    _exit(127);
  }
  return pid;
}

int Finished(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Text(const std::string& path) {
  Bytes bytes = lzhtest::ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// Symbolic links planted under every name a temporary file of create or
// build could take (the process's number is known in the child before the
// tool starts), some to a file elsewhere, some to where none is: the tool
// writes through none of them, and OUT becomes a file of its own.
TEST_F(Create, PlantedLinksAtTemporaryNamesAreNeverWrittenThrough) {
  const std::string stub = LZH_STUB_PATH;
  const bool haveStub = !lzhtest::ReadWholeFile(stub).empty();
  MakeTree("tree");
  ASSERT_EQ(Lzhsfx("create -q " + dir + "/in.lzh -C " + dir + " tree").status, 0);
  ASSERT_EQ(Lzhsfx("create -q -m lh6 " + dir + "/in6.lzh -C " + dir + " tree").status, 0);
  const std::string victim = dir + "/victim";
  const struct {
    std::vector<std::string> args;  // {OUT} stands for the output
    bool program;
  } kRuns[] = {{{"create", "{OUT}", "-C", dir, "tree"}, false},
               {{"create", "{OUT}", "-C", dir, "tree", "--stub", stub}, true},
               {{"build", dir + "/in.lzh", "-o", "{OUT}", "--stub", stub}, true},
               {{"build", dir + "/in6.lzh", "-o", "{OUT}", "--stub", stub, "--repack"}, true}};
  for (std::size_t row = 0; row < std::size(kRuns); ++row) {
    const auto& run = kRuns[row];
    SCOPED_TRACE(row);
    if (run.program && !haveStub) continue;
    const std::string planted = dir + "/planted" + std::to_string(row);
    fs::create_directory(planted);
    lzhtest::WriteWholeFile(victim, lzhtest::ToBytes("not yours"));
    const std::string out = planted + (run.program ? "/out.exe" : "/out.lzh");
    std::vector<std::string> args = run.args;
    for (std::string& arg : args)
      if (arg == "{OUT}") arg = out;
    pid_t pid = Start(args, dir + "/said", [&] {
      std::vector<std::string> tails = {".tmp0", ".part", ".lzh-part", ".lzh-part.member"};
      for (const char* tag : {".tmp-", ".part-", ".member-"})
        for (int n = 0; n < 3; ++n)
          tails.push_back(tag + std::to_string(getpid()) + "-" + std::to_string(n));
      for (std::size_t i = 0; i < tails.size(); ++i)
        symlink((i % 2 == 0 ? victim : dir + "/elsewhere" + std::to_string(i)).c_str(),
                (out + tails[i]).c_str());
    });
    EXPECT_EQ(Finished(pid), 0) << Text(dir + "/said");
    EXPECT_EQ(Text(victim), "not yours");
    struct stat st;
    ASSERT_EQ(lstat(out.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "OUT is not a file of its own";
    EXPECT_EQ(Lzhsfx("test -q " + out).status, 0);
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(planted)) files += !entry.is_symlink();
    EXPECT_EQ(files, 1u) << "a temporary file was left";
  }
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_EQ(entry.path().filename().string().rfind("elsewhere", 0), std::string::npos)
        << "written through a link: " << entry.path();
}

// Two runs of create to one OUT at once, again and again: each either
// leaves OUT holding its whole archive when it ends (the other may replace
// it later) and says the size it wrote, or fails and says nothing was
// written; OUT always holds one of the two archives, and no temporary file
// is left.
TEST_F(Create, TwoRunsToOneOutputAtOnce) {
  const std::string out = dir + "/out/one.lzh";
  fs::create_directories(dir + "/out");
  const std::string inputs[] = {dir + "/a", dir + "/b"};
  lzhtest::WriteWholeFile(inputs[0], lzhtest::ToBytes("alpha"));
  lzhtest::WriteWholeFile(inputs[1], lzhtest::ToBytes("bravo, and more of it"));
  Bytes alone[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(Finished(Start({"create", "-m", "lh0", out, inputs[i]}, dir + "/said")), 0);
    alone[i] = lzhtest::ReadWholeFile(out);
  }
  ASSERT_NE(alone[0].size(), alone[1].size());
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    fs::remove(out);
    pid_t pids[2];
    for (int i = 0; i < 2; ++i)
      pids[i] = Start({"create", "-m", "lh0", out, inputs[i]}, dir + "/said" + std::to_string(i));
    int status[2];
    for (int i = 0; i < 2; ++i) status[i] = Finished(pids[i]);
    const Bytes left = lzhtest::ReadWholeFile(out);
    ASSERT_TRUE(left == alone[0] || left == alone[1]) << "OUT holds neither archive";
    for (int i = 0; i < 2; ++i) {
      const std::string said = Text(dir + "/said" + std::to_string(i));
      if (status[i] == 0) {
        EXPECT_NE(said.find(out + ": " + std::to_string(alone[i].size()) + " bytes"),
                  std::string::npos)
            << said;
      } else {
        EXPECT_NE(said.find("nothing was written"), std::string::npos) << said;
        EXPECT_TRUE(left != alone[i]) << "it wrote OUT, and said it wrote nothing: " << said;
      }
    }
    EXPECT_TRUE(status[0] == 0 || status[1] == 0);
    ASSERT_EQ(std::distance(fs::directory_iterator(dir + "/out"), fs::directory_iterator()), 1)
        << "a temporary file was left";
  }
}

// A sparse file of 4 GiB and a few bytes, the last not all zero: level 2
// keeps its sizes in record 0x42, which list and test read;
// levels 0 and 1, and a program (whose stub counts in 31 bits), leave it out
// and archive the rest. Stored: packing 4 GiB takes the tests' build over
// half a minute (the header writer's test covers a packed member's record).
TEST_F(Create, FileOfFourGibibytesAndMore) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "4 GiB stored and read under AddressSanitizer takes minutes";
#endif
  if (std::getenv("LZH_CLI_WRAPPER") != nullptr)
    GTEST_SKIP() << "4 GiB read under another program takes too long";
  constexpr off_t kSize = 4294967302;
  const std::string big = dir + "/big.bin", archive = dir + "/big.lzh";
  int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_EQ(ftruncate(fd, kSize), 0);
  ASSERT_EQ(pwrite(fd, "tail!", 5, kSize - 12), 5);
  close(fd);
  lzhtest::WriteWholeFile(dir + "/small.txt", lzhtest::ToBytes("small"));
  Ran made = Lzhsfx("create -q -m lh0 " + archive + " -C " + dir + " big.bin small.txt");
  ASSERT_EQ(made.status, 0) << made.out;
  Ran listed = Lzhsfx("list -b " + archive);
  EXPECT_NE(listed.out.find("4294967302 4294967302 "), std::string::npos) << listed.out;
  Ran tested = Lzhsfx("test " + archive);  // the CRC of all its bytes, and their count
  EXPECT_EQ(tested.status, 0) << tested.out;
  EXPECT_NE(tested.out.find("2 members, 4294967307 bytes"), std::string::npos) << tested.out;
  fs::remove(archive);

  std::string stub = LZH_STUB_PATH;
  std::vector<std::string> refusals = {
      "-h 0 " + dir + "/big0.lzh: big.bin: skipped: a file of 4 GiB or more needs header level 2",
      "-h 1 " + dir + "/big1.lzh: big.bin: skipped: a file of 4 GiB or more needs header level 2"};
  if (!lzhtest::ReadWholeFile(stub).empty())
    refusals.push_back(dir + "/big.exe --stub " + stub +
                       ": big.bin: skipped: 2 GiB or more, which the program cannot extract");
  for (const std::string& refusal : refusals) {
    const std::size_t colon = refusal.find(": ");
    Ran left = Lzhsfx("create " + refusal.substr(0, colon) + " -C " + dir + " big.bin small.txt");
    EXPECT_EQ(left.status, 1) << left.out;
    EXPECT_NE(left.out.find(refusal.substr(colon + 2)), std::string::npos) << left.out;
    EXPECT_NE(left.out.find("1 added, 0 skipped, 1 failed"), std::string::npos) << left.out;
  }
}

// A program made in one step holds the archive the stub extracts.
TEST_F(Create, ExeOutputIsAProgramWithTheArchive) {
  std::string stub = LZH_STUB_PATH;
  if (lzhtest::ReadWholeFile(stub).empty())
    GTEST_SKIP() << "no cross-built stub at " << stub << " (cmake --preset win32 builds it)";
  std::string tree = MakeTree("tree");
  std::string program = dir + "/tree.exe";
  Ran made = Lzhsfx("create " + program + " -C " + dir + " tree --stub " + stub);
  ASSERT_EQ(made.status, 0) << made.out;
  Bytes bytes = lzhtest::ReadWholeFile(program);
  EXPECT_EQ(bytes[0], 'M');
  EXPECT_EQ(Lzhsfx("extract " + program + " -C " + dir + "/out --overwrite").status, 0);
  EXPECT_EQ(Census(dir + "/out/tree"), Census(tree));
  EXPECT_EQ(StartingWith(dir, "tree.exe."), 0) << "a temporary file was left";
}

// Peers find a program's archive by the first method tag among its bytes:
// they list the members of programs made by create and by build.
TEST_F(Create, PeersListTheMembersOfAProgram) {
  std::string stub = LZH_STUB_PATH;
  if (lzhtest::ReadWholeFile(stub).empty())
    GTEST_SKIP() << "no cross-built stub at " << stub << " (cmake --preset win32 builds it)";
  MakeTree("tree");
  ASSERT_EQ(Lzhsfx("create -q " + dir + "/made.exe -C " + dir + " tree --stub " + stub).status, 0);
  ASSERT_EQ(Lzhsfx("create -q " + dir + "/tree.lzh -C " + dir + " tree").status, 0);
  ASSERT_EQ(Lzhsfx("build " + dir + "/tree.lzh -o " + dir + "/built.exe --stub " + stub).status, 0);
  int peers = 0;
  for (const std::string peer : {"lhasa", "7zz"}) {
    if (!Installed(peer)) continue;
    ++peers;
    for (const char* program : {"/made.exe", "/built.exe"}) {
      Ran listed = Shell(peer + " l " + dir + program);
      EXPECT_EQ(listed.status, 0) << peer << program << "\n" << listed.out;
      for (const char* member : {"tree/read me.txt", "tree/docs/old/short.txt"})
        EXPECT_NE(listed.out.find(member), std::string::npos) << peer << program << "\n"
                                                              << listed.out;
    }
  }
  if (peers == 0)
    GTEST_SKIP() << "neither lhasa nor 7zz is installed: no peer to list the programs";
}

}  // namespace

namespace {

// Archives of -lh6- and -lh7- members at each header level, made by jLHA:
// build refuses them and suggests --repack; with it, the program holds
// -lh5- members that extract to the same files, names and times, and the
// other members are copied byte for byte. A damaged member stops it.
TEST_F(Create, BuildRepacksWhatTheStubCannotDecode) {
  std::string stub = LZH_STUB_PATH;
  if (lzhtest::ReadWholeFile(stub).empty())
    GTEST_SKIP() << "no cross-built stub at " << stub << " (cmake --preset win32 builds it)";
  if (!Installed("jlha")) GTEST_SKIP() << "jlha is not installed: no -lh6-/-lh7- archives to make";
  std::string tree = MakeTree("tree");
  for (const char* options : {"a0o6", "a1o7", "a2o6"}) {
    SCOPED_TRACE(options);
    std::string archive = dir + "/" + options + ".lzh", program = dir + "/" + options + ".exe";
    ASSERT_EQ(Shell("cd " + dir + " && jlha " + options + " " + archive + " tree").status, 0);
    Ran refused = Lzhsfx("build " + archive + " -o " + program + " --stub " + stub);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.out.find("--repack re-encodes"), std::string::npos) << refused.out;
    Ran built = Lzhsfx("build " + archive + " -o " + program + " --stub " + stub + " --repack");
    ASSERT_EQ(built.status, 0) << built.out;
    EXPECT_NE(built.out.find("tree/read me.txt: -lh"), std::string::npos) << built.out;
    std::string before = Lzhsfx("list " + archive).out, after = Lzhsfx("list " + program).out;
    EXPECT_EQ(after.find("-lh6-"), after.find("-lh7-")) << after;
    // The lines of members that kept their method are the same.
    std::string kept = before.substr(
        before.find("-lh0-"), before.find('\n', before.find("-lh0-")) - before.find("-lh0-"));
    EXPECT_NE(after.find(kept), std::string::npos) << before << after;
    ASSERT_EQ(Lzhsfx("extract " + archive + " -C " + dir + "/from-archive --overwrite").status, 0);
    ASSERT_EQ(Lzhsfx("extract " + program + " -C " + dir + "/from-program --overwrite").status, 0);
    EXPECT_EQ(Census(dir + "/from-program"), Census(dir + "/from-archive"));
    fs::remove_all(dir + "/from-archive");
    fs::remove_all(dir + "/from-program");
  }
  Bytes damaged = lzhtest::ReadWholeFile(dir + "/a2o6.lzh");
  std::size_t at = std::string(damaged.begin(), damaged.end()).find("-lh6-");
  ASSERT_NE(at, std::string::npos);
  damaged[at + 200] ^= 0x55;
  lzhtest::WriteWholeFile(dir + "/damaged.lzh", damaged);
  fs::remove(dir + "/d.exe");
  Ran failed =
      Lzhsfx("build " + dir + "/damaged.lzh -o " + dir + "/d.exe --stub " + stub + " --repack");
  EXPECT_EQ(failed.status, 2);
  EXPECT_NE(failed.out.find("cannot be repacked"), std::string::npos) << failed.out;
  EXPECT_EQ(StartingWith(dir, "d.exe"), 0) << "a program or a temporary file was left";
}

}  // namespace
