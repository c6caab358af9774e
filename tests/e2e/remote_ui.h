// Reaching into another process's dialogs with window messages, as a user
// would: finding its windows, reading texts and states, clicking, typing.
// Texts cross the process boundary only through the wide message forms.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wine_e2e {

// Waits up to timeoutMs for ready() to hold, letting time pass in small
// steps. Returns whether it held.
template <typename Ready>
bool WaitFor(Ready ready, DWORD timeoutMs = 20000) {
  DWORD start = GetTickCount();
  for (;;) {
    if (ready()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
}

std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

// A started program, ended by force if a test leaves it running.
class Program {
 public:
  Program() = default;
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // arguments follow the quoted path on the command line.
  bool Start(const std::string& path, const std::string& currentDirectory,
             const std::string& arguments = "");
  bool Start(const std::wstring& path, const std::wstring& currentDirectory,
             const std::wstring& arguments = L"");
  // Starts a program through Wine's loader by its Unix path, as a shell
  // would (Wine's CreateProcess takes no path of MAX_PATH characters or
  // more). The process is the one whose dialog shows next, so no other
  // program of the test may show one meanwhile.
  bool StartByUnixPath(const std::string& unixPath);
  // Waits for the process to end; false on timeout. exitCode is set when it ended.
  bool WaitForExit(DWORD& exitCode, DWORD timeoutMs = 20000);
  DWORD Id() const { return info_.dwProcessId; }
  bool Running() const;

 private:
  PROCESS_INFORMATION info_ = {};
};

// The visible top-level dialog of process (0: any) with this caption, or null.
HWND FindDialog(DWORD processId, const std::wstring& caption);
// Any visible top-level dialog of the process (0: any) other than except.
HWND FindOtherDialog(DWORD processId, HWND except);
// How many visible top-level dialogs the process shows.
int CountDialogs(DWORD processId);

std::wstring TextOf(HWND window);
std::wstring ControlText(HWND dialog, int id);
// The message text of a message box: its non-empty static texts.
std::wstring MessageBoxText(HWND box);

bool IsChecked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
HWND FocusOf(HWND window);

std::vector<std::wstring> ListEntries(HWND list);
std::vector<bool> ListSelection(HWND list);
int SelectedCount(HWND list);

// Posted, so that the caller never waits on a dialog that shows a box.
void Click(HWND dialog, int id);
void PressKey(HWND window, UINT virtualKey);
void SetControlText(HWND dialog, int id, const std::wstring& text);
void Close(HWND window);

}  // namespace wine_e2e
