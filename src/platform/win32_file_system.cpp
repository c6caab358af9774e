// The file system on Win32, through the ANSI calls.
#include <windows.h>

#include "platform/file_system.h"
#include "platform/win32_links.h"

namespace lzh {

namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

void SetTimes(FileHandle file, const FILETIME& utc) {
  SetFileTime(AsHandle(file), nullptr, &utc, &utc);
}

class Win32FileSystem final : public FileSystem {
 public:
  FileHandle OpenRead(const char* path) override {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<FileHandle>(h);
  }

  FileHandle CreateOutput(const char* path) override {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return reinterpret_cast<FileHandle>(h);
    KeepError();
    return kInvalidFile;
  }

  std::int32_t Read(FileHandle file, void* buffer, std::int32_t count) override {
    DWORD done = 0;
    if (count <= 0) return 0;
    if (!ReadFile(AsHandle(file), buffer, static_cast<DWORD>(count), &done, nullptr)) done = 0;
    return static_cast<std::int32_t>(done);
  }

  std::int32_t Write(FileHandle file, const void* buffer, std::int32_t count) override {
    DWORD done = 0;
    if (count <= 0) return 0;
    if (!WriteFile(AsHandle(file), buffer, static_cast<DWORD>(count), &done, nullptr)) done = 0;
    if (done < static_cast<DWORD>(count)) KeepError();
    return static_cast<std::int32_t>(done);
  }

#ifdef LZH_PROGRAM_CORE
  FileOffset Seek(FileHandle file, FileOffset offset) override {
    SetLastError(0);
    DWORD at = SetFilePointer(AsHandle(file), offset, nullptr, FILE_BEGIN);
    if (at == INVALID_SET_FILE_POINTER && GetLastError() != 0) return -1;
    return static_cast<FileOffset>(at);
  }

  FileSize Size(FileHandle file) override { return GetFileSize(AsHandle(file), nullptr); }
#else
  FileOffset Seek(FileHandle file, FileOffset offset) override {
    LARGE_INTEGER to, at;
    to.QuadPart = offset;
    if (offset < 0 || !SetFilePointerEx(AsHandle(file), to, &at, FILE_BEGIN)) return -1;
    return at.QuadPart;
  }

  FileSize Size(FileHandle file) override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(AsHandle(file), &size)) return static_cast<FileSize>(-1);
    return static_cast<FileSize>(size.QuadPart);
  }
#endif

  bool Close(FileHandle file) override {
    if (CloseHandle(AsHandle(file))) return true;
    KeepError();
    return false;
  }

  bool FindFirst(const char* path) override {
    if (path[0] == 0) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
  }

  bool MakeDirectory(const char* path) override {
    if (CreateDirectoryA(path, nullptr)) return true;
    KeepError();
    return false;
  }

  bool IsDirectory(const char* path) override {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  bool IsLink(const char* path) override {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return IsNameSurrogate(found);
  }

  bool CanReplace(const char* path) override {
    // Opened for writing and closed at once: read-only files, directories
    // and files held open without write sharing fail as they would if
    // replaced in place.
    HANDLE h =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      KeepError();
      return false;
    }
    CloseHandle(h);
    return true;
  }

  bool Rename(const char* from, const char* to, bool replace) override {
    if (MoveFileExA(from, to, replace ? MOVEFILE_REPLACE_EXISTING : 0)) return true;
    KeepError();
    return false;
  }

  bool Remove(const char* path) override { return DeleteFileA(path) != 0; }

  void SetDosTime(FileHandle file, std::uint32_t dosDateTime) override {
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16),
                               static_cast<WORD>(dosDateTime & 0xFFFF), &local))
      return;
    if (!LocalFileTimeToFileTime(&local, &utc)) return;
    SetTimes(file, utc);
  }

  void SetUnixTime(FileHandle file, std::int64_t seconds) override {
    // 100-ns intervals between 1601-01-01 and 1970-01-01.
    ULONGLONG ticks = static_cast<ULONGLONG>(seconds + 11644473600LL) * 10000000ULL;
    FILETIME utc;
    utc.dwLowDateTime = static_cast<DWORD>(ticks);
    utc.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SetTimes(file, utc);
  }

  std::uint32_t LastError() override { return lastError_; }

 private:
  // Keeps the error of the call that just failed.
  void KeepError() { lastError_ = GetLastError(); }

  std::uint32_t lastError_ = 0;
};

}  // namespace

FileSystem& HostFileSystem() {
  static Win32FileSystem fileSystem;
  return fileSystem;
}

}  // namespace lzh
