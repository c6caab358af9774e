// The walk's view of the main dialog, on its real controls.
#pragma once

#include <windows.h>

#include "extract/walk_dialog.h"
#include "ui/dialog_context.h"

namespace lzh {

class Win32WalkDialog final : public WalkDialog {
 public:
  Win32WalkDialog(HWND dialog, DialogContext& context) : dialog_(dialog), context_(context) {}

  void ResetList() override;
  void AddEntry(const char* name) override;
  int FindEntry(int after, const char* name) override;
  int IsSelected(int index) override;
  void Deselect(int index) override;
  int EntryCount() override;
  int SelectedCount() override;
  bool StoredPathsTicked() override;
  void TurnOffStoredPaths() override;
  void SetStatus(const char* text) override;
  void ShowMessage(const char* text, const char* caption) override;
  void PumpOneMessage() override;
  std::uint8_t OverwritePolicy() override;
  void AskOverwrite(const char* fileName) override;
  std::uint8_t OverwriteAnswer() override;
  // The dialog shows what became of members through the list's selection
  // and the walk's boxes; the counts decide whether the maker's command runs.
  void MemberFinished(const MemberOutcome& outcome) override;

  // True once a walk has unticked and disabled "Use S&tored Paths".
  bool StoredPathsTurnedOff() const { return storedPathsTurnedOff_; }

 private:
  LRESULT ToList(UINT message, WPARAM wParam, LPARAM lParam);

  HWND dialog_;
  DialogContext& context_;
  bool storedPathsTurnedOff_ = false;
};

}  // namespace lzh
