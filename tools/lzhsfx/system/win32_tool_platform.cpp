#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "names/unicode_text.h"
#include "platform/win32_links.h"
#include "system/tool_platform.h"

namespace lzhcli {

namespace {

std::string Utf8(const wchar_t* wide) {
  std::u16string units;
  for (const wchar_t* p = wide; *p != 0; ++p) units += static_cast<char16_t>(*p);
  std::string text;
  lzhnames::Utf16ToUtf8(units, text);
  return text;
}

}  // namespace

lzh::FileSystem& ToolFileSystem() { return lzh::Utf8HostFileSystem(); }

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

void ClearSystemError() { SetLastError(0); }

std::uint32_t LastSystemError() { return GetLastError(); }

std::string SystemErrorText(std::uint32_t code) {
  wchar_t text[512] = {};
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text / sizeof text[0], nullptr);
  // The system's texts end in a period and a line end, which the tool's
  // messages place themselves.
  while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L'.' ||
                   text[n - 1] == L' '))
    text[--n] = 0;
  if (n > 0) return Utf8(text);
  return "system error " + std::to_string(code);
}

bool IsNameSurrogate(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
    return false;
  // The reparse tag comes with a search's record of the name.
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return true;
  FindClose(search);
  return lzh::IsNameSurrogate(found);
}

std::uint16_t UnixModeToStore(const std::filesystem::file_status&) { return 0; }

void PrepareConsole() { SetConsoleOutputCP(CP_UTF8); }

}  // namespace lzhcli
