// The file system on Win32: paths in the ANSI code page through the "A"
// calls, or in UTF-8 through the wide ones.
#include <windows.h>

#include <type_traits>

#include "platform/file_system.h"
#include "platform/win32_links.h"
#include "platform/win32_text.h"

namespace lzh {

namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

void SetTimes(FileHandle file, const FILETIME& utc) {
  SetFileTime(AsHandle(file), nullptr, &utc, &utc);
}

// The calls that take a path, in both spellings; the program uses only
// the wide one.
#ifndef LZH_PROGRAM_CORE
inline HANDLE OpenFile(const char* path, DWORD access, DWORD share, DWORD how, DWORD flags) {
  return CreateFileA(path, access, share, nullptr, how, flags, nullptr);
}
inline HANDLE FindFirst(const char* path, WIN32_FIND_DATAA& found) {
  return FindFirstFileA(path, &found);
}
inline BOOL MakeOneDirectory(const char* path) { return CreateDirectoryA(path, nullptr); }
inline DWORD AttributesOf(const char* path) { return GetFileAttributesA(path); }
inline BOOL Move(const char* from, const char* to, DWORD flags) {
  return MoveFileExA(from, to, flags);
}
inline BOOL Delete(const char* path) { return DeleteFileA(path); }
#endif
inline HANDLE OpenFile(const wchar_t* path, DWORD access, DWORD share, DWORD how, DWORD flags) {
  return CreateFileW(path, access, share, nullptr, how, flags, nullptr);
}
inline HANDLE FindFirst(const wchar_t* path, WIN32_FIND_DATAW& found) {
  return FindFirstFileW(path, &found);
}
inline BOOL MakeOneDirectory(const wchar_t* path) { return CreateDirectoryW(path, nullptr); }
inline DWORD AttributesOf(const wchar_t* path) { return GetFileAttributesW(path); }
inline BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) {
  return MoveFileExW(from, to, flags);
}
inline BOOL Delete(const wchar_t* path) { return DeleteFileW(path); }

// A path as the calls of one spelling take it: the bytes as they are, or
// UTF-8 as UTF-16 (empty, which no call finds, when it is not UTF-8 or does
// not fit).
template <bool kWide>
struct SystemPath {
  explicit SystemPath(const char* path) : text(path) {}
  const char* text;
};
template <>
struct SystemPath<true> {
  explicit SystemPath(const char* path) {
    if (!Utf8ToWide(path, text, kWidePathUnits)) text[0] = 0;
  }
  wchar_t text[kWidePathUnits];
};

// kWide: paths are UTF-8 and reach the system through the wide calls, so
// that names in any script are written as named whatever the system's ANSI
// code page; else they are in that code page, as the "A" calls take them.
template <bool kWide>
class Win32FileSystem final : public FileSystem {
  using Path = SystemPath<kWide>;
  using FindData = std::conditional_t<kWide, WIN32_FIND_DATAW, WIN32_FIND_DATAA>;

 public:
  FileHandle OpenRead(const char* path) override {
    HANDLE h = OpenFile(Path(path).text, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL);
    return h == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<FileHandle>(h);
  }

  FileHandle CreateOutput(const char* path) override {
    HANDLE h = OpenFile(Path(path).text, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL);
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
    FindData found;
    HANDLE search = lzh::FindFirst(Path(path).text, found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
  }

  bool MakeDirectory(const char* path) override {
    if (MakeOneDirectory(Path(path).text)) return true;
    KeepError();
    return false;
  }

  bool IsDirectory(const char* path) override {
    DWORD attributes = AttributesOf(Path(path).text);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  bool IsLink(const char* path) override {
    FindData found;
    HANDLE search = lzh::FindFirst(Path(path).text, found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return IsNameSurrogate(found);
  }

  bool CanReplace(const char* path) override {
    // Opened for writing and closed at once: read-only files, directories
    // and files held open without write sharing fail as they would if
    // replaced in place.
    HANDLE h = OpenFile(Path(path).text, GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                        FILE_FLAG_OPEN_REPARSE_POINT);
    if (h == INVALID_HANDLE_VALUE) {
      KeepError();
      return false;
    }
    CloseHandle(h);
    return true;
  }

  bool Rename(const char* from, const char* to, bool replace) override {
    if (Move(Path(from).text, Path(to).text, replace ? MOVEFILE_REPLACE_EXISTING : 0)) return true;
    KeepError();
    return false;
  }

  bool Remove(const char* path) override { return Delete(Path(path).text) != 0; }

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

// The program names everything through the wide calls; the byte calls are
// the tool's, for `build`, which takes paths as the system's byte calls do.
#ifndef LZH_PROGRAM_CORE
FileSystem& HostFileSystem() {
  static Win32FileSystem<false> fileSystem;
  return fileSystem;
}
#endif

FileSystem& Utf8HostFileSystem() {
  static Win32FileSystem<true> fileSystem;
  return fileSystem;
}

}  // namespace lzh
