#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "forwarding_file_system.h"
#include "names/unicode_text.h"
#include "platform/win32_links.h"
#include "tool_platform.h"

namespace lzhcli {

namespace {

std::wstring Wide(const char* utf8) {
  std::u16string units;
  if (!lzhnames::Utf8ToUtf16(utf8, units)) return L"";  // fails the call: no such path
  return std::wstring(units.begin(), units.end());
}

std::string Utf8(const wchar_t* wide) {
  std::u16string units;
  for (const wchar_t* p = wide; *p != 0; ++p) units += static_cast<char16_t>(*p);
  std::string text;
  lzhnames::Utf16ToUtf8(units, text);
  return text;
}

// The host file system with the calls that take paths made through their
// wide forms; handles are the same kind, so the rest is the host's.
class WideFileSystem final : public ForwardingFileSystem {
 public:
  explicit WideFileSystem(lzh::FileSystem& host) : ForwardingFileSystem(host) {}

  // Shared for deletion: an interruption removes the copy of a stream
  // while it is being read.
  lzh::FileHandle OpenRead(const char* path) override {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? lzh::kInvalidFile : reinterpret_cast<lzh::FileHandle>(h);
  }

  lzh::FileHandle CreateOutput(const char* path) override {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return reinterpret_cast<lzh::FileHandle>(h);
    KeepError();
    return lzh::kInvalidFile;
  }

  bool FindFirst(const char* path) override {
    if (path[0] == 0) return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Wide(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
  }

  bool MakeDirectory(const char* path) override {
    if (CreateDirectoryW(Wide(path).c_str(), nullptr)) return true;
    KeepError();
    return false;
  }

  bool IsDirectory(const char* path) override {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  bool IsLink(const char* path) override {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Wide(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return lzh::IsNameSurrogate(found);
  }

  bool CanReplace(const char* path) override {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      KeepError();
      return false;
    }
    CloseHandle(h);
    return true;
  }

  bool Rename(const char* from, const char* to, bool replace) override {
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0))
      return true;
    KeepError();
    return false;
  }

  bool Remove(const char* path) override { return DeleteFileW(Wide(path).c_str()) != 0; }

  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override {
    std::int32_t done = Below().Write(file, buffer, count);
    if (done < count) hostFailedLast_ = true;
    return done;
  }
  bool Close(lzh::FileHandle file) override {
    if (Below().Close(file)) return true;
    hostFailedLast_ = true;
    return false;
  }
  std::uint32_t LastError() override { return hostFailedLast_ ? Below().LastError() : lastError_; }

 private:
  void KeepError() {
    lastError_ = GetLastError();
    hostFailedLast_ = false;
  }

  std::uint32_t lastError_ = 0;
  bool hostFailedLast_ = false;
};

}  // namespace

lzh::FileSystem& ToolFileSystem() {
  static WideFileSystem fileSystem(lzh::HostFileSystem());
  return fileSystem;
}

Arguments ToolArguments(int argc, char** argv) {
  // The ANSI arguments lose what the code page cannot hold; the wide ones
  // are the command line as typed.
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr || count != argc) {
    if (wide != nullptr) LocalFree(wide);
    return Arguments(argv + (argc > 1 ? 2 : 1), argv + argc);
  }
  Arguments args;
  for (int i = argc > 1 ? 2 : 1; i < count; ++i) args.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return args;
}

bool CurrentDirectory(std::string& path) {
  wchar_t cwd[MAX_PATH * 4];
  DWORD n = GetCurrentDirectoryW(sizeof cwd / sizeof cwd[0], cwd);
  if (n == 0 || n >= sizeof cwd / sizeof cwd[0]) return false;
  path = Utf8(cwd);
  return true;
}

void PrepareConsole() { SetConsoleOutputCP(CP_UTF8); }

}  // namespace lzhcli
