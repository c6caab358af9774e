// The walk's view when nobody is at the screen (/S): every member is
// selected, stored paths are used, existing files are skipped or
// overwritten as the switches say, and nothing is shown. What became of the
// members is kept for the exit code.
#pragma once

#include "extract/walk_dialog.h"

namespace lzh {

// The exit codes of a silent run, and of /? and a bad switch.
inline constexpr int kAllExtracted = 0;  // also /? and /H
inline constexpr int kSomeNotExtracted = 1;
inline constexpr int kBadArchiveOrSwitch = 2;

class SilentWalkDialog final : public WalkDialog {
 public:
  explicit SilentWalkDialog(std::uint8_t policy) : policy_(policy) {}

  void ResetList() override {}
  void AddEntry(const char*) override {}
  int FindEntry(int, const char*) override { return 0; }
  int IsSelected(int) override { return 1; }
  void Deselect(int) override {}
  // Only the dialog's list mode and status line read these.
  int EntryCount() override { return 0; }
  int SelectedCount() override { return 0; }
  bool StoredPathsTicked() override { return true; }
  void TurnOffStoredPaths() override {}
  void SetStatus(const char*) override {}
  // Each box the dialog would show tells of something that went wrong.
  void ShowMessage(const char*, const char*) override { ++notExtracted_; }
  void PumpOneMessage() override {}
  std::uint8_t OverwritePolicy() override { return policy_; }
  void AskOverwrite(const char*) override {}
  std::uint8_t OverwriteAnswer() override { return 0; }
  void MemberFinished(const MemberOutcome& outcome) override;

  // After an extracting walk: no member at all means the archive is bad.
  int ExitCode() const;

 private:
  std::uint8_t policy_;
  int finished_ = 0;
  int notExtracted_ = 0;
};

}  // namespace lzh
