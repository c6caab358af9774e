// The command-line tool's decoding ahead: a walk whose small members are
// decoded on the second thread gives every member the outcome, the error
// and the file bytes the walk gives decoding them itself, whatever the
// streams hold (damaged, cut, ending early, running past the member) and
// wherever the file system stops storing bytes (a full disk), with the
// write-behind layer and without.
#include "decode_ahead.h"

#include <gtest/gtest.h>

#include <random>

#include "encoder/lh5_encoder.h"
#include "support/byte_streams.h"
#include "support/walk_rig.h"
#include "write_behind_file_system.h"

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

struct Extraction {
  std::vector<lzhtest::MemoryDialog::Outcome> outcomes;
  std::map<std::string, std::string> files;
  int taken = 0;
};

// Extracts every member of archive into C:\out with writes that store
// budget bytes in all: directly, or through decoding ahead (and the
// write-behind layer).
Extraction Extract(const Bytes& archive, std::int64_t budget, bool ahead, bool behind) {
  lzhtest::WalkRig rig(archive);
  rig.fs.writeBudget = budget;
  lzhtest::MemoryFileSystem own;  // the thread's, as the tool opens the archive again
  own.AddFile("C:/sfx.exe", archive);
  lzhcli::ReadAheadFileSystem reads(rig.fs);
  lzhcli::WriteBehindFileSystem layer(reads);
  lzh::FileSystem& top = behind ? static_cast<lzh::FileSystem&>(layer) : reads;
  lzh::WalkSession session(top);
  session.archive.archiveHandle = top.OpenRead("C:/sfx.exe");
  Extraction run;
  {
    lzhcli::DecodeAhead decodeAhead(reads, own, "C:/sfx.exe", 0, lzh::ToolDecoders());
    decodeAhead.WaitForThread();
    lzh::MemberDecoder& plain =
        ahead ? static_cast<lzh::MemberDecoder&>(decodeAhead) : lzh::ToolDecoders();
    lzhcli::WriteBehindDecoding behindStage(layer, plain);
    session.decoders = behind ? &behindStage : &plain;
    lzh::WalkArchive(session, rig.dialog, lzh::WalkMode::List);
    rig.dialog.SelectAll(true);
    lzh::CopyText(session.extractPath, sizeof session.extractPath, "C:\\out");
    lzh::WalkArchive(session, rig.dialog, lzh::WalkMode::Extract);
    run.taken = decodeAhead.MembersTaken();
  }
  run.outcomes = rig.dialog.outcomes;
  for (const auto& [path, file] : rig.fs.Files())
    run.files[path] = std::string(file.bytes.begin(), file.bytes.end());
  return run;
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

  const Extraction whole = Extract(archive, -1, false, false);
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
      const Extraction direct = Extract(archive, budget, false, behind);
      const Extraction ahead = Extract(archive, budget, true, behind);
      EXPECT_GT(ahead.taken, 0);
      ASSERT_EQ(ahead.outcomes.size(), direct.outcomes.size());
      for (std::size_t i = 0; i < direct.outcomes.size(); ++i) {
        SCOPED_TRACE(direct.outcomes[i].storedName);
        EXPECT_EQ(ahead.outcomes[i].what.kind, direct.outcomes[i].what.kind);
        EXPECT_EQ(ahead.outcomes[i].what.damage, direct.outcomes[i].what.damage);
        EXPECT_EQ(ahead.outcomes[i].what.systemError, direct.outcomes[i].what.systemError);
      }
      EXPECT_EQ(ahead.files, direct.files);
    }
  }
}

}  // namespace
