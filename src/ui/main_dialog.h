// The main dialog: the member list, the extraction directory, the choices of
// stored paths and overwrite policy, and Extract.
#pragma once

#include <windows.h>

#include "extract/walk.h"

namespace lzh {

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What the dialog starts with besides the archive: the path edit's folder
// (from /D= or the maker; empty: the current directory), and the maker's
// caption and command (empty: none).
struct DialogStart {
  const wchar_t* initialPath;
  const wchar_t* title;
  wchar_t* run;
};

// Runs the main dialog over session until the user leaves it.
void RunMainDialog(HINSTANCE module, WalkSession& session, const DialogStart& start);

}  // namespace lzh
