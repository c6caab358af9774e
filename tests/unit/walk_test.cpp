#include "extract/walk.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "extract/record_names.h"
#include "support/archive_builder.h"
#include "support/memory_file_system.h"
#include "support/tool_only.h"
#include "support/walk_rig.h"

namespace {

using lzhtest::ArchiveBytes;
using lzhtest::Bytes;
using lzhtest::MemberPlan;
using lzhtest::Record;
using lzhtest::StoredMember;
using lzhtest::ToBytes;

using Kind = lzh::OutcomeKind;

constexpr char kSuccess[] = "CRC validation passed on all file( s )... extraction successful";
constexpr char kFailure[] = "The remaining hilited file( s ) failed CRC validation";

using lzhtest::WalkRig;

MemberPlan WithDirectory(MemberPlan plan, const std::string& dir) {
  plan.records.push_back(Record{2, lzhtest::DirectoryRecordData(dir)});
  return plan;
}

MemberPlan BadCrc(MemberPlan plan) {
  plan.crc ^= 0x1111;
  return plan;
}

TEST(WalkList, EntriesSortedWithoutRegardToCaseAndNamedByTheCheckBox) {
  Bytes archive = ArchiveBytes({StoredMember("zeta.txt", "z"),
                                WithDirectory(StoredMember("b.txt", "b"), "Docs/old"),
                                StoredMember("sub/Alpha.txt", "a", 0)});
  WalkRig rig(archive);
  rig.List();
  EXPECT_EQ(rig.Names(),
            (std::vector<std::string>{"Docs\\old\\b.txt", "sub/Alpha.txt", "zeta.txt"}));
  EXPECT_TRUE(rig.session.archiveHasPaths);
  EXPECT_TRUE(rig.dialog.storedPathsEnabled);
  EXPECT_TRUE(rig.dialog.messages.empty());
  EXPECT_EQ(rig.dialog.status, "") << "listing never writes the status line";

  rig.dialog.storedPathsTicked = false;
  rig.List();
  EXPECT_EQ(rig.Names(), (std::vector<std::string>{"Alpha.txt", "b.txt", "zeta.txt"}));
}

TEST(WalkList, ArchiveWithoutPathsTurnsTheCheckBoxOffForGood) {
  WalkRig rig(ArchiveBytes({StoredMember("a.txt", "a"), StoredMember("B.txt", "b")}));
  rig.List();
  EXPECT_FALSE(rig.dialog.storedPathsTicked);
  EXPECT_FALSE(rig.dialog.storedPathsEnabled);
  EXPECT_EQ(rig.Names(), (std::vector<std::string>{"a.txt", "B.txt"}));
}

TEST(WalkList, NoMembersAndUnreachableStart) {
  WalkRig empty(Bytes{0});
  empty.List();
  EXPECT_EQ(empty.dialog.messages,
            (std::vector<std::string>{"Error...: Can't read archive header"}));
  EXPECT_FALSE(empty.dialog.storedPathsEnabled);

  WalkRig truncated(Bytes{40, 0, '-', 'l'});  // a stub cut inside the first header
  truncated.List();
  EXPECT_EQ(truncated.dialog.messages.size(), 1u);

  // A negative start cannot be reached: nothing else is touched.
  WalkRig unreachable(ArchiveBytes({StoredMember("a.txt", "a")}));
  unreachable.dialog.entries = {{"keep", true}};
  unreachable.session.archiveStart = -5;
  unreachable.List();
  unreachable.Extract();
  EXPECT_EQ(unreachable.dialog.messages,
            (std::vector<std::string>{"Archive error..: Error finding attached archive.",
                                      "Archive error..: Error finding attached archive."}));
  EXPECT_EQ(unreachable.Names(), std::vector<std::string>{"keep"});
  EXPECT_TRUE(unreachable.dialog.storedPathsEnabled);
  EXPECT_EQ(unreachable.dialog.status, "");
}

TEST(WalkExtract, AllGoodIntoANewNestedDirectory) {
  MemberPlan dated = WithDirectory(StoredMember("b.txt", "bravo"), "docs/old");
  dated.timeStamp = 0x31085E61;
  WalkRig rig(ArchiveBytes({StoredMember("a.txt", "alpha"), dated}), 1000);
  rig.List();
  rig.dialog.SelectAll(true);
  rig.Extract("C:\\out\\new");
  EXPECT_EQ(rig.Content("C:/out/new/a.txt"), "alpha");
  EXPECT_EQ(rig.Content("C:/out/new/docs/old/b.txt"), "bravo");
  EXPECT_EQ(rig.fs.Find("C:/out/new/docs/old/b.txt")->dosTime, 0x31085E61u);
  EXPECT_TRUE(rig.Selected().empty());
  EXPECT_EQ(rig.dialog.status, kSuccess);
  EXPECT_EQ(rig.dialog.pumps, 2) << "one message let through per extracted member";
  EXPECT_STREQ(rig.session.extractPath, "C:\\out\\new\\") << "gains its backslash in place";
  EXPECT_TRUE(rig.dialog.messages.empty());
  EXPECT_EQ(rig.fs.openHandles, 1) << "only the archive stays open";
}

TEST(WalkExtract, NothingSelectedExtractsNothingAndReportsSuccess) {
  WalkRig rig(ArchiveBytes({StoredMember("a.txt", "alpha")}));
  rig.List();
  rig.Extract();
  EXPECT_EQ(rig.fs.creates, 0);
  EXPECT_EQ(rig.dialog.status, kSuccess);
}

TEST(WalkExtract, BadCrcKeepsItsFileAndItsEntry) {
  WalkRig rig(
      ArchiveBytes({BadCrc(StoredMember("bad.txt", "damaged")), StoredMember("ok.txt", "ok")}));
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.Content("C:/out/bad.txt"), "damaged");
  EXPECT_EQ(rig.fs.Find("C:/out/bad.txt")->dosTime, 0x31085E61u);
  EXPECT_EQ(rig.Selected(), std::vector<std::string>{"bad.txt"});
  EXPECT_EQ(rig.dialog.status, kFailure);
  // Extract again retries exactly the entries left selected.
  rig.fs.creates = 0;
  rig.Extract();
  EXPECT_EQ(rig.fs.creates, 0) << "the policy is Confirm and no answer was given: skipped";
}

TEST(WalkExtract, ExistingFilesFollowThePolicy) {
  Bytes archive = ArchiveBytes({StoredMember("a.txt", "new a"), StoredMember("b.txt", "new b")});
  for (std::uint8_t policy : {lzh::Overwrite, lzh::Skip}) {
    WalkRig rig(archive);
    rig.fs.AddFile("C:/out/a.txt", ToBytes("old"));
    rig.dialog.policy = policy;
    rig.ListAndExtractAll();
    EXPECT_EQ(rig.Content("C:/out/a.txt"), policy == lzh::Overwrite ? "new a" : "old");
    EXPECT_EQ(rig.Content("C:/out/b.txt"), "new b");
    EXPECT_TRUE(rig.Selected().empty()) << "a skipped member does not count as failed";
    EXPECT_EQ(rig.dialog.status, kSuccess);
  }
}

TEST(WalkExtract, ConfirmAsksWithTheFileNameAndFollowsTheAnswer) {
  MemberPlan a = WithDirectory(StoredMember("a.txt", "new a"), "docs");
  WalkRig rig(ArchiveBytes({a, StoredMember("b.txt", "new b")}));
  rig.fs.AddFile("C:/out/docs/a.txt", ToBytes("old a"));
  rig.fs.AddFile("C:/out/b.txt", ToBytes("old b"));
  std::vector<std::string> asked;
  rig.dialog.onQuestion = [&](lzhtest::MemoryDialog& d, const std::string& name) {
    asked.push_back(name);
    d.answer = name == "a.txt" ? 1 : 0;
  };
  rig.ListAndExtractAll();
  EXPECT_EQ(asked, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(rig.Content("C:/out/docs/a.txt"), "new a");
  EXPECT_EQ(rig.Content("C:/out/b.txt"), "old b");
  EXPECT_TRUE(rig.Selected().empty());
}

// A member that passed but cannot take its name (another program holds the
// file there) fails with "Error Closing...": the file there stays as it was
// and the temporary file goes.
TEST(WalkExtract, MemberThatCannotTakeItsNameLeavesTheFileThere) {
  WalkRig rig(ArchiveBytes({StoredMember("held.txt", "new"), StoredMember("free.txt", "y")}));
  rig.fs.AddFile("C:/out/held.txt", ToBytes("old"));
  rig.fs.failRename = [](const std::string& to) { return to == "C:/out/held.txt"; };
  rig.dialog.policy = lzh::Overwrite;
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.dialog.messages, std::vector<std::string>{"Error Closing...: C:\\out\\held.txt"});
  EXPECT_EQ(rig.Content("C:/out/held.txt"), "old");
  EXPECT_EQ(rig.Content("C:/out/free.txt"), "y");
  EXPECT_EQ(rig.fs.Files().size(), 3u) << "no temporary file stays";
  EXPECT_EQ(rig.dialog.Kinds()[0], lzh::OutcomeKind::CouldNotRename);
  EXPECT_EQ(rig.Selected(), std::vector<std::string>{"held.txt"});
}

// A drive's root, which a directory search cannot find: one that is there
// (empty or not) takes files, also below a stored "./" (the root's "."
// cannot be made, and need not be); one that cannot be reached ends the walk
// at its first member with one "Error Changing Dir".
TEST(WalkExtract, DriveRootsTakeFilesOrEndTheWalk) {
  WalkRig rig(ArchiveBytes({StoredMember("./docs/a.txt", "a"), StoredMember("b.txt", "b")}));
  rig.fs.AddDirectory("E:");
  rig.List();
  rig.dialog.SelectAll(true);
  rig.Extract("E:\\");
  EXPECT_EQ(rig.dialog.messages, std::vector<std::string>{});
  EXPECT_EQ(rig.Content("E:/docs/a.txt"), "a");
  EXPECT_EQ(rig.Content("E:/b.txt"), "b");

  WalkRig gone(ArchiveBytes({StoredMember("a.txt", "a"), StoredMember("b.txt", "b")}));
  gone.List();
  gone.dialog.SelectAll(true);
  gone.Extract("Q:\\");
  EXPECT_EQ(gone.dialog.messages, std::vector<std::string>{"Error Changing Dir: Q:\\"});
  EXPECT_EQ(gone.Selected(), (std::vector<std::string>{"a.txt", "b.txt"}));
}

// The program's reading of names: UTF-16 records (0x44 the file, 0x45 the
// directory, components ended by 0xFFFF) in preference, as UTF-8; the
// stored bytes where there are none, or where a record is no UTF-16; a
// name from a record is checked as a path like any other.
TEST(WalkExtract, ProgramReadsUtf16NamesAndChecksThem) {
  auto utf16 = [](const std::u16string& text) {
    Bytes bytes;
    for (char16_t unit : text) {
      bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
  };
  auto withRecords = [](MemberPlan plan, std::vector<Record> records) {
    plan.records.insert(plan.records.end(), records.begin(), records.end());
    return plan;
  };
  const struct {
    MemberPlan member;
    std::string listed;  // "" when refused
  } cases[] = {
      {withRecords(StoredMember("caf?.txt", "a", 2), {{0x44, utf16(u"caf\u00e9.txt")}}),
       "caf\xc3\xa9.txt"},
      {withRecords(StoredMember("x.txt", "b", 2),
                   {{0x45, utf16(u"\u00dcbersicht\xffff\u8aac\xffff")}, {0x44, utf16(u"x.txt")}}),
       "\xc3\x9c" "bersicht\\\xe8\xaa\xac\\x.txt"},
      {StoredMember("plain.txt", "c", 2), "plain.txt"},
      {withRecords(StoredMember("bytes.txt", "d", 2), {{0x44, utf16(u"\xd800x")}}), "bytes.txt"},
      {withRecords(StoredMember("safe.txt", "e", 2), {{0x44, utf16(u"..\\evil.txt")}}), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.listed);
    WalkRig rig(ArchiveBytes({c.member}));
    lzh::RecordNames names;
    names.Observe(rig.session.archive);
    rig.session.nameReader = &names;
    rig.ListAndExtractAll();
    ASSERT_EQ(rig.Names().size(), 1u);
    if (c.listed.empty()) {
      EXPECT_EQ(rig.dialog.Kinds(), std::vector<Kind>{Kind::RefusedName});
      EXPECT_FALSE(rig.fs.HasFile("C:/evil.txt"));
      continue;
    }
    EXPECT_EQ(rig.Names()[0], c.listed);
    std::string path = "C:/out/" + c.listed;
    for (char& ch : path) ch = ch == '\\' ? '/' : ch;
    EXPECT_TRUE(rig.fs.HasFile(path)) << path;
  }
}

TEST(WalkExtract, UncreatableFileStaysSelectedAndTheWalkGoesOn) {
  WalkRig rig(ArchiveBytes({StoredMember("locked/x.txt", "x"), StoredMember("free.txt", "y")}));
  rig.fs.failCreate = [](const std::string& p) { return p.starts_with("C:/out/locked/"); };
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.dialog.messages,
            (std::vector<std::string>{"Couldn't open...: C:\\out\\locked\\x.txt"}));
  EXPECT_EQ(rig.Content("C:/out/free.txt"), "y");
  EXPECT_EQ(rig.Selected(), std::vector<std::string>{"locked/x.txt"});
  EXPECT_EQ(rig.dialog.status, kFailure);
}

TEST(WalkExtract, UncreatableDirectoryStopsTheWalk) {
  WalkRig rig(ArchiveBytes(
      {StoredMember("a.txt", "a"), StoredMember("deep/b.txt", "b"), StoredMember("c.txt", "c")}));
  rig.fs.failMakeDirectory = [](const std::string& p) { return p == "C:/out/deep"; };
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.dialog.messages, (std::vector<std::string>{"Error Changing Dir: C:\\out\\deep"}));
  EXPECT_EQ(rig.Content("C:/out/a.txt"), "a");
  EXPECT_FALSE(rig.fs.HasFile("C:/out/c.txt")) << "members after it are not visited";
  EXPECT_EQ(rig.Selected(), (std::vector<std::string>{"c.txt", "deep/b.txt"}));
  EXPECT_EQ(rig.dialog.status, kFailure);
}

// The method is known once the overwrite policy has spoken and before
// anything is made: a member that cannot be decoded makes no file and
// empties none; one whose file exists is skipped under Skip or after a No,
// and the walk goes on; otherwise the walk ends with its box.
TEST(WalkExtract, UnsupportedMethodTouchesNoFileAndEndsTheWalk) {
  MemberPlan odd = StoredMember("odd.bin", "??????");
  odd.method = "-lh6-";
  Bytes archive = ArchiveBytes({odd, StoredMember("after.txt", "z")});
  const struct {
    std::uint8_t policy;
    bool exists, yes, skipped;
  } cases[] = {
      {lzh::Overwrite, false, false, false}, {lzh::Skip, false, false, false},
      {lzh::Confirm, false, false, false},   {lzh::Overwrite, true, false, false},
      {lzh::Skip, true, false, true},        {lzh::Confirm, true, false, true},
      {lzh::Confirm, true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("policy " + std::to_string(c.policy) + (c.exists ? ", file exists" : "") +
                 (c.yes ? ", yes" : ""));
    WalkRig rig(archive);
    if (c.exists) rig.fs.AddFile("C:/out/odd.bin", ToBytes("mine"));
    rig.dialog.policy = c.policy;
    rig.dialog.onQuestion = [&](lzhtest::MemoryDialog& d, const std::string&) {
      d.answer = c.yes ? 1 : 0;
    };
    rig.ListAndExtractAll();
    EXPECT_EQ(rig.Content("C:/out/odd.bin"), c.exists ? "mine" : "<missing>");
    if (c.skipped) {
      EXPECT_TRUE(rig.dialog.messages.empty());
      EXPECT_EQ(rig.Content("C:/out/after.txt"), "z");
      EXPECT_EQ(rig.dialog.Kinds(), (std::vector<Kind>{Kind::SkippedExisting, Kind::Extracted}));
      continue;
    }
    EXPECT_EQ(rig.dialog.messages,
              (std::vector<std::string>{"Unable to extract...: Unsupported compression method"}));
    EXPECT_FALSE(rig.fs.HasFile("C:/out/after.txt"));
    EXPECT_EQ(rig.dialog.status, "Extracting: C:\\out\\odd.bin") << "no verdict";
    ASSERT_EQ(rig.dialog.Kinds(), std::vector<Kind>{Kind::UnsupportedMethod});
    EXPECT_STREQ(rig.dialog.outcomes[0].what.method, "-lh6-");
  }
}

TEST(WalkExtract, EmptyNameEndsTheWalkWithoutVerdict) {
  WalkRig rig(ArchiveBytes({StoredMember("a.txt", "a"), StoredMember("", "x")}));
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.dialog.messages,
            (std::vector<std::string>{"Archive error..: Error retreiving filename.",
                                      "Archive error..: Error retreiving filename."}));
  EXPECT_FALSE(rig.dialog.storedPathsEnabled) << "the closing step still runs";
}

// A name too long for a level-1 header's size byte is stored in a name
// record, the header's own name left empty; one longer than a file name can
// be is refused alone.
TEST(WalkExtract, Level1NamesInNameRecords) {
  auto inRecord = [](const std::string& name, const std::string& content) {
    MemberPlan plan = StoredMember("", content);
    plan.records.push_back(Record{1, ToBytes(name)});
    return plan;
  };
  const std::string longName = std::string(240, 'n') + ".txt";
  WalkRig rig(
      ArchiveBytes({WithDirectory(inRecord(longName, "long"), "deep"),
                    inRecord(std::string(300, 'x'), "longer"), StoredMember("after.txt", "a")}));
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.Content("C:/out/deep/" + longName), "long");
  EXPECT_EQ(rig.Content("C:/out/after.txt"), "a");
  ASSERT_EQ(rig.dialog.Kinds(),
            (std::vector<Kind>{Kind::Extracted, Kind::RefusedName, Kind::Extracted}));
  EXPECT_EQ(rig.dialog.outcomes[1].what.refusal, lzh::NameRefusal::TooLong);
  EXPECT_EQ(rig.Selected().size(), 1u);
}

TEST(WalkExtract, EqualNamesFindTheirEntriesAfterTheLastOne) {
  // Without stored paths the names are A, B, a: the list holds A, a, B.
  WalkRig rig(
      ArchiveBytes({StoredMember("x/A", "1"), StoredMember("y/B", "2"), StoredMember("z/a", "3")}));
  rig.dialog.storedPathsTicked = false;
  rig.ListAndExtractAll();
  // The second "a" searches after B's entry, wraps to entry 0 (already
  // deselected) and is passed over; entry 1 is never consulted.
  EXPECT_EQ(rig.Content("C:/out/A"), "1");
  EXPECT_EQ(rig.Content("C:/out/B"), "2");
  EXPECT_EQ(rig.fs.creates, 2);
  EXPECT_EQ(rig.Selected(), std::vector<std::string>{"a"});

  WalkRig adjacent(
      ArchiveBytes({StoredMember("x/A", "1"), StoredMember("z/a", "3"), StoredMember("y/B", "2")}));
  adjacent.dialog.storedPathsTicked = false;
  adjacent.dialog.policy = lzh::Overwrite;
  adjacent.ListAndExtractAll();
  EXPECT_EQ(adjacent.fs.creates, 3) << "A, a, B find entries 0, 1 and 2";
  EXPECT_TRUE(adjacent.Selected().empty());
}

TEST(WalkExtract, LeadingBackslashLandsInsideTheDirectory) {
  WalkRig rig(ArchiveBytes({StoredMember("\\a.txt", "rooted"), StoredMember("d/x", "d")}));
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.Content("C:/out/a.txt"), "rooted");
  EXPECT_TRUE(rig.Selected().empty());
}

TEST(WalkExtract, NamesThatWouldLeaveTheDirectoryAreRefused) {
  std::vector<MemberPlan> members;
  for (const char* name : {"../evil1.txt", "foo/../../evil2.txt", "C:evil3.txt",
                           "\\\\server\\share\\evil4.txt", "dir/CON", "nul.txt", "ok/fine.txt"}) {
    members.push_back(StoredMember(name, "payload"));
  }
  WalkRig rig(ArchiveBytes(members));
  rig.fs.AddDirectory("C:/out");
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.dialog.messages.size(), 6u);
  for (const auto& message : rig.dialog.messages)
    EXPECT_EQ(message.rfind("Couldn't open...: C:\\out\\", 0), 0u) << message;
  EXPECT_EQ(rig.Selected().size(), 6u);
  EXPECT_EQ(rig.Content("C:/out/ok/fine.txt"), "payload");
  std::size_t files = 0;
  for (const auto& [path, file] : rig.fs.Files()) {
    EXPECT_EQ(path.rfind("C:/", 0), 0u) << path;
    if (path.rfind("C:/out/", 0) == 0) ++files;
  }
  EXPECT_EQ(files, 1u) << "nothing but the safe member was written";

  // Without stored paths only the file names remain: those are safe.
  WalkRig flat(
      ArchiveBytes({StoredMember("../evil1.txt", "e"), StoredMember("foo/../../evil2.txt", "f")}));
  flat.dialog.storedPathsTicked = false;
  flat.ListAndExtractAll();
  EXPECT_EQ(flat.Content("C:/out/evil1.txt"), "e");
  EXPECT_EQ(flat.Content("C:/out/evil2.txt"), "f");
}

TEST(WalkExtract, DirectoryEntriesAreMadeNotWritten) {
  MemberPlan dir = WithDirectory(StoredMember("", ""), "empty/inner");
  dir.method = "-lhd-";
  MemberPlan link = StoredMember("link|target", "");
  link.method = "-lhd-";
  WalkRig rig(ArchiveBytes({dir, link, StoredMember("f.txt", "f")}));
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.Names(), (std::vector<std::string>{"empty\\inner\\", "f.txt"}));
  EXPECT_TRUE(rig.fs.HasDirectory("C:/out/empty/inner"));
  EXPECT_FALSE(rig.fs.HasFile("C:/out/empty/inner"));
  EXPECT_TRUE(rig.Selected().empty());
  EXPECT_EQ(rig.dialog.status, kSuccess);

  // A directory entry without any name (as some tools write at level 0)
  // leaves nothing to make; the members after it are extracted.
  MemberPlan nameless = StoredMember("", "", 0);
  nameless.method = "-lhd-";
  WalkRig unnamed(ArchiveBytes({nameless, StoredMember("d/after.txt", "a")}));
  unnamed.ListAndExtractAll();
  EXPECT_EQ(unnamed.Names(), std::vector<std::string>{"d/after.txt"});
  EXPECT_EQ(unnamed.Content("C:/out/d/after.txt"), "a");
  EXPECT_TRUE(unnamed.dialog.messages.empty());

  WalkRig flat(ArchiveBytes({dir, StoredMember("d/f.txt", "f")}));
  flat.dialog.storedPathsTicked = false;
  flat.ListAndExtractAll();
  EXPECT_EQ(flat.Names(), std::vector<std::string>{"f.txt"});
  EXPECT_FALSE(flat.fs.HasDirectory("C:/out/empty"));
  EXPECT_EQ(flat.dialog.status, kSuccess);
}

TEST(WalkExtract, PackedSizePastTheFileEndsTheWalk) {
  MemberPlan loop = StoredMember("a.txt", "a");
  loop.packedSizeOverride = 0xFFFFFFC0u;  // the next header would lie far past the file's end
  WalkRig rig(ArchiveBytes({loop, StoredMember("b.txt", "b")}));
  rig.List();
  EXPECT_EQ(rig.Names(), std::vector<std::string>{"a.txt"});
}

TEST(WalkExtract, TimeStamps) {
  MemberPlan invalid = StoredMember("invalid.txt", "i");
  invalid.timeStamp = 0x318D0000;  // month 12 day 13 is fine, so make the month 0
  invalid.timeStamp = (0x3100u << 16) | 0x5E61;
  MemberPlan unix = StoredMember("unix.txt", "u", 2);
  unix.timeStamp = 1700000000;
  WalkRig rig(ArchiveBytes({invalid, unix}));
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.fs.Find("C:/out/invalid.txt")->dosTime, 0u) << "left as the file system set it";
  EXPECT_EQ(rig.fs.Find("C:/out/unix.txt")->modified, 1700000000);
  EXPECT_TRUE(rig.Selected().empty());
}

TEST(WalkExtract, ShortWriteFailsTheCrcCheck) {
  WalkRig rig(ArchiveBytes({StoredMember("big.txt", std::string(5000, 'x'))}));
  rig.fs.writeBudget = 1000;
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.Content("C:/out/big.txt").size(), 1000u);
  EXPECT_EQ(rig.dialog.status, kFailure);
}

// Every member the extracting walk handles is reported once, in archive
// order, with what became of it; unselected members and those after a stop
// are not.
TEST(WalkOutcome, EachHandledMemberIsReportedWithItsDetails) {
  MemberPlan shortOne = StoredMember("short.txt", "short");
  shortOne.originalSize = 6;
  MemberPlan link = StoredMember("l|t", "");
  link.method = "-lhd-";
  MemberPlan dir = WithDirectory(StoredMember("", ""), "d");
  dir.method = "-lhd-";
  WalkRig rig(ArchiveBytes({StoredMember("ok.txt", "alpha"), StoredMember("unselected.txt", "u"),
                            BadCrc(StoredMember("bad.txt", "bad")), shortOne,
                            StoredMember("exists.txt", "e"), StoredMember("../up.txt", "u"),
                            StoredMember("locked/x.txt", "l"), link, dir,
                            StoredMember("full.txt", "fullness"), StoredMember("deep/x.txt", "x"),
                            StoredMember("never.txt", "n")}));
  rig.fs.AddFile("C:/out/exists.txt", ToBytes("mine"));
  rig.fs.failCreate = [](const std::string& p) { return p.starts_with("C:/out/locked/"); };
  rig.fs.failMakeDirectory = [](const std::string& p) { return p == "C:/out/deep"; };
  rig.fs.writeBudget = 5 + 3 + 5 + 2;  // full.txt gets two bytes
  rig.dialog.policy = lzh::Skip;
  rig.List();
  rig.dialog.SelectAll(true);
  rig.dialog.entries[rig.dialog.FindEntry(-1, "unselected.txt")].selected = false;
  rig.Extract();

  const std::vector<Kind> kinds = {Kind::Extracted,       Kind::Damaged,     Kind::Damaged,
                                   Kind::SkippedExisting, Kind::RefusedName, Kind::CouldNotCreate,
                                   Kind::PassedOver,      Kind::Extracted,   Kind::CouldNotWrite,
                                   Kind::DirectoryNotMade};
  ASSERT_EQ(rig.dialog.Kinds(), kinds);
  const auto& o = rig.dialog.outcomes;
  EXPECT_EQ(o[0].storedName, "ok.txt");
  EXPECT_EQ(o[0].outputPath, "C:\\out\\ok.txt");
  EXPECT_EQ(o[1].what.damage, lzh::Damage::Crc);
  EXPECT_EQ(o[2].what.damage, lzh::Damage::Size);
  EXPECT_FALSE(o[3].what.byAnswer);
  EXPECT_EQ(o[4].what.refusal, lzh::NameRefusal::ParentDirectory);
  EXPECT_EQ(o[4].storedName, "../up.txt");
  EXPECT_EQ(o[5].what.systemError, lzhtest::MemoryFileSystem::kFaultError);
  EXPECT_EQ(o[6].what.passReason, lzh::PassReason::SymbolicLink);
  EXPECT_EQ(o[7].storedName, "d\\");
  EXPECT_EQ(o[8].what.systemError, lzhtest::MemoryFileSystem::kFaultError);
  EXPECT_EQ(o[9].outputPath, "C:\\out\\deep");
  // The entries left selected are exactly the members that did not pass.
  EXPECT_EQ(rig.Selected(),
            (std::vector<std::string>{"../up.txt", "bad.txt", "deep/x.txt", "full.txt",
                                      "locked/x.txt", "never.txt", "short.txt"}));
}

// An archive cut inside a member header (an interrupted download): the cut
// header touches nothing on disk, asks nothing, is reported as damaged and
// ends the walk, under every policy and answer; the verdict is never success.
TEST(WalkExtract, CutHeaderTouchesNothingAndIsNoSuccess) {
  const Bytes first = lzhtest::MemberBytes(StoredMember("a.txt", "alpha"));
  MemberPlan level0 = StoredMember("b.txt", "bravo", 0);
  level0.osArea = {'U', 0, 0, 0};
  const std::pair<MemberPlan, std::size_t> cuts[] = {
      {StoredMember("b.txt", "bravo"), 10},  // in the fixed part: no name at all
      {StoredMember("b.txt", "bravo"), 24},  // in the name
      {StoredMember("b.txt", "bravo"), 29},  // after the name
      {level0, 30},                          // in a level-0 header's operating-system area
  };
  const std::pair<std::uint8_t, std::uint8_t> choices[] = {
      {lzh::Overwrite, 0}, {lzh::Skip, 0}, {lzh::Confirm, 1}, {lzh::Confirm, 0}};
  for (const auto& [second, cut] : cuts) {
    for (const auto& [policy, answer] : choices) {
      SCOPED_TRACE("cut at " + std::to_string(cut) + ", policy " + std::to_string(policy));
      Bytes archive = first;
      Bytes rest = lzhtest::MemberBytes(second);
      archive.insert(archive.end(), rest.begin(), rest.begin() + static_cast<long>(cut));
      WalkRig rig(archive);
      rig.dialog.policy = policy;
      rig.dialog.answer = answer;
      rig.dialog.onQuestion = [](lzhtest::MemoryDialog&, const std::string& name) {
        ADD_FAILURE() << "asked about " << name;
      };
      rig.ListAndExtractAll();
      EXPECT_EQ(rig.Content("C:/out/a.txt"), "alpha");
      EXPECT_EQ(rig.fs.creates, 1);
      EXPECT_NE(rig.dialog.status, kSuccess);
      ASSERT_FALSE(rig.dialog.outcomes.empty());
      EXPECT_EQ(rig.dialog.outcomes.back().what.kind, Kind::Damaged);
      EXPECT_EQ(rig.dialog.outcomes.back().what.damage, lzh::Damage::CutHeader);
    }
  }
}

// A file that cannot be closed may not hold its data: no success.
TEST(WalkExtract, UncloseableFileIsAFailure) {
  WalkRig rig(ArchiveBytes({StoredMember("a.txt", "alpha")}));
  rig.fs.failClose = true;
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.dialog.messages, std::vector<std::string>{"Error Closing...: C:\\out\\a.txt"});
  EXPECT_EQ(rig.Selected(), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(rig.dialog.status, kFailure);
  ASSERT_EQ(rig.dialog.Kinds(), std::vector<Kind>{Kind::CouldNotClose});
  EXPECT_EQ(rig.dialog.outcomes[0].what.systemError, lzhtest::MemoryFileSystem::kFaultError);
}

// Missing directories are made as the user named them: short relative
// names, and files straight into an empty drive root.
TEST(WalkExtract, DirectoriesAreMadeAsNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {"ab", "ab/f.txt"}, {"x/y", "x/y/f.txt"}, {"D:\\", "D:/f.txt"}, {"C:x", "C:x/f.txt"}};
  for (const auto& [extractPath, file] : cases) {
    WalkRig rig(ArchiveBytes({StoredMember("f.txt", "f")}));
    rig.fs.AddDirectory("D:");
    rig.List();
    rig.dialog.SelectAll(true);
    rig.Extract(extractPath);
    EXPECT_EQ(rig.Content(file), "f") << extractPath;
    EXPECT_EQ(rig.dialog.status, kSuccess) << extractPath;
  }
}

// A directory entry whose name a file has taken is not made: no success.
TEST(WalkExtract, DirectoryEntryBlockedByAFileIsAFailure) {
  MemberPlan dir = WithDirectory(StoredMember("", ""), "docs");
  dir.method = "-lhd-";
  WalkRig rig(ArchiveBytes({dir}));
  rig.fs.AddFile("C:/out/docs", ToBytes("a file"));
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.Content("C:/out/docs"), "a file");
  EXPECT_EQ(rig.dialog.messages, std::vector<std::string>{"Error Changing Dir: C:\\out\\docs"});
  EXPECT_EQ(rig.Selected(), std::vector<std::string>{"docs\\"});
  EXPECT_EQ(rig.dialog.status, kFailure);
}

// No extraction with an empty path: "." stands for it. A name rooted with
// one "\" needs a directory before it, or it would leave it.
TEST(WalkExtract, EmptyExtractionPathConfinesLikeAnyOther) {
  const std::tuple<const char*, Kind, const char*> cases[] = {
      {"", Kind::Extracted, ".\\\\a.txt"},
      {"\\", Kind::RefusedName, "\\\\a.txt"},
  };
  for (const auto& [extractPath, kind, outputPath] : cases) {
    WalkRig rig(ArchiveBytes({StoredMember("\\a.txt", "rooted")}));
    rig.List();
    rig.dialog.SelectAll(true);
    rig.Extract(extractPath);
    ASSERT_EQ(rig.dialog.Kinds(), std::vector<Kind>{kind}) << extractPath;
    EXPECT_EQ(rig.dialog.outcomes[0].outputPath, outputPath);
  }
}

// Under a double-byte code page the trail byte of a character is never
// taken for "\" or "|".
TEST(WalkList, DoubleByteNamesHoldNoFalseSeparators) {
  lzh::SetLeadByteTest([](std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || b >= 0xE0; });
  MemberPlan dir = StoredMember("\x95\x7C", "");
  dir.method = "-lhd-";
  WalkRig rig(ArchiveBytes({StoredMember("\x95\x5C.txt", "x"), dir}));
  rig.List();
  lzh::SetLeadByteTest(nullptr);
  EXPECT_EQ(rig.Names(), (std::vector<std::string>{"\x95\x5C.txt", "\x95\x7C"}))
      << "a directory, not a symbolic link";
  EXPECT_FALSE(rig.dialog.storedPathsEnabled) << "no name holds a directory";
}

}  // namespace

namespace {

// Record 0x42: the packed and original sizes in 8 bytes each.
Record LargeSizes(std::uint64_t packed, std::uint64_t original) {
  Bytes data;
  for (std::uint64_t value : {packed, original})
    for (int i = 0; i < 8; ++i) data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return Record{0x42, data};
}

// The tool's build takes the record's sizes; sizes of 2^63 or more are
// damage, and the member is refused rather than cut.
TEST(WalkExtract, SizesOfRecord0x42) {
  LZH_TOOL_ONLY("sizes past 4 GiB");
  MemberPlan huge = StoredMember("huge.bin", "only its first bytes", 2);
  huge.records = {LargeSizes(0x140000000, 0x140000000)};  // 5 GiB; the fields hold the low bits
  MemberPlan fits = StoredMember("fits.bin", "sizes agree", 2);
  fits.records = {LargeSizes(11, 11)};
  WalkRig rig(ArchiveBytes({fits, huge, StoredMember("after.txt", "z")}));
  rig.ListAndExtractAll();
  EXPECT_EQ(rig.Content("C:/out/fits.bin"), "sizes agree");
  EXPECT_EQ(rig.dialog.Kinds(), (std::vector<Kind>{Kind::Extracted, Kind::Damaged}))
      << "the file ends inside huge.bin";
  EXPECT_EQ(rig.dialog.outcomes.back().what.damage, lzh::Damage::Size);

  huge.records = {LargeSizes(0x8000000000000000, 20)};
  WalkRig beyond(ArchiveBytes({huge, StoredMember("after.txt", "z")}));
  beyond.ListAndExtractAll();
  EXPECT_FALSE(beyond.fs.HasFile("C:/out/huge.bin"));
  EXPECT_EQ(beyond.dialog.Kinds(), std::vector<Kind>{Kind::Damaged});
  EXPECT_EQ(beyond.dialog.outcomes.back().what.damage, lzh::Damage::TooLarge);
  EXPECT_EQ(beyond.dialog.status, kFailure);
}

}  // namespace
