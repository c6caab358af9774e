// The walk's view of the main dialog, on its real controls.
#pragma once

#include <windows.h>

#include "extract/walk_dialog.h"

namespace lzh {

class Win32WalkDialog final : public WalkDialog {
 public:
  explicit Win32WalkDialog(HWND dialog) : dialog_(dialog) {}

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

  // True once a walk has unticked and disabled "Use S&tored Paths".
  bool StoredPathsTurnedOff() const { return storedPathsTurnedOff_; }

 private:
  LRESULT ToList(UINT message, WPARAM wParam, LPARAM lParam);

  HWND dialog_;
  bool storedPathsTurnedOff_ = false;
};

}  // namespace lzh
