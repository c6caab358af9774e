// The archive writer: archives it makes are read back by our header reader
// and decoders and extracted by the peer tools (lhasa, 7zz, jlha) to the
// same bytes and time stamps; a member that fails leaves the archive whole.
#include "archive_writer/archive_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "archive/header_cursor.h"
#include "support/decode_members.h"
#include "support/lh5_harness.h"
#include "support/memory_file_system.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using lzhwrite::ArchiveWriter;
using lzhwrite::MemberSource;
using lzhwrite::Method;
using lzhwrite::WriteError;
using lzhwrite::WriterOptions;

struct TempDir {
  TempDir() {
    char pattern[] = "/tmp/archive-writer-XXXXXX";
    path = mkdtemp(pattern) ? pattern : "";
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
  }
  std::string path;
};

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
void WriteFile(const std::string& path, const Bytes& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Bytes Text(std::size_t n) {
  Bytes out;
  std::mt19937 random(3);
  const std::string words[] = {"archive ", "member ", "header ", "level ", "the ", "of\n"};
  while (out.size() < n) {
    const std::string& w = words[random() % 6];
    out.insert(out.end(), w.begin(), w.end());
  }
  out.resize(n);
  return out;
}
Bytes Noise(std::size_t n) {
  Bytes out(n);
  std::mt19937 random(5);
  for (auto& b : out) b = static_cast<std::uint8_t>(random());
  return out;
}

// The tree every archive holds: a nested path, a file that does not shrink
// (stored), an empty file, an empty directory, and a name long enough that
// the level-2 header needs its padding byte.
struct Entry {
  std::string stored;  // "/" at the end: a directory entry
  Bytes bytes;
  std::int64_t time;
};
std::vector<Entry> Tree() {
  std::vector<Entry> tree = {
      {"readme.txt", Text(70000), 1700000000},
      {"docs/deep/manual.txt", Text(20000), 1600000001},  // odd: MS-DOS times round down
      {"data/noise.bin", Noise(9000), 1500000000},
      {"data/empty.dat", {}, 1400000000},
      {"empty/", {}, 1300000000},
  };
  // Level 2 with this tree: 24 fixed bytes, the first record's size (2),
  // the CRC record (5), the name record (3 + name) and the directory record
  // ("pad" 0xFF: 7); a name of 215 bytes makes 256.
  tree.push_back({"pad/" + std::string(211, 'n') + ".txt", Noise(100), 1700000000});
  return tree;
}

// ahead: the files packed ahead (PackAhead) rather than one by one.
std::string MakeArchive(const std::string& dir, const WriterOptions& options, bool ahead = false) {
  const std::vector<Entry> tree = Tree();
  std::vector<std::string> files;
  for (const Entry& e : tree) {
    if (e.stored.back() == '/') continue;
    WriteFile(dir + "/src/" + e.stored, e.bytes);
    files.push_back(dir + "/src/" + e.stored);
  }
  const std::string archive = dir + "/out.lzh";
  ArchiveWriter writer(options);
  EXPECT_TRUE(writer.Open(archive).Ok());
  if (ahead) writer.PackAhead(files);
  for (const Entry& e : tree) {
    MemberSource member{dir + "/src/" + e.stored, e.stored, {}, e.time};
    lzhwrite::WriteStatus status =
        e.stored.back() == '/' ? writer.AddDirectory(member) : writer.AddFile(member);
    EXPECT_TRUE(status.Ok()) << e.stored << ": error " << static_cast<int>(status.error);
  }
  EXPECT_TRUE(writer.Finish().Ok());
  return archive;
}

bool HasCommand(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

struct Peer {
  const char* name;
  const char* extract;  // {a}: archive, {o}: output directory
  bool setsTimes;       // jlha leaves extracted files at the time of extraction
  // 7zz turns MS-DOS local times into UTC by today's daylight-saving
  // offset, not by the offset on the date: an hour off across the change.
  bool todaysOffset;
};
constexpr Peer kPeers[] = {
    {"lhasa", "lhasa xfqw={o} {a}", true, false},
    {"7zz", "7zz x {a} -o{o} -y", true, true},
    {"jlha", "cd {o} && jlha x {a}", false, false},
};

std::string Format(std::string text, const std::string& archive, const std::string& out) {
  for (std::size_t at; (at = text.find("{a}")) != std::string::npos;) text.replace(at, 3, archive);
  for (std::size_t at; (at = text.find("{o}")) != std::string::npos;) text.replace(at, 3, out);
  return text;
}

struct Case {
  Method method;
  char digit;
};
constexpr Case kMethods[] = {
    {Method::Lh0, '0'}, {Method::Lh5, '5'}, {Method::Lh6, '6'}, {Method::Lh7, '7'}};

// Our own reading: names, sizes, methods and CRCs from the header reader;
// the bytes from our decoder, or the reference decoder where ours lacks
// the method.
TEST(ArchiveWriter, OurReaderAndDecodersReadWhatItWrote) {
  lzh::CrcTableScope table;
  for (int level = 0; level <= 2; ++level) {
    for (const Case& c : kMethods) {
      SCOPED_TRACE("level " + std::to_string(level) + ", -lh" + c.digit + "-");
      TempDir dir;
      WriterOptions options;
      options.method = c.method;
      options.headerLevel = level;
      const Bytes archive = ReadFile(MakeArchive(dir.path, options));
      EXPECT_EQ(ReadFile(MakeArchive(dir.path, options, true)), archive) << "packed ahead";
      const auto members = lzhtest::DecodeMembers(archive, "05");
      const std::vector<Entry> tree = Tree();
      ASSERT_EQ(members.size(), tree.size());
      for (std::size_t i = 0; i < tree.size(); ++i) {
        const Entry& e = tree[i];
        const lzhtest::DecodedMember& m = members[i];
        // Level 0 keeps the path in the name, 1 and 2 the directory in a record.
        std::string name = m.directory.empty() ? m.name : m.directory + "\\" + m.name;
        for (char& ch : name)
          if (ch == '\\') ch = '/';
        EXPECT_EQ(m.level, level);
        if (e.stored.back() == '/') {
          EXPECT_EQ(m.method, "-lhd-");
          EXPECT_EQ(name.back() == '/' ? name : name + "/", e.stored);
          continue;
        }
        EXPECT_EQ(name, e.stored);
        // Text shrinks; noise and the empty file are stored.
        const bool packs = c.digit != '0' && e.stored.find(".txt") != std::string::npos &&
                           e.stored.find("pad/") != 0;
        EXPECT_EQ(m.method, packs ? std::string("-lh") + c.digit + "-" : "-lh0-") << e.stored;
        EXPECT_EQ(m.originalSize, static_cast<std::int32_t>(e.bytes.size()));
        Bytes decoded = m.output;
        if (m.method == "-lh6-" || m.method == "-lh7-") {
          lzhtest::lh5::DecodeOptions reference;
          reference.digit = m.method[3];
          reference.reference = true;
          decoded = lzhtest::lh5::DecodeMember(m.packed, m.originalSize, reference).bytes;
        }
        EXPECT_EQ(decoded, e.bytes) << e.stored;
        std::uint32_t crc = 0;
        lzh::CrcUpdate(e.bytes.data(), static_cast<std::int32_t>(e.bytes.size()), crc);
        EXPECT_EQ(m.headerCrc, crc) << e.stored;
      }
    }
  }
}

TEST(ArchiveWriter, PeersExtractWhatItWrote) {
  int peersRun = 0;
  for (const Peer& peer : kPeers) {
    if (!HasCommand(peer.name)) {
      std::printf("skipped: %s is not installed\n", peer.name);
      continue;
    }
    ++peersRun;
    for (int level = 0; level <= 2; ++level) {
      for (const Case& c : kMethods) {
        SCOPED_TRACE(std::string(peer.name) + ", level " + std::to_string(level) + ", -lh" +
                     c.digit + "-");
        TempDir dir;
        WriterOptions options;
        options.method = c.method;
        options.headerLevel = level;
        const std::string archive = MakeArchive(dir.path, options);
        const std::string out = dir.path + "/x";
        fs::create_directories(out);
        const std::string command = Format(peer.extract, archive, out) + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        for (const Entry& e : Tree()) {
          const std::string path = out + "/" + e.stored;
          if (e.stored.back() == '/') {
            EXPECT_TRUE(fs::is_directory(path)) << e.stored;
            continue;
          }
          EXPECT_EQ(ReadFile(path), e.bytes) << e.stored;
          if (!peer.setsTimes) continue;
          struct stat info {};
          ASSERT_EQ(stat(path.c_str(), &info), 0) << e.stored;
          // Level 2 keeps whole seconds in UTC; MS-DOS times count 2 s.
          std::int64_t off = e.time - info.st_mtime;
          if (level < 2 && peer.todaysOffset && (off >= 3599 || off <= -3599))
            off += off > 0 ? -3600 : 3600;
          EXPECT_LE(off, level == 2 ? 0 : 1) << e.stored;
          EXPECT_GE(off, 0) << e.stored;
        }
      }
    }
  }
  if (peersRun == 0) GTEST_SKIP() << "none of lhasa, 7zz, jlha is installed";
}

// Each failure is reported with its own error, and the archive is finished
// with the good members alone.
TEST(ArchiveWriter, FailedMembersAreTakenOutAgain) {
  TempDir dir;
  WriteFile(dir.path + "/good.txt", Text(5000));
  struct Failure {
    MemberSource member;
    int level;
    WriteError error;
  };
  const Failure failures[] = {
      {{dir.path + "/missing.txt", "missing.txt", {}, 0}, 2, WriteError::CannotOpenSource},
      // Its size reads as 0, yet it holds bytes: it changed while read.
      {{"/proc/self/status", "status", {}, 0}, 2, WriteError::ChangedWhileRead},
      {{dir.path + "/good.txt", std::string(240, 'n'), {}, 0}, 0, WriteError::NameTooLong},
  };
  for (const Failure& f : failures) {
    for (bool ahead : {false, true}) {
      SCOPED_TRACE(f.member.storedPath.substr(0, 20) + (ahead ? ", packed ahead" : ""));
      WriterOptions options;
      options.headerLevel = f.level;
      ArchiveWriter writer(options);
      const std::string archive = dir.path + "/out.lzh";
      ASSERT_TRUE(writer.Open(archive).Ok());
      MemberSource good{dir.path + "/good.txt", "first.txt", {}, 0};
      if (ahead) writer.PackAhead({good.sourcePath, f.member.sourcePath, good.sourcePath});
      ASSERT_TRUE(writer.AddFile(good).Ok());
      lzhwrite::WriteStatus status = writer.AddFile(f.member);
      EXPECT_EQ(status.error, f.error);
      EXPECT_EQ(status.path, f.member.sourcePath);
      good.storedPath = "second.txt";
      ASSERT_TRUE(writer.AddFile(good).Ok());
      ASSERT_TRUE(writer.Finish().Ok());
      lzh::CrcTableScope table;
      const auto members = lzhtest::DecodeMembers(ReadFile(archive), "5");
      ASSERT_EQ(members.size(), 2u);
      EXPECT_EQ(members[0].name, "first.txt");
      EXPECT_EQ(members[1].name, "second.txt");
      EXPECT_EQ(members[1].output, Text(5000));
      EXPECT_EQ(fs::file_size(archive), ReadFile(archive).size());
    }
  }
}

// Until Finish nothing appears at the archive's path, an existing file
// there stays as it was, and an abandoned archive leaves no file behind.
TEST(ArchiveWriter, NothingHalfWrittenIsLeft) {
  TempDir dir;
  const std::string archive = dir.path + "/out.lzh";
  WriteFile(archive, {'o', 'l', 'd'});
  WriteFile(dir.path + "/a.txt", Text(3000));
  {
    ArchiveWriter writer(WriterOptions{});
    ASSERT_TRUE(writer.Open(archive).Ok());
    ASSERT_TRUE(writer.AddFile({dir.path + "/a.txt", "a.txt", {}, 0}).Ok());
    EXPECT_EQ(ReadFile(archive), (Bytes{'o', 'l', 'd'}));
  }  // destroyed unfinished
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir.path)) files += entry.is_regular_file();
  EXPECT_EQ(files, 2u);  // out.lzh and a.txt
  EXPECT_EQ(ReadFile(archive), (Bytes{'o', 'l', 'd'}));
  ArchiveWriter writer(WriterOptions{});
  EXPECT_EQ(writer.AddFile({dir.path + "/a.txt", "a.txt", {}, 0}).error, WriteError::NotOpen);
  EXPECT_EQ(writer.Open(dir.path + "/no/such/dir/out.lzh").error, WriteError::CannotCreate);
}

// Sizes past the 32-bit fields: record 0x42 at level 2, whose sizes our
// reader takes (the fields keep the low bits, and the header its length
// whatever the packed size, so the header written after the data fits);
// levels 0 and 1 refuse them, level 1 counting its records in the packed
// size. Below 4 GiB the fields hold them at every level.
TEST(MemberHeaderWriter, SizesOfFourGibibytesAndMore) {
  constexpr std::uint64_t k4G = std::uint64_t{1} << 32;
  const struct {
    int level;
    const char* path;
    std::uint64_t original, packed;
    bool fits;
  } kCases[] = {
      {2, "big.bin", k4G + (k4G >> 2) + 3, 70000, true},
      {2, "a/big.bin", k4G + 1, k4G + 1, true},
      {2, "big.bin", k4G - 1, k4G - 1, true},
      {0, "a/big.bin", k4G - 1, k4G - 1, true},
      {1, "a/big.bin", k4G - 1, 1000, true},
      {0, "big.bin", k4G, 1000, false},
      {1, "big.bin", k4G, 1000, false},
      {1, "a/big.bin", k4G - 4, k4G - 4, false},  // its directory record passes 4 GiB
  };
  lzh::CrcTableScope table;
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.level) + " " + c.path + " " + std::to_string(c.original));
    lzhwrite::MemberFields fields;
    fields.path = c.path;
    fields.originalSize = c.original;
    fields.packedSize = c.packed;
    Bytes header, unknown;
    lzhwrite::HeaderError error = lzhwrite::BuildMemberHeader(fields, c.level, header);
    if (!c.fits) {
      EXPECT_EQ(error, lzhwrite::HeaderError::SizeTooLarge);
      continue;
    }
    ASSERT_EQ(error, lzhwrite::HeaderError::None);
    fields.packedSize = 0;
    ASSERT_EQ(lzhwrite::BuildMemberHeader(fields, c.level, unknown), lzhwrite::HeaderError::None);
    EXPECT_EQ(unknown.size(), header.size());
    EXPECT_EQ(header[11] | header[12] << 8 | header[13] << 16 | std::uint32_t{header[14]} << 24,
              static_cast<std::uint32_t>(c.original));
    header.push_back(0);
    lzhtest::MemoryFileSystem fs;
    fs.AddFile("a.lzh", header);
    lzh::ArchiveReader archive{fs, fs.OpenRead("a.lzh"), 0, {}};
    lzh::HeaderCursor cursor(archive);
    ASSERT_TRUE(cursor.Seek(0) && cursor.Read());
    EXPECT_FALSE(cursor.Member().hasLargeSizes);
    EXPECT_EQ(static_cast<std::uint64_t>(cursor.Member().originalSize), c.original);
    EXPECT_EQ(static_cast<std::uint64_t>(cursor.Member().DataSize()), c.packed);
  }
}

}  // namespace
