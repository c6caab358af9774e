// Archives built to break the reader and the walk: each must end in a
// reported failure, never a crash, a hang, or a file outside the
// extraction directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>

#include "support/archive_builder.h"
#include "support/corpus.h"
#include "support/lh1_bit_writer.h"
#include "support/lh5_bit_writer.h"
#include "support/memory_file_system.h"
#include "support/walk_rig.h"

namespace {

using lzhtest::ArchiveBytes;
using lzhtest::Bytes;
using lzhtest::MemberPlan;
using lzhtest::Record;
using lzhtest::StoredMember;

constexpr char kSuccess[] = "CRC validation passed on all file( s )... extraction successful";

struct Outcome {
  std::vector<std::string> messages;
  std::vector<std::string> listed;
  std::vector<std::string> failed;  // entries left selected
  std::string status;
  std::map<std::string, lzhtest::Bytes> files;  // under C:/out
};

// Lists and extracts every member with stored paths under Overwrite, after
// `prepare` has set up the disk, and checks that nothing appeared outside
// C:/out.
Outcome ListAndExtract(const Bytes& archive,
                       const std::function<void(lzhtest::MemoryFileSystem&)>& prepare = {}) {
  lzhtest::WalkRig rig(archive);
  rig.fs.AddDirectory("C:/out");
  if (prepare) prepare(rig.fs);
  rig.dialog.policy = lzh::Overwrite;
  rig.List();
  Outcome outcome;
  outcome.listed = rig.Names();
  rig.dialog.SelectAll(true);
  rig.Extract();
  outcome.failed = rig.Selected();
  outcome.messages = rig.dialog.messages;
  outcome.status = rig.dialog.status;
  for (const auto& [path, file] : rig.fs.Files()) {
    if (path == "C:/sfx.exe") continue;
    EXPECT_EQ(path.rfind("C:/out/", 0), 0u) << "outside the extraction directory: " << path;
    outcome.files[path.substr(7)] = file.bytes;
  }
  for (const auto& dir : rig.fs.Directories())
    EXPECT_TRUE(dir.empty() || dir == "C:" || dir.rfind("C:/out", 0) == 0) << dir;
  return outcome;
}

TEST(HostileHeaders, SizesThatLie) {
  // headerSize smaller than the fixed part it describes.
  Bytes small = ArchiveBytes({StoredMember("aaaaaaaa.txt", "x", 0), StoredMember("b", "b", 0)});
  small[0] = 10;
  Outcome o1 = ListAndExtract(small);
  EXPECT_FALSE(o1.listed.empty());

  // A name length that runs past the header and the file.
  Bytes longName = ArchiveBytes({StoredMember("n.txt", "x", 0)});
  longName[21] = 250;
  Outcome o2 = ListAndExtract(longName);
  EXPECT_EQ(o2.listed.size(), 1u);
  EXPECT_FALSE(o2.failed.empty());

  // A first extension record of 64 KiB in a tiny file.
  MemberPlan ext = StoredMember("e.txt", "data");
  ext.records = {Record{2, lzhtest::DirectoryRecordData("d")}};
  Bytes bigRecord = ArchiveBytes({ext});
  bigRecord[22 + 5 + 2 + 1] = 0xFF;  // extensionSize after name, CRC and OS id
  bigRecord[22 + 5 + 2 + 2] = 0xFF;
  Outcome o3 = ListAndExtract(bigRecord);
  EXPECT_EQ(o3.listed.size(), 1u);

  // A record chain whose every record names another (until the file ends).
  MemberPlan chain = StoredMember("c.txt", "ccc");
  for (int i = 0; i < 200; ++i) chain.records.push_back(Record{0x40, {0x20, 0}});
  Outcome o4 = ListAndExtract(ArchiveBytes({chain}));
  EXPECT_EQ(o4.files["c.txt"], lzhtest::ToBytes("ccc"));
  EXPECT_TRUE(o4.failed.empty());
}

// A level-1 record chain up to its bound of 1 MiB is read whole; one that
// runs on past it fails its member as damaged with nothing written (its
// data would start inside the records), and the member after it is found.
TEST(HostileHeaders, RecordChainPastItsBound) {
  const struct {
    std::size_t lastRecordData;  // after 16 records of 65,535 bytes
    bool damaged;
  } kChains[] = {{13, false}, {14, true}};
  for (const auto& chain : kChains) {
    SCOPED_TRACE(chain.lastRecordData);
    MemberPlan plan = StoredMember("c.txt", "ccc");
    plan.records.assign(16, Record{0x40, Bytes(65532)});
    plan.records.push_back(Record{0x40, Bytes(chain.lastRecordData)});
    lzhtest::WalkRig rig(ArchiveBytes({plan, StoredMember("next", "n")}));
    rig.fs.AddDirectory("C:/out");
    rig.ListAndExtractAll();
    ASSERT_EQ(rig.dialog.outcomes.size(), 2u);
    EXPECT_EQ(rig.dialog.outcomes[0].what.damage,
              chain.damaged ? lzh::Damage::LongHeader : lzh::Damage::None);
    EXPECT_EQ(rig.Content("C:/out/c.txt"), chain.damaged ? "<missing>" : "ccc");
    EXPECT_EQ(rig.Content("C:/out/next"), "n");
  }
}

TEST(HostileHeaders, PackedAndOriginalSizes) {
  MemberPlan past = StoredMember("past.txt", "abc");
  past.packedSizeOverride = 0x80000000u;  // 2 GiB, of which the file holds a few bytes
  Outcome o1 = ListAndExtract(ArchiveBytes({past, StoredMember("next", "n")}));
  EXPECT_EQ(o1.listed, std::vector<std::string>{"past.txt"}) << "the chain ends there";
  EXPECT_EQ(o1.failed, std::vector<std::string>{"past.txt"});

  MemberPlan huge = StoredMember("huge.txt", "abc");
  huge.packedSizeOverride = 0x7FFFFFFF;
  Outcome o2 = ListAndExtract(ArchiveBytes({huge}));
  EXPECT_EQ(o2.files["huge.txt"], lzhtest::ToBytes("abc"))
      << "a stored member copies its original size at most, never the bytes after it";
  EXPECT_EQ(o2.failed.size(), 1u);

  // A member passes only at the size its header gives.
  for (std::uint32_t size : {0x80000000u, 0x7FFFFFFFu, 2u}) {
    MemberPlan claims = StoredMember("claims.txt", "abc");
    claims.originalSize = size;
    Outcome o = ListAndExtract(ArchiveBytes({claims}));
    EXPECT_EQ(o.failed, std::vector<std::string>{"claims.txt"}) << size;
  }
}

// The program counts in 32 bits: a member whose record 0x42 gives sizes
// past them is refused, not cut to their low bits (which here are the
// fields' own, so the cut member would pass its CRC), and the walk stops.
TEST(HostileHeaders, SizesPastTheProgramsCounts) {
  if (!lzh::kProgramCore) GTEST_SKIP() << "the program's: the tool takes such sizes";
  MemberPlan huge = StoredMember("huge.bin", "abc", 2);
  Bytes sizes;  // 4 GiB + 3, packed and original
  for (int field = 0; field < 2; ++field)
    for (int i = 0; i < 8; ++i) sizes.push_back(i == 0 ? 3 : i == 4 ? 1 : 0);
  huge.records = {Record{0x42, sizes}};
  lzhtest::WalkRig rig(ArchiveBytes({huge, StoredMember("after.txt", "z")}));
  rig.ListAndExtractAll();
  ASSERT_EQ(rig.dialog.outcomes.size(), 1u);
  EXPECT_EQ(rig.dialog.outcomes[0].what.damage, lzh::Damage::TooLarge);
  EXPECT_FALSE(rig.fs.HasFile("C:/out/huge.bin"));
}

TEST(HostileNames, PathsLongerThanTheBuffersAreRefused) {
  MemberPlan deep = StoredMember("f.txt", "deep");
  std::string dir;
  while (dir.size() < 1100) dir += "component/";
  dir.pop_back();
  deep.records = {Record{2, lzhtest::DirectoryRecordData(dir)}};
  Outcome o = ListAndExtract(ArchiveBytes({deep, StoredMember("ok.txt", "ok")}));
  EXPECT_EQ(o.files.count("ok.txt"), 1u);
  EXPECT_EQ(o.files.size(), 1u);
  ASSERT_EQ(o.messages.size(), 1u);
  EXPECT_EQ(o.messages[0].rfind("Couldn't open...", 0), 0u);
}

TEST(HostileNames, ControlCharactersStreamsAndDevices) {
  Outcome o = ListAndExtract(ArchiveBytes(
      {StoredMember("bad\x1b]2;title\x07.txt", "t"), StoredMember("file.txt:stream", "s"),
       StoredMember("dir/CON.txt", "c"), StoredMember("aux ", "a"), StoredMember("x/.../y", "y"),
       StoredMember("fine.txt", "f")}));
  EXPECT_EQ(o.files.size(), 1u);
  EXPECT_EQ(o.files.count("fine.txt"), 1u);
  EXPECT_EQ(o.failed.size(), 5u);
}

TEST(HostileNames, MemberNamedLikeAnExistingDirectory) {
  Outcome o = ListAndExtract(ArchiveBytes({StoredMember("docs", "x"), StoredMember("y", "y")}),
                             [](lzhtest::MemoryFileSystem& fs) { fs.AddDirectory("C:/out/docs"); });
  EXPECT_EQ(o.failed, std::vector<std::string>{"docs"});
  EXPECT_EQ(o.messages, std::vector<std::string>{"Couldn't open...: C:\\out\\docs"});
  EXPECT_EQ(o.files.count("y"), 1u);
}

TEST(HostileNames, ReadOnlyExistingFileUnderOverwrite) {
  Bytes archive = ArchiveBytes({StoredMember("locked.txt", "x"), StoredMember("z", "z")});
  auto existing = [](bool readOnly) {
    return [readOnly](lzhtest::MemoryFileSystem& fs) {
      fs.AddFile("C:/out/locked.txt", lzhtest::ToBytes("mine"));
      const_cast<lzhtest::MemoryFileSystem::File*>(fs.Find("C:/out/locked.txt"))->readOnly =
          readOnly;
    };
  };
  Outcome o = ListAndExtract(archive, existing(false));
  EXPECT_EQ(o.files["locked.txt"], lzhtest::ToBytes("x")) << "a plain file is replaced";

  Outcome r = ListAndExtract(archive, existing(true));
  EXPECT_EQ(r.messages, std::vector<std::string>{"Couldn't open...: C:\\out\\locked.txt"});
  EXPECT_EQ(r.files["locked.txt"], lzhtest::ToBytes("mine"));
  EXPECT_EQ(r.files["z"], lzhtest::ToBytes("z")) << "the walk goes on";
  EXPECT_EQ(r.failed, std::vector<std::string>{"locked.txt"});
}

TEST(HostileStreams, ArchiveThatShrinksBetweenListingAndExtraction) {
  Bytes archive =
      ArchiveBytes({StoredMember("a.txt", std::string(3000, 'a')), StoredMember("b.txt", "b")});
  lzhtest::WalkRig rig(archive);
  rig.dialog.policy = lzh::Overwrite;
  rig.List();
  rig.dialog.SelectAll(true);
  rig.fs.AddFile("C:/sfx.exe", Bytes(archive.begin(), archive.begin() + 1000));
  rig.Extract();
  EXPECT_EQ(rig.Content("C:/out/a.txt").size(), 1000u - 32u);  // less the header
  EXPECT_EQ(rig.dialog.SelectedCount(), 2) << "a failed, b was never reached";
  EXPECT_NE(rig.dialog.status, kSuccess);
}

// A stream whose last match runs past the member's size, in each Huffman
// family: the file holds the member's size and no more, and the member
// fails even though those bytes match its CRC.
TEST(HostileStreams, LastMatchPastTheSizeFailsAndWritesNoMore) {
  lzhtest::lh1::StreamWriter lh1;  // 'q', then 60 bytes of it again
  lh1.Literal('q');
  lh1.Match(60, 0);
  lzhtest::lh5::BitWriter lh5;  // 'q', then 256 bytes of it again
  lzhtest::lh5::PutFlatBlock(lh5, 2);
  lzhtest::lh5::PutLiteral(lh5, 'q');
  lzhtest::lh5::PutMatch(lh5, 256, 1);
  const struct {
    const char* method;
    Bytes packed;
  } kStreams[] = {{"-lh1-", lh1.Bytes()}, {"-lh5-", lh5.Bytes()}};
  for (const auto& stream : kStreams) {
    for (std::int64_t size : {2, 40}) {
      SCOPED_TRACE(std::string(stream.method) + " of " + std::to_string(size) + " bytes");
      MemberPlan plan;
      plan.method = stream.method;
      plan.name = "q.txt";
      plan.packed = stream.packed;
      plan.originalSize = size;
      const Bytes expected(static_cast<std::size_t>(size), 'q');
      plan.crc = lzhtest::Crc16(expected);
      Outcome o = ListAndExtract(ArchiveBytes({plan}));
      EXPECT_EQ(o.files["q.txt"], expected);
      EXPECT_EQ(o.failed, std::vector<std::string>{"q.txt"});
    }
  }
}

// Every truncation of small real archives of every method: bounded time,
// nothing outside, no crash, and no member passes with other bytes than the
// whole archive gives it. Under the sanitizer build this is the check.
TEST(HostileStreams, EveryTruncationOfRealMembers) {
  LZH_REQUIRE_CORPUS();
  const char* archives[] = {"dos-1/lh5.lzh", "windows-1/h1_subdir.lzh", "unix-1/h2_subdir.lzh",
                            "lengths/lh1-64k.lzh", "regression/multiple.lzh"};
  for (const char* name : archives) {
    Bytes whole = lzhtest::ReadWholeFile(lzhtest::CorpusDir() + "/" + name);
    if (whole.empty()) continue;
    Outcome complete = ListAndExtract(whole);
    std::size_t step = whole.size() > 2000 ? whole.size() / 700 : 1;
    for (std::size_t cut = 0; cut < whole.size(); cut += step) {
      SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(cut));
      auto start = std::chrono::steady_clock::now();
      Outcome o = ListAndExtract(Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
      for (const auto& entry : o.listed) {
        bool failed = std::find(o.failed.begin(), o.failed.end(), entry) != o.failed.end();
        std::string path = entry;
        for (char& ch : path) ch = ch == '\\' ? '/' : ch;
        if (!failed && o.files.count(path) != 0) {
          EXPECT_EQ(o.files[path], complete.files[path]) << entry << " passed with wrong bytes";
        }
      }
    }
  }
}

}  // namespace
