#include "archive_writer/temporary_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "archive_writer/utf8_path.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace lzhwrite {

namespace {

// Enough for names left behind by runs that were killed; a directory that
// holds more of them is taken as one that refuses new files.
constexpr int kMostTries = 1000;

// A new file or -1 (errno set); EEXIST when anything has the name.
int CreateExclusively(const std::string& path) {
#ifdef _WIN32
  return _wopen(Utf8Path(path).c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
#else
  return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
#endif
}

std::FILE* StreamOf(int fd) {
#ifdef _WIN32
  std::FILE* file = _fdopen(fd, "wb+");
  if (file == nullptr) _close(fd);
#else
  std::FILE* file = fdopen(fd, "wb+");
  if (file == nullptr) close(fd);
#endif
  return file;
}

int ProcessNumber() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

}  // namespace

std::FILE* CreateTemporaryBeside(const std::string& finalPath, const char* tag,
                                 std::string& temporaryPath, int& error) {
  // The process number keeps runs apart at the first try.
  const std::string stem = finalPath + tag + "-" + std::to_string(ProcessNumber()) + "-";
  for (int n = 0; n < kMostTries; ++n) {
    temporaryPath = stem + std::to_string(n);
    const int fd = CreateExclusively(temporaryPath);
    if (fd < 0 && errno == EEXIST) continue;
    std::FILE* file = fd < 0 ? nullptr : StreamOf(fd);
    if (file == nullptr) {
      error = errno;
      std::error_code ec;
      if (fd >= 0) std::filesystem::remove(Utf8Path(temporaryPath), ec);
    }
    return file;
  }
  error = EEXIST;
  return nullptr;
}

}  // namespace lzhwrite
