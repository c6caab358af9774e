// A DLL planted beside a program under the name of a system DLL
// (version.dll, uxtheme.dll), as an attacker would leave it in a download
// folder. Loading it leaves a marker file beside it, named after it with
// ".loaded" added, so a test can tell whether any process loaded it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t marker[MAX_PATH + 16];
  DWORD length = GetModuleFileNameW(module, marker, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  lstrcatW(marker, L".loaded");
  HANDLE file =
      CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}
