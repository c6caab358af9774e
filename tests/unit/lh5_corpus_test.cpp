// -lh4- to -lh7- members made by real encoders: the corpus archives, and
// large members packed at test time by the jLHA library, decoded bit-exact.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "archive/member_header.h"
#include "codec/decoder.h"
#include "support/corpus.h"
#include "support/decode_members.h"
#include "support/memory_file_system.h"
#include "support/sha256.h"

namespace {

using lzhtest::MemoryFileSystem;
using Bytes = std::vector<std::uint8_t>;

using Member = lzhtest::DecodedMember;

std::vector<Member> DecodeArchive(const Bytes& archiveBytes, int readChunk = 0) {
  return lzhtest::DecodeMembers(archiveBytes, "4567", readChunk);
}

// The methods the build under test decodes: the program has no -lh6- or
// -lh7-.
bool StaticHuffman(const std::string& method) {
  return method == "-lh4-" || method == "-lh5-" ||
         (!lzh::kProgramCore && (method == "-lh6-" || method == "-lh7-"));
}

TEST(Lh5Corpus, VerifiedMembersDecodeToTheirBytesAndCrc) {
  LZH_REQUIRE_CORPUS();
  lzh::CrcTableScope table;
  std::map<std::string, std::vector<lzhtest::ManifestRow>> rowsByArchive;
  for (const auto& row : lzhtest::ReadManifest()) rowsByArchive[row.archive].push_back(row);
  std::map<std::string, int> checked;  // by method
  std::set<int> levels;
  for (const auto& [archive, rows] : rowsByArchive) {
    bool wanted = false;
    for (const auto& row : rows) wanted |= row.verified && StaticHuffman(row.method);
    if (!wanted) continue;
    Bytes bytes = lzhtest::ReadWholeFile(lzhtest::CorpusDir() + "/" + archive);
    for (int readChunk : {0, 5}) {
      std::vector<Member> members = DecodeArchive(bytes, readChunk);
      ASSERT_EQ(members.size(), rows.size()) << archive;
      for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        const Member& m = members[i];
        if (!row.verified || !StaticHuffman(row.method)) continue;
        SCOPED_TRACE(archive + " member " + std::to_string(i) + ", reads of " +
                     std::to_string(readChunk));
        ASSERT_EQ(m.method, row.method);
        EXPECT_EQ(static_cast<std::int64_t>(m.output.size()), row.size);
        EXPECT_EQ(lzhtest::Sha256Hex(m.output), row.sha256);
        EXPECT_EQ(m.runningCrc, m.headerCrc);
        EXPECT_EQ(m.headerCrc, row.crc);
        levels.insert(m.level);
        ++checked[m.method];
      }
    }
  }
  EXPECT_GE(checked["-lh4-"] + checked["-lh5-"], 2 * 18);
  if (!lzh::kProgramCore) {
    EXPECT_GE(checked["-lh6-"] + checked["-lh7-"], 2 * 15);
    EXPECT_EQ(checked.size(), 4u) << "members of each of -lh4- to -lh7-";
  }
  EXPECT_EQ(levels, (std::set<int>{0, 1, 2}));
}

// The jLHA library (Debian package jlha-utils) driven through
// tests/support/LzhPack.java, or "" when Java or the library is missing.
std::string PackerCommand() {
  const std::string jar = "/usr/share/java/jlha.jar";
  const std::string source =
      std::filesystem::path(__FILE__).parent_path().parent_path() / "support" / "LzhPack.java";
  if (access(jar.c_str(), R_OK) != 0 || access(source.c_str(), R_OK) != 0) return "";
  // Running a source file needs a JDK's compiler, not only a JRE: without
  // arguments the packer answers with its usage and exit status 2.
  std::string command = "java -cp " + jar + " " + source;
  int status = std::system((command + " >/dev/null 2>&1").c_str());
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 2) return "";
  return command;
}

struct TempDir {
  TempDir() {
    char pattern[] = "/tmp/lh5-roundtrip-XXXXXX";
    path = mkdtemp(pattern) ? pattern : "";
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

// Text: the machine's documentation where there is some, else made-up
// words; binary: the machine's programs; and random bytes.
std::map<std::string, Bytes> RoundTripInputs() {
  std::map<std::string, Bytes> inputs;
  std::mt19937 rng(55);
  Bytes text, binary;
  auto gather = [](Bytes& into, const char* dir, std::size_t want) {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator() && into.size() < want;
         it.increment(ec)) {
      if (!it->is_regular_file(ec) || it->path().extension() == ".gz") continue;
      Bytes file = lzhtest::ReadWholeFile(it->path().string());
      into.insert(into.end(), file.begin(), file.end());
    }
    if (into.size() > want) into.resize(want);
  };
  gather(text, "/usr/share/common-licenses", 2 << 20);
  static const char* const kWords[] = {"the ",     "archive ", "member ", "of ",
                                       "bytes ",   "and ",     "header ", "\n",
                                       "decoder ", "window ",  "code "};
  while (text.size() < (2 << 20)) {
    const char* w = kWords[rng() % 11];
    text.insert(text.end(), w, w + std::strlen(w));
  }
  gather(binary, "/usr/bin", 2 << 20);
  Bytes random(1 << 20);
  for (auto& b : random) b = static_cast<std::uint8_t>(rng());
  inputs["text.txt"] = std::move(text);
  inputs["binary.bin"] = std::move(binary);
  inputs["random.bin"] = std::move(random);
  inputs["one.txt"] = Bytes{'1'};
  Bytes runs(200000, 'r');  // long matches at distance 1
  inputs["runs.txt"] = std::move(runs);
  return inputs;
}

TEST(Lh5RoundTrip, MembersPackedByARealEncoderDecodeBitExact) {
  const std::string packer = PackerCommand();
  if (packer.empty())
    GTEST_SKIP() << "needs a JDK (java running source files) and /usr/share/java/jlha.jar";
  lzh::CrcTableScope table;
  TempDir dir;
  ASSERT_FALSE(dir.path.empty());
  std::map<std::string, Bytes> inputs = RoundTripInputs();
  std::string files;
  for (const auto& [name, bytes] : inputs) {
    ASSERT_TRUE(lzhtest::WriteWholeFile(dir.path + "/" + name, bytes));
    files += " " + dir.path + "/" + name;
  }
  const struct {
    const char* method;
    int level;
  } kArchives[] = {{"-lh4-", 1}, {"-lh5-", 2}, {"-lh5-", 0}};
  for (const auto& a : kArchives) {
    SCOPED_TRACE(std::string(a.method) + " level " + std::to_string(a.level));
    std::string archive = dir.path + "/out.lzh";
    std::string command =
        packer + " " + a.method + " " + std::to_string(a.level) + " " + archive + files;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<Member> members = DecodeArchive(lzhtest::ReadWholeFile(archive));
    ASSERT_EQ(members.size(), inputs.size());
    for (const Member& m : members) {
      SCOPED_TRACE(m.name);
      ASSERT_TRUE(inputs.count(m.name));
      EXPECT_EQ(m.method, a.method);
      EXPECT_EQ(m.level, a.level);
      EXPECT_TRUE(m.output == inputs[m.name]) << "decoded bytes differ";
      EXPECT_EQ(m.runningCrc, m.headerCrc);
    }
  }
}

}  // namespace
