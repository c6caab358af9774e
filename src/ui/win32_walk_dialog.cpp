#include "ui/win32_walk_dialog.h"

#include "platform/win32_text.h"
#include "resource_ids.h"
#include "ui/dialog_helpers.h"
#include "ui/file_exist_dialog.h"

namespace lzh {

namespace {

// A text of the walk (UTF-8) as the wide calls take it.
struct Wide {
  explicit Wide(const char* utf8) { Utf8ToWide(utf8, text, kWidePathUnits); }
  wchar_t text[kWidePathUnits];
};

}  // namespace

LRESULT Win32WalkDialog::ToList(UINT message, WPARAM wParam, LPARAM lParam) {
  return SendDlgItemMessageW(dialog_, IDC_MEMBER_LIST, message, wParam, lParam);
}

void Win32WalkDialog::ResetList() { ToList(LB_RESETCONTENT, 0, 0); }

void Win32WalkDialog::AddEntry(const char* name) {
  ToList(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).text));
}

int Win32WalkDialog::FindEntry(int after, const char* name) {
  // wParam -1 (as all ones) searches the whole list from the top.
  return static_cast<int>(ToList(LB_FINDSTRINGEXACT, static_cast<WPARAM>(after),
                                 reinterpret_cast<LPARAM>(Wide(name).text)));
}

int Win32WalkDialog::IsSelected(int index) {
  return static_cast<int>(ToList(LB_GETSEL, static_cast<WPARAM>(index), 0));
}

void Win32WalkDialog::Deselect(int index) { ToList(LB_SETSEL, FALSE, index); }

int Win32WalkDialog::EntryCount() { return static_cast<int>(ToList(LB_GETCOUNT, 0, 0)); }

int Win32WalkDialog::SelectedCount() { return static_cast<int>(ToList(LB_GETSELCOUNT, 0, 0)); }

bool Win32WalkDialog::StoredPathsTicked() {
  return SendDlgItemMessageW(dialog_, IDC_STORED_PATHS, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32WalkDialog::TurnOffStoredPaths() {
  SendDlgItemMessageW(dialog_, IDC_STORED_PATHS, BM_SETCHECK, BST_UNCHECKED, 0);
  EnableWindow(GetDlgItem(dialog_, IDC_STORED_PATHS), FALSE);
  storedPathsTurnedOff_ = true;
}

void Win32WalkDialog::SetStatus(const char* text) {
  SetDlgItemTextW(dialog_, IDC_STATUS_LINE, Wide(text).text);
}

void Win32WalkDialog::ShowMessage(const char* text, const char* caption) {
  context_.shortfall = true;
  // No owner: the main dialog stays enabled while the box shows.
  MessageBoxW(nullptr, Wide(text).text, Wide(caption).text, 0);
}

void Win32WalkDialog::PumpOneMessage() { lzh::PumpOneMessage(); }

std::uint8_t Win32WalkDialog::OverwritePolicy() { return context_.overwritePolicy; }

void Win32WalkDialog::AskOverwrite(const char* fileName) {
  CopyText(context_.existingFileName, sizeof context_.existingFileName, fileName);
  AskAboutExistingFile(context_);
}

void Win32WalkDialog::MemberFinished(const MemberOutcome& outcome) {
  // A directory entry passed over while stored paths are off was never
  // listed, so never selected.
  if (outcome.kind == OutcomeKind::Extracted) {
    ++context_.extracted;
  } else if (outcome.passReason != PassReason::DirectoryEntry) {
    context_.shortfall = true;
  }
}

std::uint8_t Win32WalkDialog::OverwriteAnswer() { return context_.overwriteAnswer; }

}  // namespace lzh
