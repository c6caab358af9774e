#include "support/corpus.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace lzhtest {

std::string CorpusDir() {
  const char* dirs[] = {std::getenv("LZH_CORPUS_DIR"), LZH_CORPUS_DIR};
  for (const char* dir : dirs) {
    if (dir == nullptr) continue;
    struct stat st;
    std::string manifest = std::string(dir) + "/MANIFEST.tsv";
    if (stat(manifest.c_str(), &st) == 0) return dir;
  }
  return "";
}

std::vector<ManifestRow> ReadManifest() {
  std::vector<ManifestRow> rows;
  std::string dir = CorpusDir();
  if (dir.empty()) return rows;
  std::ifstream in(dir + "/MANIFEST.tsv");
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> cols;
    std::stringstream ss(line);
    std::string col;
    while (std::getline(ss, col, '\t')) cols.push_back(col);
    if (cols.size() < 8) continue;
    ManifestRow row;
    row.archive = cols[0];
    row.level = std::stoi(cols[1]);
    row.method = cols[2];
    row.crc = static_cast<std::uint16_t>(std::stoul(cols[3], nullptr, 16));
    row.size = std::stoll(cols[4]);
    row.name = cols[5];
    row.sha256 = cols[6];
    row.verified = cols[7] == "yes";
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bool(out);
}

std::string EscapeName(const std::string& raw) {
  std::string out;
  for (unsigned char c : raw) {
    if (c < 0x20 || c >= 0x7F || c == '\\') {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace lzhtest
