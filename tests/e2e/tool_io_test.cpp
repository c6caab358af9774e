// The tool at the edges of its input and output: archives from pipes,
// writes that fail, names that reach a terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/archive_builder.h"
#include "support/corpus.h"

namespace {

using lzhtest::ArchiveBytes;
using lzhtest::StoredMember;

struct Ran {
  int status = -1;
  std::string out;  // stdout and stderr
};

// Runs script under bash, in which $L is the tool; redirections in the
// script override the stderr joined to stdout here.
Ran Bash(const std::string& script) {
  std::string quoted;
  for (char c : script) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  Ran run;
  FILE* pipe = popen(("bash -c '" + quoted + "' 2>&1 </dev/null").c_str(), "r");
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class ToolIo : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lzhsfx-io-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    setenv("L", LZH_CLI_PATH, 1);
    // Where the copy of standard input goes, to be looked for.
    setenv("TMPDIR", dir.c_str(), 1);
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::string Write(const std::string& name, const lzhtest::Bytes& bytes) {
    lzhtest::WriteWholeFile(dir + "/" + name, bytes);
    return dir + "/" + name;
  }
  std::string dir;
};

// Past ulimit -f the write fails, and is reported like any failed write;
// SIGXFSZ would kill the tool in silence.
TEST_F(ToolIo, FileSizeLimitFailsTheWriteNotTheProcess) {
  std::string big(200000, 'b');
  std::string archive = Write(
      "a.lzh", ArchiveBytes({StoredMember("big.txt", big), StoredMember("small.txt", "small")}));
  struct Case {
    const char* command;
    int status;
    const char* message;
  } const cases[] = {
      {"extract --overwrite -C out A", 1, "big.txt: could not write "},
      {"create -m lh0 out.lzh A", 1, "out.lzh: cannot be written: File too large"},
      {"list - <A", 2, "File too large"},
  };
  for (const Case& c : cases) {
    std::string command = c.command;
    command.replace(command.find('A'), 1, archive);
    Ran run = Bash("cd " + dir + " && ulimit -f 64 && exec $L " + command);
    EXPECT_EQ(run.status, c.status) << command << run.out;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << command << run.out;
    EXPECT_NE(run.out.find("File too large"), std::string::npos) << command << run.out;
  }
  EXPECT_EQ(lzhtest::ReadWholeFile(dir + "/out/small.txt"), lzhtest::ToBytes("small"));
  EXPECT_EQ(Bash("ls " + dir + " | grep -c lzhsfx-stdin").out, "0\n");
}

// Output lost to a full device is a failure, told at the end.
TEST_F(ToolIo, UnwrittenOutputFailsTheCommand) {
  std::string archive = Write("a.lzh", ArchiveBytes({StoredMember("a.txt", "alpha")}));
  lzhtest::WriteWholeFile(dir + "/f.txt", lzhtest::ToBytes("file"));
  for (const char* command : {"list A", "test -v A", "extract -v -C out A", "extract -p A",
                              "create -v n.lzh f.txt", "--help"}) {
    std::string line = command;
    if (line.find('A') != std::string::npos) line.replace(line.find('A'), 1, archive);
    Ran run = Bash("cd " + dir + " && $L " + line + " >/dev/full");
    EXPECT_EQ(run.status, 1) << line << run.out;
    EXPECT_NE(run.out.find("lzhsfx: cannot write the output: "), std::string::npos)
        << line << run.out;
  }
}

}  // namespace
