// Small operations the dialogs and the walk share on Win32. The dialogs are
// Unicode windows: their texts are UTF-8 in the program and UTF-16 at the
// system's calls, so that names in any script show whatever the system's
// ANSI code page.
#pragma once

#include <windows.h>

namespace lzh {

// Runs the dialog made from the named template, with initParam as the
// lParam of its WM_INITDIALOG, and returns the value its procedure passed to
// EndDialog (-1 when the dialog could not be created).
INT_PTR ShowModalDialog(HINSTANCE module, const wchar_t* templateName, HWND owner,
                        DLGPROC procedure, LPARAM initParam);

// Centres window on the whole screen (not the work area), keeping its size
// and Z order. A window larger than the screen sticks out on both sides.
void CenterOnScreen(HWND window);

// Takes at most one waiting message of the thread out of the queue and
// dispatches it; never waits. The dialogs may be entered from inside it.
void PumpOneMessage();

}  // namespace lzh
