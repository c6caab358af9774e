// The program's own file and the DLL search, through the wide Win32 calls.
#include <windows.h>

#include "platform/long_path.h"
#include "platform/own_executable.h"

namespace lzh {

FileHandle OpenOwnExecutable(HeapArray<wchar_t>& buffer, const wchar_t*& path) {
  wchar_t* given = buffer.Get();
  DWORD length = GetModuleFileNameW(nullptr, given, kOwnPathMaxUnits + 1);
  if (length > kOwnPathMaxUnits) length = 0;  // cut short: no path to open
  given[length] = 0;
  path = given;
  const wchar_t* openName = OpenableName(given, length, given + kOwnPathMaxUnits + 1);
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
