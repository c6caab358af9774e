// The tool at the edges of its input and output: archives from pipes,
// writes that fail, names that reach a terminal.
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
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/archive_builder.h"
#include "support/corpus.h"
#include "support/shell.h"

namespace {

using lzhtest::ArchiveBytes;
using lzhtest::Ran;
using lzhtest::StoredMember;
using lzhtest::WaitUntil;

// Runs script under bash, in which $L is the tool.
Ran Bash(const std::string& script) {
  std::string quoted;
  for (char c : script) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return lzhtest::Shell("bash -c '" + quoted + "'");
}

class ToolIo : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = lzhtest::MakeScratchDirectory("lzhsfx-io");
    ASSERT_FALSE(dir.empty());
    setenv("L", LZH_CLI_PATH, 1);
    // Where the copy of standard input goes, to be looked for.
    setenv("TMPDIR", dir.c_str(), 1);
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::string Write(const std::string& name, const lzhtest::Bytes& bytes) {
    lzhtest::WriteWholeFile(dir + "/" + name, bytes);
    return dir + "/" + name;
  }
  bool SpoolLeft() const {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (entry.path().filename().string().rfind("lzhsfx-stdin-", 0) == 0) return true;
    }
    return false;
  }
  std::string dir;
};

// `lzhsfx ARGS` running, its standard input and output on pipes held here
// (output never read: a long listing stops when the pipe is full), its
// errors dropped.
struct Started {
  pid_t pid = -1;
  int input = -1;
  int output = -1;

  explicit Started(const std::string& args) {
    const std::string command = "exec " LZH_CLI_PATH " " + args + " 2>/dev/null";
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid = fork();
    if (pid == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[1]);
      close(out[0]);
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    input = in[1];
    output = out[0];
  }
  ~Started() {
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) kill(pid, SIGKILL);
    if (pid > 0) waitpid(pid, nullptr, 0);
    close(input);
    close(output);
  }
  void Send(const lzhtest::Bytes& bytes, bool thenClose) {
    (void)!write(input, bytes.data(), bytes.size());
    if (thenClose) {
      close(input);
      input = -1;
    }
  }
  // The signal that ended it, or 0.
  int EndingSignal() {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return 0;
    pid = -1;
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
};

int Queued(int fd) {
  int queued = 0;
  return ioctl(fd, FIONREAD, &queued) == 0 ? queued : 0;
}

// A pipe named as FILE is read like "-"; seeking in it lost members. What
// holds no archive at all is refused with its kind.
TEST_F(ToolIo, NonRegularInputIsReadAsAStreamOrRefused) {
  std::string archive =
      Write("a.lzh", ArchiveBytes({StoredMember("a.txt", "alpha"),
                                   StoredMember("big.bin", std::string(3000000, 'b')),
                                   StoredMember("c.txt", "charlie")}));
  struct Case {
    const char* command;
    int status;
    const char* shown;
  } const cases[] = {
      {"list -b <(cat A)", 0, "c.txt\n"},
      {"test <(cat A)", 0, "3 OK, 0 failed"},
      {"extract -C out <(cat A) && cat out/c.txt", 0, "charlie"},
      {"list .", 2, "lzhsfx: . is a directory, not an archive\n"},
      {"test /dev/null", 2, "lzhsfx: /dev/null is a device, not an archive file\n"},
  };
  for (const Case& c : cases) {
    std::string command = c.command;
    if (command.find('A') != std::string::npos) command.replace(command.find('A'), 1, archive);
    Ran run = Bash("cd " + dir + " && $L " + command);
    EXPECT_EQ(run.status, c.status) << command << run.out;
    EXPECT_NE(run.out.find(c.shown), std::string::npos) << command << run.out;
  }
  EXPECT_FALSE(SpoolLeft());
}

// The copy of standard input goes with the process however it ends: while
// it is copied, while a command with no handler of its own (list) runs, and
// while extract's handler removes its partial member.
TEST_F(ToolIo, InterruptionRemovesTheCopyOfStandardInput) {
  signal(SIGPIPE, SIG_IGN);
  std::vector<lzhtest::MemberPlan> many;
  for (int i = 0; i < 3000; ++i) many.push_back(StoredMember("member" + std::to_string(i), "x"));
  const lzhtest::Bytes longList = ArchiveBytes(many);
  const lzhtest::Bytes bigMember = ArchiveBytes(
      {StoredMember("first.txt", "1"), StoredMember("big.txt", std::string(32 << 20, 'b'))});
  mkdir((dir + "/out").c_str(), 0777);
  // big.txt as it is written, under its temporary name (first.txt's one
  // byte passes through the same name first).
  const std::string writing = dir + "/out/~lzh0000.tmp";
  auto beingWritten = [&] {
    struct stat st;
    return stat(writing.c_str(), &st) == 0 && st.st_size > 1;
  };
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    for (const char* phase : {"copying", "listing", "extracting"}) {
      SCOPED_TRACE(std::string(strsignal(signal)) + " while " + phase);
      const std::string what = phase;
      Started run(what == "extracting" ? "extract --overwrite -C " + dir + "/out -" : "list -");
      if (what == "copying") {
        run.Send(lzhtest::Bytes(100, 0x20), false);
        ASSERT_TRUE(WaitUntil([&] { return SpoolLeft(); }));
      } else if (what == "listing") {
        run.Send(longList, true);
        ASSERT_TRUE(WaitUntil([&] { return Queued(run.output) > 0; }));
      } else {
        run.Send(bigMember, true);
        ASSERT_TRUE(WaitUntil(beingWritten));
        // Held while the signal comes, so that big.txt cannot end first.
        kill(run.pid, SIGSTOP);
        ASSERT_TRUE(beingWritten()) << "big.txt ended too soon";
      }
      kill(run.pid, signal);
      kill(run.pid, SIGCONT);
      EXPECT_EQ(run.EndingSignal(), signal);
      EXPECT_FALSE(SpoolLeft());
    }
  }
}

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
  EXPECT_FALSE(SpoolLeft());
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
