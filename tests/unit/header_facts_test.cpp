// What the command-line tool reads from headers beyond the program: level 3,
// Unix times and modes, level-0 headers without a CRC, and the headers
// found again after bytes that are neither a header nor the archive's end.
#include <gtest/gtest.h>

#include "support/archive_builder.h"
#include "support/walk_rig.h"

namespace {

using lzhtest::Bytes;
using lzhtest::MemberPlan;
using lzhtest::Record;

constexpr std::uint32_t kDos2098 = 118u << 25 | 1u << 21 | 1u << 16;  // 2098-01-01

Bytes Le(std::uint32_t value, int bytes) {
  Bytes out;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return out;
}

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

MemberPlan Member(int level, const std::string& name = "a.txt") {
  MemberPlan plan = lzhtest::StoredMember(name, "contents", level);
  plan.timeStamp = kDos2098;
  return plan;
}

struct FactsCase {
  const char* what;
  MemberPlan plan;
  std::int64_t modified;  // -1: the MS-DOS time was used
  std::int64_t mode;      // -1: none set
  bool crcUnchecked;
};

std::vector<FactsCase> FactsCases() {
  std::vector<FactsCase> cases;
  MemberPlan l3 = Member(3);
  l3.timeStamp = 1000000;
  l3.records = {{0x50, Le(0100751, 2)}};
  cases.push_back({"level 3, its time and mode record", l3, 1000000, 0100751, false});
  MemberPlan l1 = Member(1);
  l1.records = {{0x54, Le(0, 4)}, {0x50, Le(0100644, 2)}};
  cases.push_back({"level 1: record 0x54 over a DOS field of 2098", l1, 0, 0100644, false});
  MemberPlan l0 = Member(0);
  l0.osArea = {'U', 0};
  for (const Bytes& part : {Le(86400, 4), Le(0100600, 2), Le(1000, 2), Le(1000, 2)})
    l0.osArea.insert(l0.osArea.end(), part.begin(), part.end());
  cases.push_back({"level 0 with a Unix area", l0, 86400, 0100600, false});
  MemberPlan noCrc = Member(0);
  noCrc.noCrc = true;
  noCrc.crc = 0;
  cases.push_back({"level 0 ending where its CRC would begin", noCrc, -1, -1, true});
  return cases;
}

TEST(HeaderFacts, TimesModesLevelThreeAndMissingCrcs) {
  for (const FactsCase& c : FactsCases()) {
    SCOPED_TRACE(c.what);
    lzhtest::WalkRig rig(lzhtest::ArchiveBytes({c.plan}));
    rig.ListAndExtractAll();
    ASSERT_EQ(rig.Names(), std::vector<std::string>{"a.txt"});
    ASSERT_EQ(rig.dialog.outcomes.size(), 1u);
    EXPECT_EQ(rig.dialog.outcomes[0].what.kind, lzh::OutcomeKind::Extracted);
    EXPECT_EQ(rig.dialog.outcomes[0].what.crcUnchecked, c.crcUnchecked);
    EXPECT_EQ(rig.Content("C:/out/a.txt"), "contents");
    const auto* file = rig.fs.Find("C:/out/a.txt");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->modified, c.modified);
    EXPECT_EQ(file->mode, c.mode);
  }
  // Without a CRC the size still tells a cut member.
  MemberPlan cut = Member(0);
  cut.noCrc = true;
  cut.originalSize = 9;
  lzhtest::WalkRig rig(lzhtest::ArchiveBytes({cut}));
  rig.ListAndExtractAll();
  ASSERT_EQ(rig.dialog.outcomes.size(), 1u);
  EXPECT_EQ(rig.dialog.outcomes[0].what.kind, lzh::OutcomeKind::Damaged);
}

TEST(HeaderFacts, TheChainResumesAfterBytesThatAreNoHeader) {
  const Bytes first = lzhtest::MemberBytes(Member(1, "one.txt"));
  const Bytes second = lzhtest::MemberBytes(Member(2, "two.txt"));
  const Bytes junk = lzhtest::ToBytes("JUNK-lh5-JUNK");
  struct {
    const char* what;
    Bytes archive;
    std::vector<std::string> names;
    int gaps;
    std::int64_t gapAt, resumedAt;
  } cases[] = {
      {"junk between two members",
       Joined({first, junk, second, {0}}),
       {"one.txt", "two.txt"},
       1,
       static_cast<std::int64_t>(first.size()),
       static_cast<std::int64_t>(first.size() + junk.size())},
      {"junk at the end",
       Joined({first, junk}),
       {"one.txt"},
       1,
       static_cast<std::int64_t>(first.size()),
       -1},
      {"an end marker and anything after it", Joined({first, {0}, junk}), {"one.txt"}, 0, -1, -1},
      {"the file's end", first, {"one.txt"}, 0, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    lzhtest::WalkRig rig(c.archive);
    rig.session.archive.findsLostHeaders = true;
    rig.ListAndExtractAll();
    EXPECT_EQ(rig.Names(), c.names);
    EXPECT_EQ(rig.session.archive.gaps, c.gaps);
    if (c.gaps == 0) continue;
    EXPECT_EQ(rig.session.archive.lastGapAt, c.gapAt);
    EXPECT_EQ(rig.session.archive.lastGapResumedAt, c.resumedAt);
  }
}

}  // namespace
