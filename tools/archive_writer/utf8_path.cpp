#include "archive_writer/utf8_path.h"

namespace lzhwrite {

std::filesystem::path Utf8Path(const std::string& name) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
#else
  return std::filesystem::path(name);
#endif
}

std::string Utf8Name(const std::filesystem::path& path) {
#ifdef _WIN32
  std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
#else
  return path.string();
#endif
}

std::FILE* OpenUtf8(const std::string& name, bool forWriting) {
#ifdef _WIN32
  return _wfopen(Utf8Path(name).c_str(), forWriting ? L"wb+" : L"rb");
#else
  return std::fopen(name.c_str(), forWriting ? "wb+" : "rb");
#endif
}

}  // namespace lzhwrite
