#include "archive_writer/temporary_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "archive_writer/utf8_path.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace lzhwrite {

namespace {

// Enough for names left behind by runs that were killed; a directory that
// holds more of them is taken as one that refuses new files.
constexpr int kMostTries = 1000;

#ifdef _WIN32

// errno for the reasons CreateFileW gives here.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    default:
      return EIO;
  }
}

// A new file or -1 (errno set); EEXIST when anything has the name. Shared
// for deletion, which _wopen never asks for: lzhsfx's interruption runs on
// a thread of its own and removes the file while it is open.
int CreateExclusively(const std::string& path) {
  const std::wstring wide = Utf8Path(path).wstring();
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = ErrnoOf(GetLastError());
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    CloseHandle(h);
    DeleteFileW(wide.c_str());
    errno = EMFILE;
  }
  return fd;
}

#else

// A new file or -1 (errno set); EEXIST when anything has the name.
int CreateExclusively(const std::string& path) {
  return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

#endif

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
