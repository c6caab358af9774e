#include "ui/file_exist_dialog.h"

#include "extract/paths.h"
#include "platform/win32_text.h"
#include "resource_ids.h"
#include "ui/dialog_helpers.h"

namespace lzh {
namespace {

constexpr char kQuestionTail[] = "...already exists, overwrite?";

void OnInitDialog(HWND dialog, const DialogContext& context) {
  CenterOnScreen(dialog);
  // The dots follow the file name directly: "a.txt...already exists".
  char question[kFileNameMax + sizeof kQuestionTail];
  CopyText(question, sizeof question, context.existingFileName);
  AppendText(question, sizeof question, kQuestionTail);
  wchar_t shown[sizeof question];
  Utf8ToWide(question, shown, sizeof question);
  SetDlgItemTextW(dialog, IDC_QUESTION, shown);
}

constexpr int kPolicyButtons[] = {IDC_POLICY_CONFIRM, IDC_POLICY_OVERWRITE, IDC_POLICY_SKIP};

// Makes policyButton the only ticked one of the main dialog's policy
// buttons. The user may have clicked another one while the question showed,
// so both others are unticked, not only "&Confirm before overwriting".
void TickPolicyButton(HWND mainDialog, int policyButton) {
  for (int button : kPolicyButtons) {
    WPARAM state = button == policyButton ? BST_CHECKED : BST_UNCHECKED;
    SendDlgItemMessageW(mainDialog, button, BM_SETCHECK, state, 0);
  }
}

// Yes (IDOK) or No (IDCANCEL, also Escape and the close box).
void OnAnswer(HWND dialog, DialogContext& context, int id) {
  bool yes = id == IDOK;
  if (SendDlgItemMessageW(dialog, IDC_DONT_ASK_AGAIN, BM_GETCHECK, 0, 0) == BST_CHECKED) {
    TickPolicyButton(context.mainDialog, yes ? IDC_POLICY_OVERWRITE : IDC_POLICY_SKIP);
    context.overwritePolicy = yes ? Overwrite : Skip;
    context.overwriteAnswer = yes ? 1 : 0;
  } else if (context.overwritePolicy != Overwrite) {
    context.overwriteAnswer = yes ? 1 : 0;
  }
  // Under Overwrite, chosen in the main dialog while the question showed,
  // the answer recorded last stays in force.
  EndDialog(dialog, id);
}

}  // namespace

INT_PTR CALLBACK FileExistProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      KeepDialogContext(dialog, lParam);
      OnInitDialog(dialog, *ContextOf(dialog));
      return FALSE;  // the dialog manager places the focus
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (id != IDOK && id != IDCANCEL) return FALSE;
      OnAnswer(dialog, *ContextOf(dialog), id);
      return TRUE;
    }
  }
  return FALSE;
}

void AskAboutExistingFile(DialogContext& context) {
  // No owner: the main dialog stays enabled, and its policy buttons act
  // while the question shows.
  ShowModalDialog(GetModuleHandleW(nullptr), L"FileExist", nullptr, FileExistProc,
                  reinterpret_cast<LPARAM>(&context));
}

}  // namespace lzh
