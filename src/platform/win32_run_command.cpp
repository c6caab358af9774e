#include <windows.h>

#include "platform/run_command.h"
#include "platform/win32_text.h"

namespace lzh {

bool RunInFolder(wchar_t* command, const char* folder, bool wait, std::uint32_t& exitCode) {
  wchar_t directory[kWidePathUnits];
  wchar_t application[2 * kWidePathUnits];  // the folder and the first word
  if (!Utf8ToWide(folder, directory, kWidePathUnits)) return false;
  int length = 0;
  for (; directory[length] != 0; ++length) application[length] = directory[length];
  if (application[length - 1] != L'\\') application[length++] = L'\\';  // never empty
  // The first word, without its quotes, after the folder.
  const wchar_t* p = command;
  wchar_t end = *p == L'"' ? *p++ : L' ';
  for (; *p != 0 && *p != end; ++p) application[length++] = *p;
  application[length] = 0;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessW(application, command, nullptr, nullptr, FALSE, 0, nullptr, directory,
                      &startup, &process))
    return false;
  DWORD code = 0;
  if (wait) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
  }
  exitCode = code;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace lzh
