// What the Windows program's two dialogs share. The program body makes one
// and hands it to the main dialog through the dialog's init parameter; the
// main dialog hands it on to the walk's view of it and to the overwrite
// question the same way. Each dialog keeps it in its DWLP_USER slot.
#pragma once

#include <windows.h>

#include <cstdint>

#include "extract/paths.h"
#include "extract/walk.h"

namespace lzh {

struct DialogContext {
  explicit DialogContext(WalkSession& walkSession) : session(walkSession) {}

  WalkSession& session;  // the walk's state; extractPath is written here
  HWND mainDialog = nullptr;
  std::uint8_t overwritePolicy = Confirm;  // an OverwritePolicyValue
  // The last answer to the overwrite question: 0 skip, other values overwrite.
  std::uint8_t overwriteAnswer = 0;
  char existingFileName[kFileNameMax + 1] = {};  // what the question names (UTF-8)
  bool walkRunning = false;
  const wchar_t* initialPath = L"";  // /D='s folder; empty: the current directory
  const wchar_t* title = L"";        // the maker's caption; empty: the template's
  wchar_t* run = nullptr;            // run after a full extraction; empty: nothing
  // Of the last extraction: members extracted, and whether any member or
  // box told of anything else.
  int extracted = 0;
  bool shortfall = false;
};

// Keeps the context given at WM_INITDIALOG (its lParam) with the dialog.
inline void KeepDialogContext(HWND dialog, LPARAM initParam) {
  SetWindowLongPtrW(dialog, DWLP_USER, initParam);
}

// The context kept with the dialog, or nullptr before WM_INITDIALOG.
inline DialogContext* ContextOf(HWND dialog) {
  return reinterpret_cast<DialogContext*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

}  // namespace lzh
