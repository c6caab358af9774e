// The walk's dialog held in memory for the tests, with the list box's own
// rules: entries sorted without regard to case, the exact-match search
// starting after a given entry and wrapping, and -1 addressing every entry.
// Keeps every outcome the walk reports.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "extract/walk_dialog.h"

namespace lzhtest {

class MemoryDialog : public lzh::WalkDialog {
 public:
  struct Entry {
    std::string name;
    bool selected = false;
  };

  // A reported outcome, its texts copied.
  struct Outcome {
    lzh::MemberOutcome what;
    std::string storedName, outputPath;
  };

  // State the tests set and read.
  std::vector<Entry> entries;
  bool storedPathsTicked = true;
  bool storedPathsEnabled = true;
  std::string status;
  std::uint8_t policy = lzh::Confirm;
  std::uint8_t answer = 0;  // OverwriteAnswer: 0 before any question
  // Called for every question; it sets the answer and may change the
  // policy, as the confirmation dialog does.
  std::function<void(MemoryDialog& dialog, const std::string& fileName)> onQuestion;
  std::vector<std::string> messages;  // "caption: text" of every box shown
  std::vector<Outcome> outcomes;      // in the order the walk finished the members
  int pumps = 0;

  void SelectAll(bool selected);

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
  void AskOverwrite(const char* existingFileName) override;
  std::uint8_t OverwriteAnswer() override;
  void MemberFinished(const lzh::MemberOutcome& outcome) override;

  // The kinds reported so far, in order.
  std::vector<lzh::OutcomeKind> Kinds() const;
};

// Case-insensitive comparison of the list box (ASCII letters fold).
int CompareNoCase(const std::string& a, const std::string& b);

}  // namespace lzhtest
