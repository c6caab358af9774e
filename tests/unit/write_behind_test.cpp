// The command-line tool's write-behind layer: extracting through it gives
// every member the outcome (the CRC now folded by the writing thread), the
// error and the file bytes that writing directly gives, also when the file
// system stores fewer bytes than asked (a full disk) in a member's first, a
// middle or its last block.
#include <gtest/gtest.h>

#include <random>

#include "encoder/lh5_encoder.h"
#include "support/byte_streams.h"
#include "support/session_run.h"

namespace {

using lzhtest::Bytes;
using lzhtest::MemberPlan;
using lzhtest::StoredMember;

MemberPlan PackedMember(const std::string& name, const Bytes& content) {
  MemberPlan plan = StoredMember(name, "");
  lzhtest::VectorSource source(content);
  lzhtest::VectorSink sink;
  lzh::EncodeStaticHuffman(source, sink, {});
  plan.method = "-lh5-";
  plan.packed = sink.bytes;
  plan.originalSize = static_cast<std::int64_t>(content.size());
  plan.crc = lzhtest::Crc16(content);
  return plan;
}

TEST(WriteBehind, ExtractsAsDirectWritesDo) {
  // Several blocks of the layer, and not a whole number of them.
  Bytes big(1024 * 1024 + 12345);
  std::mt19937 rng(16);
  for (auto& b : big) b = static_cast<std::uint8_t>(rng() % 7 == 0 ? rng() : 'a' + rng() % 3);
  MemberPlan stored = StoredMember("stored.bin", std::string(big.begin(), big.end()));
  stored.crc = lzhtest::Crc16(big);
  MemberPlan badCrc = PackedMember("bad.bin", big);
  badCrc.crc ^= 1;
  const Bytes archive = lzhtest::ArchiveBytes({StoredMember("a.txt", "alpha"), stored,
                                               PackedMember("packed.bin", big), badCrc,
                                               StoredMember("z.txt", "omega")});
  const std::int64_t size = static_cast<std::int64_t>(big.size());
  const std::int64_t budgets[] = {-1,
                                  3,
                                  5 + 1000,
                                  5 + 200000,
                                  5 + size,
                                  size - 10,
                                  5 + size + 3,
                                  5 + 2 * size - 1,
                                  5 + 3 * size + 1};
  for (std::int64_t budget : budgets) {
    SCOPED_TRACE("write budget " + std::to_string(budget));
    const auto direct = lzhtest::ExtractThroughSession(archive, budget, false, false);
    const auto behind = lzhtest::ExtractThroughSession(archive, budget, true, false);
    EXPECT_EQ(behind.outcomes, direct.outcomes);
    EXPECT_EQ(behind.files, direct.files);
    EXPECT_EQ(behind.openHandles, direct.openHandles);
  }
}

}  // namespace
