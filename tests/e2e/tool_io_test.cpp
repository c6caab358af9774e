// The tool at the edges of its input and output: archives from pipes,
// writes that fail, names that reach a terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

// Names from an archive, from disk or from the command line reach the
// terminal escaped: C0 and C1 controls (raw, or UTF-8 encoded) and the
// bidirectional overrides and isolates, which would make a name show as
// another or drive the terminal.
TEST_F(ToolIo, NamesReachTheTerminalEscaped) {
  std::string archive =
      Write("n.lzh",
            ArchiveBytes(
                {StoredMember("esc\x1b[31m.txt", "1"), StoredMember("csi\x9b", "2"),
                 StoredMember("c1\xc2\x9b.txt", "3"), StoredMember("rlo\xe2\x80\xae.txt", "4"),
                 StoredMember("lri\xe2\x81\xa6.txt", "5"), StoredMember("caf\xc3\xa9.txt", "6")}));
  const std::vector<std::string> members = {"esc\\x1b[31m.txt", "csi\\x9b",
                                            "c1\\u009b.txt",    "rlo\\u202e.txt",
                                            "lri\\u2066.txt",   "caf\xc3\xa9.txt"};
  const std::vector<std::string> onDisk = {"d\\x1b\\x0d/aux.txt", "l\\x1b\\x0d", "n\\x1b\\x0d.txt"};
  struct Case {
    const char* what;
    std::string script;
    std::vector<std::string> shown;
  } const cases[] = {
      {"list", "$L list -b A", members},
      {"test", "$L test -v A", members},
      {"extract", "$L extract -v --overwrite -C out A", members},
      {"a pattern", "$L list A $'p\\e\\r'", {"no member matches p\\x1b\\x0d"}},
      {"create",
       "mkdir -p t/$'d\\e\\r' && touch t/$'d\\e\\r'/aux.txt t/$'n\\e\\r.txt' && "
       "ln -s x t/$'l\\e\\r' && $L create -v c.lzh t",
       onDisk},
      {"the question",
       "$L extract -q -C $'q\\e\\r' A; echo n | $L extract --ask -C $'q\\e\\r' A",
       {"csi\\x9b already exists in q\\x1b\\x0d"}},
  };
  for (const Case& c : cases) {
    std::string script = c.script;
    for (std::size_t at; (at = script.find(" A")) != std::string::npos;)
      script.replace(at, 2, " " + archive);
    Ran run = Bash("cd " + dir + " && " + script);
    for (const std::string& name : c.shown)
      EXPECT_NE(run.out.find(name), std::string::npos) << c.what << ": " << name << "\n" << run.out;
    for (const char* raw : {"\x1b", "\r", "\x9b", "\xe2\x80\xae", "\xe2\x81\xa6"})
      EXPECT_EQ(run.out.find(raw), std::string::npos) << c.what << "\n" << run.out;
  }
}

}  // namespace
