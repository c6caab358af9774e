#include "stdin_archive.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace lzhcli {

StdinArchive::~StdinArchive() {
  if (!path_.empty()) std::remove(path_.c_str());
}

bool StdinArchive::Spool(std::string& error) {
  std::error_code ec;
  std::filesystem::path directory = std::filesystem::temp_directory_path(ec);
  if (ec) directory = ".";
  std::FILE* out = nullptr;
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  for (int attempt = 0; attempt < 100 && out == nullptr; ++attempt) {
    path_ = (directory /
             ("lzhsfx-stdin-" + std::to_string(_getpid()) + "-" + std::to_string(attempt) + ".lzh"))
                .string();
    int fd = _open(path_.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) out = _fdopen(fd, "wb");
  }
  if (out == nullptr) path_.clear();
#else
  std::string pattern = (directory / "lzhsfx-stdin-XXXXXX").string();
  int fd = mkstemp(pattern.data());
  if (fd >= 0) {
    path_ = pattern;
    out = fdopen(fd, "wb");
  }
#endif
  if (out == nullptr) {
    error = "cannot make a temporary file to hold the archive from standard input: " +
            std::string(std::strerror(errno));
    return false;
  }
  char buffer[1 << 16];
  std::size_t n;
  bool written = true;
  while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
    written = written && std::fwrite(buffer, 1, n, out) == n;
  bool readFailed = std::ferror(stdin) != 0;
  written = std::fclose(out) == 0 && written;
  if (readFailed || !written) {
    error = readFailed ? "cannot read the archive from standard input"
                       : "cannot hold the archive from standard input in a temporary file: " +
                             std::string(std::strerror(errno));
    return false;
  }
  return true;
}

}  // namespace lzhcli
