// The shared corpus of real archives and its manifest.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lzhtest {

struct ManifestRow {
  std::string archive;  // path below the corpus folder
  int level = 0;
  std::string method;  // e.g. "-lh5-"
  std::uint16_t crc = 0;
  std::int64_t size = 0;
  std::string name;  // stored directory and name, "/" separated, \xNN escapes
  std::string sha256;
  bool verified = false;
};

// The corpus folder, or "" when it is absent (tests then skip).
std::string CorpusDir();
std::vector<ManifestRow> ReadManifest();

std::vector<std::uint8_t> ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Writes a manifest name the way the manifest escapes bytes.
std::string EscapeName(const std::string& raw);

}  // namespace lzhtest

#define LZH_REQUIRE_CORPUS()                                                        \
  do {                                                                              \
    if (lzhtest::CorpusDir().empty())                                               \
      GTEST_SKIP() << "../shared/corpus is absent: real-archive tests are skipped"; \
  } while (0)
