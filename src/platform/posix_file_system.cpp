// The file system on POSIX, with the results the Win32 calls give: "\" and
// "/" both separate components, and a search for "dir\*.*" succeeds when the
// directory can be listed.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/dos_time.h"
#include "platform/file_system.h"

namespace lzh {

namespace {

constexpr int kPathMax = 4096;

// Copies path with every "\" turned into "/". False when it does not fit.
bool NativePath(const char* path, char (&out)[kPathMax]) {
  std::size_t n = std::strlen(path);
  if (n >= sizeof out) return false;
  for (std::size_t i = 0; i <= n; ++i) out[i] = path[i] == '\\' ? '/' : path[i];
  return true;
}

bool EndsWith(const char* text, std::size_t length, const char* suffix) {
  std::size_t s = std::strlen(suffix);
  return length >= s && std::memcmp(text + length - s, suffix, s) == 0;
}

void SetTimes(FileHandle file, std::time_t seconds) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = seconds;
  times[0].tv_nsec = times[1].tv_nsec = 0;
  futimens(static_cast<int>(file), times);
}

// The moment a local date-time names, as mktime gives it with tm_isdst -1.
// mktime reads the time zone anew on every call (a stat of /etc/localtime
// per member); localtime_r keeps the zone it loaded once. Away from any
// change of the zone's offset a local time names one moment, found from
// the offset there; within 27 hours of a change (the widest step between
// two offsets is 26 hours) the moment is left to mktime.
std::time_t LocalTimeToSeconds(struct tm fields) {
  constexpr std::time_t kWindow = 27 * 3600;  // seconds
  struct tm asUtc = fields;
  const std::time_t wall = timegm(&asUtc);
  struct tm local;
  if (wall != static_cast<std::time_t>(-1) && localtime_r(&wall, &local) != nullptr) {
    const long offset = local.tm_gmtoff;
    const std::time_t guess = wall - offset;
    const std::time_t probes[] = {guess - kWindow, guess + kWindow, guess};
    bool steady = true;
    for (std::time_t probe : probes)
      steady = steady && localtime_r(&probe, &local) != nullptr && local.tm_gmtoff == offset;
    // local holds the guess's own fields now.
    if (steady && local.tm_year == fields.tm_year && local.tm_mon == fields.tm_mon &&
        local.tm_mday == fields.tm_mday && local.tm_hour == fields.tm_hour &&
        local.tm_min == fields.tm_min && local.tm_sec == fields.tm_sec)
      return guess;
  }
  return mktime(&fields);
}

// rename that fails when the target's name is taken. Where the file system
// cannot do that in one step, a hard link does it; where it has no hard
// links either, a look just before the rename narrows the window.
bool RenameNoReplace(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  if (link(from, to) == 0) {
    unlink(from);
    return true;
  }
  if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) return false;
  struct stat st;
  if (lstat(to, &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return rename(from, to) == 0;
}

class PosixFileSystem final : public FileSystem {
 public:
  // The umask can only be read by setting it: once, before the tool starts
  // a thread that creates files.
  PosixFileSystem() : umask_(umask(0)) { umask(umask_); }

  FileHandle OpenRead(const char* path) override {
    char native[kPathMax];
    if (!NativePath(path, native)) return kInvalidFile;
    int fd = open(native, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kInvalidFile;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      close(fd);
      return kInvalidFile;
    }
    return fd;
  }

  FileHandle CreateOutput(const char* path) override {
    char native[kPathMax];
    if (!NativePath(path, native)) return TooLong(kInvalidFile);
    int fd = open(native, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    return fd < 0 ? Failed(kInvalidFile) : fd;
  }

  std::int32_t Read(FileHandle file, void* buffer, std::int32_t count) override {
    if (count <= 0) return 0;
    auto* p = static_cast<char*>(buffer);
    std::int32_t done = 0;
    while (done < count) {
      ssize_t n = read(static_cast<int>(file), p + done, static_cast<std::size_t>(count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::int32_t>(n);
    }
    return done;
  }

  std::int32_t Write(FileHandle file, const void* buffer, std::int32_t count) override {
    if (count <= 0) return 0;
    const auto* p = static_cast<const char*>(buffer);
    std::int32_t done = 0;
    while (done < count) {
      ssize_t n = write(static_cast<int>(file), p + done, static_cast<std::size_t>(count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return Failed(done);
      if (n == 0) break;
      done += static_cast<std::int32_t>(n);
    }
    return done;
  }

  FileOffset Seek(FileHandle file, FileOffset offset) override {
    if (offset < 0) return -1;
    off_t at = lseek(static_cast<int>(file), static_cast<off_t>(offset), SEEK_SET);
    return at < 0 ? -1 : static_cast<FileOffset>(at);
  }

  FileSize Size(FileHandle file) override {
    struct stat st;
    if (fstat(static_cast<int>(file), &st) != 0) return static_cast<FileSize>(-1);
    return static_cast<FileSize>(static_cast<unsigned long long>(st.st_size));
  }

  bool Close(FileHandle file) override {
    return close(static_cast<int>(file)) == 0 || Failed(false);
  }

  bool FindFirst(const char* path) override {
    char native[kPathMax];
    if (path[0] == 0 || !NativePath(path, native)) return false;
    std::size_t n = std::strlen(native);
    if (EndsWith(native, n, "/*.*")) {
      native[n - 3] = 0;  // keep the "/"
      DIR* dir = opendir(native);
      if (dir == nullptr) return false;
      closedir(dir);
      return true;
    }
    struct stat st;
    return lstat(native, &st) == 0;
  }

  bool MakeDirectory(const char* path) override {
    char native[kPathMax];
    if (!NativePath(path, native)) return TooLong(false);
    return mkdir(native, 0777) == 0 || Failed(false);
  }

  bool IsDirectory(const char* path) override {
    char native[kPathMax];
    struct stat st;
    return NativePath(path, native) && stat(native, &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool IsLink(const char* path) override {
    char native[kPathMax];
    struct stat st;
    return NativePath(path, native) && lstat(native, &st) == 0 && S_ISLNK(st.st_mode);
  }

  bool CanReplace(const char* path) override {
    char native[kPathMax];
    if (!NativePath(path, native)) return TooLong(false);
    struct stat st;
    if (lstat(native, &st) != 0) return Failed(false);
    if (S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode)) {
      errno = S_ISDIR(st.st_mode) ? EISDIR : ELOOP;
      return Failed(false);
    }
    // The right to write it, as replacing it in place would need: a file
    // is opened and closed at once, not truncated; a pipe or a device is
    // not opened (that could block, or act), only asked.
    if (!S_ISREG(st.st_mode))
      return faccessat(AT_FDCWD, native, W_OK, AT_EACCESS) == 0 || Failed(false);
    int fd = open(native, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Failed(false);
    close(fd);
    return true;
  }

  bool Rename(const char* from, const char* to, bool replace) override {
    char source[kPathMax], target[kPathMax];
    if (!NativePath(from, source) || !NativePath(to, target)) return TooLong(false);
    if (replace) {
      // The file that goes had its permissions chosen by its owner; the one
      // that takes its name keeps them (but no set-id bits).
      struct stat st;
      if (stat(target, &st) == 0 && S_ISREG(st.st_mode)) chmod(source, st.st_mode & 0777);
      return rename(source, target) == 0 || Failed(false);
    }
    return RenameNoReplace(source, target) || Failed(false);
  }

  bool Remove(const char* path) override {
    char native[kPathMax];
    return NativePath(path, native) && unlink(native) == 0;
  }

  void SetDosTime(FileHandle file, std::uint32_t dosDateTime) override {
    if (!IsValidDosDateTime(dosDateTime)) return;
    struct tm local = {};
    local.tm_year = static_cast<int>((dosDateTime >> 25) & 0x7F) + 80;
    local.tm_mon = static_cast<int>((dosDateTime >> 21) & 0x0F) - 1;
    local.tm_mday = static_cast<int>((dosDateTime >> 16) & 0x1F);
    local.tm_hour = static_cast<int>((dosDateTime >> 11) & 0x1F);
    local.tm_min = static_cast<int>((dosDateTime >> 5) & 0x3F);
    local.tm_sec = static_cast<int>(dosDateTime & 0x1F) * 2;
    local.tm_isdst = -1;
    std::time_t seconds = LocalTimeToSeconds(local);
    if (seconds != static_cast<std::time_t>(-1)) SetTimes(file, seconds);
  }

  void SetUnixTime(FileHandle file, std::int64_t seconds) override {
    SetTimes(file, static_cast<std::time_t>(seconds));
  }

#ifndef LZH_PROGRAM_CORE
  void SetUnixMode(FileHandle file, std::uint32_t mode) override {
    fchmod(static_cast<int>(file), static_cast<mode_t>(mode & 0777 & ~umask_));
  }
#endif

  std::uint32_t LastError() override { return lastError_; }

 private:
  mode_t umask_;
  // Keeps the error of the call that just failed; returns result.
  template <typename T>
  T Failed(T result) {
    lastError_ = static_cast<std::uint32_t>(errno);
    return result;
  }
  template <typename T>
  T TooLong(T result) {
    lastError_ = ENAMETOOLONG;
    return result;
  }

  std::uint32_t lastError_ = 0;
};

}  // namespace

FileSystem& HostFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace lzh
