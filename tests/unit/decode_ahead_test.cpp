// The command-line tool's decoding ahead: a walk whose small members are
// decoded on the second thread gives every member the outcome, the error
// and the file bytes the walk gives decoding them itself, whatever the
// streams hold (damaged, cut, ending early, running past the member) and
// wherever the file system stops storing bytes (a full disk), with the
// write-behind layer and without.
#include <gtest/gtest.h>

#include <random>

#include "encoder/lh5_encoder.h"
#include "support/byte_streams.h"
#include "support/session_run.h"

namespace {

using lzhtest::Bytes;
using lzhtest::MemberPlan;

MemberPlan Member(const std::string& name, const char* method, Bytes packed, std::int64_t size,
                  std::uint16_t crc) {
  MemberPlan plan;
  plan.name = name;
  plan.method = method;
  plan.packed = std::move(packed);
  plan.originalSize = size;
  plan.crc = crc;
  return plan;
}

Bytes Packed(const Bytes& content, int dictionaryBits) {
  lzhtest::VectorSource source(content);
  lzhtest::VectorSink sink;
  lzh::EncoderOptions options;
  options.dictionaryBits = dictionaryBits;
  lzh::EncodeStaticHuffman(source, sink, options);
  return sink.bytes;
}

TEST(DecodeAhead, EveryMemberEndsAsWhenTheWalkDecodesIt) {
  std::mt19937 rng(16);
  auto text = [&](std::size_t n) {
    Bytes b(n);
    for (auto& c : b) c = static_cast<std::uint8_t>(rng() % 9 == 0 ? rng() : 'a' + rng() % 4);
    return b;
  };
  auto noise = [&](std::size_t n) {
    Bytes b(n);
    for (auto& c : b) c = static_cast<std::uint8_t>(rng());
    return b;
  };
  const Bytes a = text(20000), b = text(3000), c = text(70000), big = text(300000);
  const Bytes packedA = Packed(a, 13), packedC = Packed(c, 15);
  std::vector<MemberPlan> members = {
      Member("a.txt", "-lh5-", packedA, 20000, lzhtest::Crc16(a)),
      Member("bad-crc.txt", "-lh5-", Packed(b, 13), 3000, lzhtest::Crc16(b) ^ 1),
      // The stream ends (a block of no codes) before the size the header gives.
      Member("ends-early.txt", "-lh5-", packedA, 20500, lzhtest::Crc16(a)),
      Member("cut.txt", "-lh5-", Bytes(packedA.begin(), packedA.begin() + 900), 20000,
             lzhtest::Crc16(a)),
      Member("noise5.bin", "-lh5-", noise(4000), 9000, 0),
      Member("noise1.bin", "-lh1-", noise(3000), 7000, 0),
      Member("c.txt", "-lh6-", packedC, 70000, lzhtest::Crc16(c)),
      Member("stored.txt", "-lh0-", b, 3000, lzhtest::Crc16(b)),
      Member("big.txt", "-lh5-", Packed(big, 13), 300000, lzhtest::Crc16(big)),
      Member("empty.txt", "-lh5-", {}, 0, 0),
      Member("z.txt", "-lh5-", Packed(b, 13), 3000, lzhtest::Crc16(b)),
  };
  // Members run past their size: the same stream under a smaller one.
  members.push_back(Member("overrun.txt", "-lh5-", packedA, 19999, lzhtest::Crc16(a)));
  const Bytes archive = lzhtest::ArchiveBytes(members);

  const lzhtest::SessionRun whole = lzhtest::ExtractThroughSession(archive, -1, false, false);
  std::int64_t total = 0;
  for (const auto& [path, bytes] : whole.files) {
    if (path.rfind("C:/out/", 0) == 0) total += static_cast<std::int64_t>(bytes.size());
  }
  // Budgets that end inside one member's writes or another's, at its end,
  // or at once.
  std::vector<std::int64_t> budgets = {-1, 0, 10000, 20000, 26624, 30000, 49999};
  for (std::int64_t at = 60000; at < total; at += 37000) budgets.push_back(at);
  for (std::int64_t budget : budgets) {
    for (bool behind : {false, true}) {
      SCOPED_TRACE("write budget " + std::to_string(budget) + (behind ? ", write-behind" : ""));
      const auto direct = lzhtest::ExtractThroughSession(archive, budget, behind, false);
      const auto ahead = lzhtest::ExtractThroughSession(archive, budget, behind, true);
      EXPECT_GT(ahead.taken, 0);
      EXPECT_EQ(ahead.outcomes, direct.outcomes);
      EXPECT_EQ(ahead.files, direct.files);
    }
  }
}

}  // namespace
