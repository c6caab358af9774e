#include "ui/main_dialog.h"

#include "platform/run_command.h"
#include "platform/win32_text.h"
#include "resource_ids.h"
#include "ui/dialog_context.h"
#include "ui/dialog_helpers.h"
#include "ui/win32_walk_dialog.h"

namespace lzh {

namespace {

constexpr int kPathChars = 255;  // characters of the path edit that count
constexpr int kSelectAllEntries = -1;

// The walk is not re-entrant, and it reads "Use S&tored Paths" for every
// member. Its own message pump and boxes let commands through, so Extract
// and the check box are disabled while it runs, and their commands are
// refused as well (context.walkRunning): Enter reaches Extract through the
// dialog manager even when the button is disabled.
void Walk(HWND dialog, DialogContext& context, WalkMode mode) {
  HWND extract = GetDlgItem(dialog, IDOK);
  HWND storedPaths = GetDlgItem(dialog, IDC_STORED_PATHS);
  bool storedPathsEnabled = IsWindowEnabled(storedPaths) != FALSE;
  // A disabled check box still toggles on BM_CLICK sent by another program;
  // the state the walk started with is put back, so that the box goes on
  // matching the list.
  LRESULT storedPathsState = SendMessageW(storedPaths, BM_GETCHECK, 0, 0);
  EnableWindow(extract, FALSE);
  EnableWindow(storedPaths, FALSE);
  context.walkRunning = true;

  Win32WalkDialog walkDialog(dialog, context);
  WalkArchive(context.session, walkDialog, mode);

  context.walkRunning = false;
  EnableWindow(extract, TRUE);
  if (walkDialog.StoredPathsTurnedOff()) return;
  SendMessageW(storedPaths, BM_SETCHECK, static_cast<WPARAM>(storedPathsState), 0);
  if (storedPathsEnabled) EnableWindow(storedPaths, TRUE);
}

void SelectAllEntries(HWND dialog, BOOL selected) {
  SendDlgItemMessageW(dialog, IDC_MEMBER_LIST, LB_SETSEL, selected, kSelectAllEntries);
}

void Check(HWND dialog, int id) { SendDlgItemMessageW(dialog, id, BM_SETCHECK, BST_CHECKED, 0); }

bool IsChecked(HWND dialog, int id) {
  return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Shows the current directory in the path edit and keeps it as extractPath.
// One of 256 characters or more does not fit: "." names it then.
void UseCurrentDirectory(HWND dialog, DialogContext& context) {
  wchar_t path[kPathChars + 1];
  DWORD length = GetCurrentDirectoryW(kPathChars + 1, path);
  if (length - 1 >= static_cast<DWORD>(kPathChars)) lstrcpyW(path, L".");  // 0, or 256 and more
  WideToUtf8(path, context.session.extractPath, sizeof context.session.extractPath);
  SetDlgItemTextW(dialog, IDC_PATH_EDIT, path);
}

void OnInitDialog(HWND dialog, DialogContext& context) {
  CenterOnScreen(dialog);
  if (context.title[0] != 0)
    SendMessageW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(context.title));
  if (context.run[0] != 0) {
    wchar_t line[kWidePathUnits];
    lstrcpyW(line, L"Runs after extraction: ");
    lstrcpyW(line + 23, context.run);
    SetDlgItemTextW(dialog, IDC_STATUS_LINE, line);
  }
  HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MainIcon");
#ifdef _WIN64
  SetClassLongPtrW(dialog, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
#else
  SetClassLongW(dialog, GCL_HICON, reinterpret_cast<LONG>(icon));
#endif
  SetFocus(GetDlgItem(dialog, IDC_PATH_EDIT));
  // Extract reads the folder from the edit, so /D='s needs no copy elsewhere.
  if (context.initialPath[0] == 0) {
    UseCurrentDirectory(dialog, context);
  } else {
    SetDlgItemTextW(dialog, IDC_PATH_EDIT, context.initialPath);
  }
  SendDlgItemMessageW(dialog, IDC_PATH_EDIT, EM_SETSEL, 0, 32767);
  Check(dialog, IDC_SELECT_ALL);
  Check(dialog, IDC_POLICY_CONFIRM);
  context.overwritePolicy = Confirm;
  Check(dialog, IDC_STORED_PATHS);
  Walk(dialog, context, WalkMode::List);
  SelectAllEntries(dialog, TRUE);
  context.mainDialog = dialog;
}

void OnExtract(HWND dialog, DialogContext& context) {
  if (context.walkRunning) return;
  wchar_t path[kPathChars + 1];
  int copied = GetDlgItemTextW(dialog, IDC_PATH_EDIT, path, kPathChars + 1);
  path[copied] = 0;
  WideToUtf8(path, context.session.extractPath, sizeof context.session.extractPath);
  if (copied == 0) UseCurrentDirectory(dialog, context);
  context.extracted = 0;
  context.shortfall = false;
  Walk(dialog, context, WalkMode::Extract);
  // The maker's command follows only an extraction in which every selected
  // member was extracted; then the dialog has done its work.
  // (A member not reached was stopped at with a box.)
  if (context.run[0] == 0 || context.extracted == 0 || context.shortfall) return;
  std::uint32_t code;
  if (RunInFolder(context.run, context.session.extractPath, false, code)) {
    EndDialog(dialog, IDOK);
  } else {
    MessageBoxW(nullptr, context.run, L"Couldn't open...", 0);
  }
}

void OnStoredPathsClicked(HWND dialog, DialogContext& context) {
  if (context.walkRunning) return;
  Walk(dialog, context, WalkMode::List);
  if (IsChecked(dialog, IDC_SELECT_ALL)) SelectAllEntries(dialog, TRUE);
}

// Returns TRUE only for the command that ends the dialog.
INT_PTR OnCommand(HWND dialog, DialogContext& context, int id) {
  switch (id) {
    case IDOK:
      OnExtract(dialog, context);
      break;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    case IDC_SELECT_ALL:
      SelectAllEntries(dialog, TRUE);
      break;
    case IDC_UNSELECT_ALL:
      SelectAllEntries(dialog, FALSE);
      break;
    case IDC_STORED_PATHS:
      OnStoredPathsClicked(dialog, context);
      break;
    case IDC_POLICY_OVERWRITE:
      context.overwritePolicy = Overwrite;
      break;
    case IDC_POLICY_SKIP:
      context.overwritePolicy = Skip;
      break;
    case IDC_POLICY_CONFIRM:
      context.overwritePolicy = Confirm;
      break;
  }
  return FALSE;
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      KeepDialogContext(dialog, lParam);
      OnInitDialog(dialog, *ContextOf(dialog));
      return FALSE;  // the focus stays on the path edit
    case WM_COMMAND: {
      DialogContext* context = ContextOf(dialog);
      return context != nullptr ? OnCommand(dialog, *context, LOWORD(wParam)) : FALSE;
    }
  }
  return FALSE;
}

void RunMainDialog(HINSTANCE module, WalkSession& session, const DialogStart& start) {
  DialogContext context(session);
  context.initialPath = start.initialPath;
  context.title = start.title;
  context.run = start.run;
  ShowModalDialog(module, L"MainDialog", nullptr, MainDialogProc,
                  reinterpret_cast<LPARAM>(&context));
}

}  // namespace lzh
