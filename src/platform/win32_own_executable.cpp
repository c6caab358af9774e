// The program's own file and the DLL search, through the wide Win32 calls.
#include <windows.h>

#include "platform/own_executable.h"

namespace lzh {

namespace {

constexpr DWORD kPrefixUnits = 8;  // room for "\\?\UNC\" in front of the path

// Writes text ending just before at; returns where it starts.
wchar_t* PutBefore(wchar_t* at, const wchar_t* text) {
  int length = lstrlenW(text);
  at -= length;
  for (int i = 0; i < length; ++i) at[i] = text[i];
  return at;
}

}  // namespace

FileHandle OpenOwnExecutable(HeapArray<wchar_t>& buffer, const wchar_t*& path) {
  wchar_t* given = buffer.Get() + kPrefixUnits;
  DWORD room = static_cast<DWORD>(buffer.Size()) - kPrefixUnits;
  DWORD length = GetModuleFileNameW(nullptr, given, room);
  if (length >= room) length = 0;  // cut short: no path to open
  given[length] = 0;
  path = given;

  // Long paths open only in the "\\?\" form; a path already in a "\\?\" or
  // "\\.\" form is taken as it is.
  const wchar_t* openName = given;
  bool prefixed = given[0] == L'\\' && given[1] == L'\\' && (given[2] == L'?' || given[2] == L'.');
  if (length >= MAX_PATH && !prefixed) {
    if (given[0] == L'\\' && given[1] == L'\\') {  // \\server\share\...
      openName = PutBefore(given + 1, L"\\\\?\\UNC");
    } else {
      openName = PutBefore(given, L"\\\\?\\");
    }
  }
  HANDLE h = CreateFileW(openName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<FileHandle>(h);
}

void RestrictDllSearchToSystem() {
  // Takes the current directory out of the search on every system.
  SetDllDirectoryW(L"");
  // Takes the program's own folder out as well, where the system has the
  // call (Windows 8 on, and Windows 7 with its update); looked up, since
  // importing it would stop the program from starting on systems without it.
  using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
  FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  if (found != nullptr) {
    auto call = reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void (*)()>(found));
    call(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

}  // namespace lzh
