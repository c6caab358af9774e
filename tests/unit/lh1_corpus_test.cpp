// -lh1- members made by real encoders: the corpus archives, and members
// packed at test time by the jLHA library, decoded bit-exact.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive/member_header.h"
#include "codec/decoder.h"
#include "support/corpus.h"
#include "support/decode_members.h"
#include "support/lh1_bit_writer.h"
#include "support/memory_file_system.h"
#include "support/sha256.h"

namespace {

using lzhtest::MemoryFileSystem;
using Bytes = std::vector<std::uint8_t>;

using Member = lzhtest::DecodedMember;

std::vector<Member> DecodeArchive(const Bytes& archiveBytes, int readChunk = 0) {
  return lzhtest::DecodeMembers(archiveBytes, "1", readChunk);
}

TEST(Lh1Corpus, VerifiedMembersDecodeToTheirBytesAndCrc) {
  LZH_REQUIRE_CORPUS();
  std::map<std::string, std::vector<lzhtest::ManifestRow>> byArchive;
  for (const auto& row : lzhtest::ReadManifest()) byArchive[row.archive].push_back(row);
  int checked = 0;
  std::map<int, int> levels;
  for (const auto& [path, rows] : byArchive) {
    bool hasLh1 = false;
    for (const auto& row : rows) hasLh1 |= row.method == "-lh1-";
    if (!hasLh1) continue;
    Bytes bytes = lzhtest::ReadWholeFile(lzhtest::CorpusDir() + "/" + path);
    for (int chunk : {0, 5}) {
      std::vector<Member> members = DecodeArchive(bytes, chunk);
      ASSERT_EQ(members.size(), rows.size()) << path;
      for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        if (row.method != "-lh1-" || !row.verified) continue;
        const Member& m = members[i];
        EXPECT_EQ(m.method, row.method) << path;
        EXPECT_EQ(lzhtest::Sha256Hex(m.output), row.sha256) << path << " member " << i;
        EXPECT_EQ(m.runningCrc, row.crc) << path << " member " << i;
        EXPECT_EQ(m.runningCrc, m.headerCrc) << path << " member " << i;
        if (chunk == 0) {
          ++checked;
          ++levels[row.level];
        }
      }
    }
  }
  EXPECT_GE(checked, 9);
  EXPECT_GE(levels[0], 1);
  EXPECT_GE(levels[1], 1);
}

// Inputs of three kinds, made here so that no sample file is needed.
Bytes MakeText(std::size_t size, unsigned seed) {
  static const char* kWords[] = {
      "the",    "of",      "and",     "archive", "member", "header", "window", "tree",
      "symbol", "weight",  "decoder", "bytes",   "a",      "to",     "in",     "is",
      "that",   "for",     "with",    "offset",  "match",  "length", "block",  "file",
      "which",  "program", "when",    "each",    "node",   "leaf",   "root",   "output"};
  std::mt19937 random(seed);
  std::geometric_distribution<int> pick(0.12);
  Bytes text;
  int column = 0;
  while (text.size() < size) {
    std::string word = kWords[pick(random) % 32];
    if (random() % 29 == 0) word = std::to_string(random() % 100000);
    for (char c : word) text.push_back(static_cast<std::uint8_t>(c));
    column += static_cast<int>(word.size()) + 1;
    if (column > 72) {
      text.push_back('\n');
      column = 0;
    } else {
      text.push_back(random() % 13 == 0 ? ',' : ' ');
    }
  }
  text.resize(size);
  return text;
}

// Machine-code-like records: small little-endian numbers, pointers that
// climb, runs of zeros and a share of noise.
Bytes MakeBinary(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bin;
  std::uint32_t pointer = 0x401000;
  while (bin.size() < size) {
    switch (random() % 5) {
      case 0:
        bin.insert(bin.end(), 1 + random() % 24, 0);
        break;
      case 1:
        pointer += 4 * (random() % 64);
        for (int i = 0; i < 4; ++i) bin.push_back(static_cast<std::uint8_t>(pointer >> (8 * i)));
        break;
      case 2: {
        static const std::uint8_t kOps[][3] = {{0x8B, 0x45, 0xF8},
                                               {0x89, 0xE5, 0x55},
                                               {0xE8, 0, 0},
                                               {0x83, 0xC4, 0x10},
                                               {0xC3, 0x90, 0x90}};
        const auto& op = kOps[random() % 5];
        bin.insert(bin.end(), op, op + 3);
        break;
      }
      case 3:
        bin.push_back(static_cast<std::uint8_t>(random() % 16));
        break;
      default:
        for (int i = 0; i < 6; ++i) bin.push_back(static_cast<std::uint8_t>(random()));
    }
  }
  bin.resize(size);
  return bin;
}

// Noise over 200 byte values: hardly compressible, yet a little, so that
// the encoder keeps -lh1- rather than storing it.
Bytes MakeNoise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes noise(size);
  for (auto& b : noise) b = static_cast<std::uint8_t>(random() % 200);
  return noise;
}

std::string PackerSource() {
  std::string here = __FILE__;
  return here.substr(0, here.rfind("/unit/")) + "/support/LzhPack.java";
}

TEST(Lh1Corpus, MembersOfARealEncoderRoundTrip) {
  const char* jar = "/usr/share/java/jlha.jar";
  if (!std::filesystem::exists(jar) || !std::filesystem::exists(PackerSource()) ||
      std::system("java -version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "java and the jLHA library (jlha-utils) are needed to pack -lh1- members";
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("lh1_round_trip_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  struct Input {
    const char* name;
    Bytes bytes;
  };
  // Large members of each kind in one archive; the header levels only
  // change where the packed data start, so smaller members do for those.
  std::vector<Input> large = {{"text.txt", MakeText(3 << 19, 1)},
                              {"binary.bin", MakeBinary(3 << 19, 2)},
                              {"noise.bin", MakeNoise(1 << 19, 3)},
                              {"short.txt", MakeText(10240, 4)}};
  std::vector<Input> small = {{"small.txt", MakeText(100000, 5)},
                              {"small.bin", MakeBinary(30000, 6)}};
  for (int level = 0; level <= 2; ++level) {
    const std::vector<Input>& inputs = level == 1 ? large : small;
    std::string files;
    for (const auto& input : inputs) {
      ASSERT_TRUE(lzhtest::WriteWholeFile((dir / input.name).string(), input.bytes));
      files += " " + (dir / input.name).string();
    }
    std::string archive = (dir / ("level" + std::to_string(level) + ".lzh")).string();
    std::string command = std::string("java -cp ") + jar + " " + PackerSource() + " -lh1- " +
                          std::to_string(level) + " " + archive + files + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    Bytes archiveBytes = lzhtest::ReadWholeFile(archive);
    std::vector<Member> members = DecodeArchive(archiveBytes);
    ASSERT_EQ(members.size(), inputs.size()) << "level " << level;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      const Member& m = members[i];
      ASSERT_EQ(m.method, "-lh1-") << inputs[i].name;
      EXPECT_TRUE(m.output == inputs[i].bytes) << inputs[i].name << ", level " << level;
      EXPECT_EQ(m.runningCrc, m.headerCrc) << inputs[i].name << ", level " << level;
    }
    // The plain decoder agrees on real streams, whose trees are skewed.
    if (level == 1) {
      EXPECT_TRUE(lzhtest::lh1::ReferenceDecode(members[1].packed, members[1].originalSize) ==
                  members[1].output);
    }
  }
  fs::remove_all(dir);
}

}  // namespace
