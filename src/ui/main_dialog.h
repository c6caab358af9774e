// The main dialog: the member list, the extraction directory, the choices of
// stored paths and overwrite policy, and Extract.
#pragma once

#include <windows.h>

#include "extract/walk.h"

namespace lzh {

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the main dialog over session until the user leaves it. The path
// edit starts with initialPath (from /D=), or the current directory when
// it is empty.
void RunMainDialog(HINSTANCE module, WalkSession& session, const wchar_t* initialPath);

}  // namespace lzh
