// Real archives through the walk: every member of a method with a decoder
// extracts to the manifest's name and SHA-256; unsafe names stay inside.
#include <gtest/gtest.h>

#include <map>

#include "codec/decoder.h"
#include "extract/safe_names.h"
#include "extract/walk.h"
#include "support/corpus.h"
#include "support/memory_file_system.h"
#include "support/sha256.h"
#include "support/walk_rig.h"

namespace {

using lzhtest::ManifestRow;

std::string Unescape(const std::string& name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
      out += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += name[i];
    }
  }
  return out;
}

TEST(CorpusWalk, SupportedMembersExtractToTheirNamesAndBytes) {
  LZH_REQUIRE_CORPUS();
  lzh::CrcTableScope table;
  std::map<std::string, std::vector<ManifestRow>> byArchive;
  for (const auto& row : lzhtest::ReadManifest()) byArchive[row.archive].push_back(row);
  std::map<std::string, int> checkedByMethod;
  for (const auto& [path, rows] : byArchive) {
    bool readable = true;
    for (const auto& row : rows)
      readable = readable && row.level <= 2 && row.method.compare(1, 2, "lh") == 0;
    if (!readable) continue;
    SCOPED_TRACE(path);
    lzhtest::WalkRig rig(lzhtest::ReadWholeFile(lzhtest::CorpusDir() + "/" + path));
    rig.fs.AddDirectory("C:/out");
    rig.dialog.policy = lzh::Overwrite;
    // Stops at the first unsupported method, as the walk does.
    rig.ListAndExtractAll();
    const lzhtest::MemoryFileSystem& fs = rig.fs;
    const lzhtest::MemoryDialog& dialog = rig.dialog;
    bool stopped = false;
    for (const auto& row : rows) {
      if (stopped) break;
      if (row.method == "-lhd-") continue;
      if (!lzh::ProgramDecoders().Takes(lzh::MethodIdOf(row.method.c_str()))) {
        stopped = true;
        continue;
      }
      std::string name = Unescape(row.name);
      std::string out = "C:/out/" + name;
      if (lzh::MemberPathRefusal(name.c_str()) != lzh::NameRefusal::None) {
        EXPECT_FALSE(fs.HasFile(out)) << name;
        continue;
      }
      if (!row.verified) continue;
      const auto* file = fs.Find(out);
      ASSERT_NE(file, nullptr) << name;
      EXPECT_EQ(lzhtest::Sha256Hex(file->bytes), row.sha256) << name;
      for (const auto& reported : dialog.outcomes) {
        std::string stored = reported.storedName;
        for (char& ch : stored) ch = ch == '\\' ? '/' : ch;
        if (stored == name) {
          EXPECT_EQ(reported.what.kind, lzh::OutcomeKind::Extracted) << name;
        }
      }
      ++checkedByMethod[row.method];
    }
    for (const auto& [file, content] : fs.Files())
      EXPECT_TRUE(file == "C:/sfx.exe" || file.rfind("C:/out/", 0) == 0) << file;
  }
  EXPECT_GT(checkedByMethod["-lh0-"], 40);
  for (const auto& [method, count] : checkedByMethod)
    std::printf("[corpus walk] %s: %d members extracted bit-exact\n", method.c_str(), count);
}

}  // namespace
