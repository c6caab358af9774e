// Real archives from many tools: every member's header is read to the
// manifest's name, and every stored member is copied to its true bytes.
#include <gtest/gtest.h>

#include <map>

#include "archive/header_cursor.h"
#include "codec/decoder.h"
#include "extract/walk.h"
#include "support/corpus.h"
#include "support/memory_file_system.h"
#include "support/sha256.h"

namespace {

using lzhtest::ManifestRow;

std::map<std::string, std::vector<ManifestRow>> RowsByArchive() {
  std::map<std::string, std::vector<ManifestRow>> byArchive;
  for (const auto& row : lzhtest::ReadManifest()) byArchive[row.archive].push_back(row);
  return byArchive;
}

std::string SlashName(const char* memberName) {
  std::string name = memberName;
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  return lzhtest::EscapeName(name);
}

TEST(CorpusHeaders, EveryMemberOfLevels0To2ReadsToItsNameAndStoredMembersCopyExactly) {
  LZH_REQUIRE_CORPUS();
  lzh::CrcTableScope table;
  int archives = 0, members = 0, copied = 0;
  for (const auto& [path, rows] : RowsByArchive()) {
    bool readable = true;
    for (const auto& row : rows)
      readable = readable && row.level <= 2 && row.method.compare(1, 2, "lh") == 0;
    if (!readable) continue;
    ++archives;
    lzhtest::MemoryFileSystem fs;
    fs.AddFile("a", lzhtest::ReadWholeFile(lzhtest::CorpusDir() + "/" + path));
    fs.AddDirectory("out");
    lzh::ArchiveReader archive{fs, fs.OpenRead("a"), 0, {}};
    lzh::HeaderCursor cursor(archive);
    cursor.Seek(0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const ManifestRow& row = rows[i];
      SCOPED_TRACE(path + " member " + std::to_string(i) + " " + row.name);
      ASSERT_TRUE(cursor.Read());
      const lzh::MemberHeader& m = cursor.Member();
      char memberName[lzh::kPathBytes];
      ASSERT_TRUE(lzh::ComposeMemberName(m, cursor.Name(), memberName));
      std::string shown = SlashName(memberName);
      // The manifest writes directory entries with a closing "/".
      if (m.IsDirectoryEntry() && (shown.empty() || shown.back() != '/')) shown += '/';
      EXPECT_EQ(shown, row.name);
      EXPECT_EQ(std::string(m.method, 5), row.method);
      EXPECT_EQ(m.memberCrc, row.crc);
      EXPECT_EQ(m.originalSize, row.size);
      EXPECT_EQ(m.level, row.level);
      ++members;
      if (row.method == "-lh0-" && row.verified) {
        fs.Remove("out/f");
        lzh::FileHandle out = fs.CreateOutput("out/f");
        lzh::MemberStream stream{fs,           archive.archiveHandle, out,
                                 m.DataSize(), m.originalSize,        lzh::MethodIdOf("-lh0-")};
        lzh::CopyStored(stream);
        fs.Close(out);
        EXPECT_EQ(stream.runningCrc, row.crc);
        EXPECT_EQ(lzhtest::Sha256Hex(fs.Find("out/f")->bytes), row.sha256);
        ++copied;
      }
      ASSERT_TRUE(cursor.Advance());
    }
    EXPECT_FALSE(cursor.Read()) << path << ": more members than the manifest";
  }
  EXPECT_GT(archives, 30);
  EXPECT_GT(copied, 40);
  std::printf("[corpus] %d archives, %d members read, %d stored members copied\n", archives,
              members, copied);
}

}  // namespace
