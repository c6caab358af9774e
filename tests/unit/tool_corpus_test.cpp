// Every member of the shared corpus that an independent extractor verified,
// through the command-line tool's decoders: each method it decodes gives
// the manifest's bytes, and each method below has verified members that do.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "codec/decoder.h"
#include "support/corpus.h"
#include "support/decode_members.h"
#include "support/sha256.h"

namespace {

// Methods whose verified corpus members the tool must extract.
const std::set<std::string> kDecodedMethods = {
    "-lh0-", "-lh1-", "-lh4-", "-lh5-", "-lh6-", "-lh7-", "-lhx-",
    "-lzs-", "-lz4-", "-lz5-", "-pm0-", "-pm1-", "-pm2-",
};

TEST(ToolCorpus, VerifiedMembersOfEveryDecodedMethodAreBitExact) {
  LZH_REQUIRE_CORPUS();
  std::map<std::string, std::vector<lzhtest::ManifestRow>> byArchive;
  for (const auto& row : lzhtest::ReadManifest()) byArchive[row.archive].push_back(row);
  std::map<std::string, int> checked;
  for (const auto& [path, rows] : byArchive) {
    SCOPED_TRACE(path);
    const auto members =
        lzhtest::DecodeMembers(lzhtest::ReadWholeFile(lzhtest::CorpusDir() + "/" + path), "*");
    for (std::size_t i = 0; i < rows.size() && i < members.size(); ++i) {
      const lzhtest::ManifestRow& row = rows[i];
      const lzhtest::DecodedMember& member = members[i];
      ASSERT_EQ(member.method, row.method) << row.name;
      if (!row.verified || !lzh::ToolDecoders().Takes(lzh::MethodIdOf(row.method.c_str())))
        continue;
      EXPECT_EQ(member.output.size(), static_cast<std::size_t>(row.size)) << row.name;
      EXPECT_EQ(lzhtest::Sha256Hex(member.output), row.sha256) << row.name;
      EXPECT_EQ(member.runningCrc, row.crc) << row.name;
      ++checked[row.method];
    }
  }
  for (const std::string& method : kDecodedMethods) EXPECT_GT(checked[method], 0) << method;
  for (const auto& [method, count] : checked)
    std::printf("[tool corpus] %s: %d members bit-exact\n", method.c_str(), count);
}

}  // namespace
