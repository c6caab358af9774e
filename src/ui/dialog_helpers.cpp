#include "ui/dialog_helpers.h"

namespace lzh {

INT_PTR ShowModalDialog(HINSTANCE module, const wchar_t* templateName, HWND owner,
                        DLGPROC procedure, LPARAM initParam) {
  return DialogBoxParamW(module, templateName, owner, procedure, initParam);
}

void CenterOnScreen(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  // Signed division truncates toward zero, so an oversized window is
  // centred to within one pixel.
  int x = (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void PumpOneMessage() {
  MSG message;
  if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace lzh
