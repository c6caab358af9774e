// One started program and its main dialog, and what the tests read off a
// dialog's controls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "remote_ui.h"

namespace wine_e2e {

inline const std::wstring kMainCaption = L"LZH Self-Extracting Archive";
inline const std::wstring kSuccess =
    L"CRC validation passed on all file( s )... extraction successful";
inline const std::wstring kFailure = L"The remaining hilited file( s ) failed CRC validation";

struct Session {
  Program program;
  HWND dialog = nullptr;
  HWND list = nullptr;

  // Starts exe and waits for its main dialog.
  bool Start(const std::string& exe, const std::string& currentDirectory);
  bool Start(const std::wstring& exe, const std::wstring& currentDirectory);
  bool StartByUnixPath(const std::string& unixPath);
  // Waits for a box beside the main dialog; returns it or null.
  HWND WaitForBox(DWORD timeoutMs = 20000);
  // Leaves with Exit and checks that the program ends with code 0.
  void Exit();
  void ExpectEnds();
  bool WaitForStatus(const std::wstring& text);
  // The status line, and the box the walk waits on, if any.
  std::string Verdict();

 private:
  bool FindMainDialog();
};

std::string Quote(const std::wstring& text);
// The names in the list's order: sorted without regard to case.
std::vector<std::wstring> SortedNames(std::vector<std::wstring> names);
std::string Join(const std::vector<std::wstring>& names);
bool AllSelected(HWND list);
// The three policy buttons as "C O S" with the ticked ones in upper case.
std::string PolicyTicks(HWND dialog);

// Waits for the box with caption "Couldn't open..." and the given text,
// and dismisses it.
void ExpectCouldNotOpen(Session& s, const std::string& path);

}  // namespace wine_e2e
