// The walk's dialog for the command-line tool: the member list in archive
// order, the choices given on the command line, the overwrite question
// handed to a callback, and each member's outcome handed to another. Boxes
// and status texts are the stub's and are not shown: the outcomes tell the
// tool everything.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "extract/walk_dialog.h"

namespace lzhcli {

class ConsoleDialog final : public lzh::WalkDialog {
 public:
  struct Entry {
    std::string name;
    bool selected = false;
    bool visited = false;  // the extracting walk looked its member up
  };

  std::vector<Entry> entries;  // in archive order
  int current = -1;            // the entry the walk looked up last
  bool storedPaths = true;
  std::uint8_t policy = lzh::Overwrite;
  std::uint8_t answer = 0;  // OverwriteAnswer: 0 (skip) before any question
  // Asked under Confirm: sets the answer and may change the policy.
  std::function<void(ConsoleDialog& dialog, const std::string& fileName)> onQuestion;
  std::function<void(const lzh::MemberOutcome& outcome)> onOutcome;

  void SelectAll();
  // Selects the entries that match one of patterns (see WildcardMatch), or
  // all when there is none. Returns the patterns that matched nothing.
  std::vector<std::string> SelectMatching(const std::vector<std::string>& patterns);
  // Entries the extracting walk never reached (it stopped before them).
  std::vector<std::string> Unreached() const;

  void ResetList() override { entries.clear(); }
  void AddEntry(const char* name) override { entries.push_back(Entry{name}); }
  int FindEntry(int after, const char* name) override;
  int IsSelected(int index) override;
  void Deselect(int index) override;
  int EntryCount() override { return static_cast<int>(entries.size()); }
  int SelectedCount() override;
  bool StoredPathsTicked() override { return storedPaths; }
  void TurnOffStoredPaths() override { storedPaths = false; }
  void SetStatus(const char*) override {}
  void ShowMessage(const char*, const char*) override {}
  void PumpOneMessage() override {}
  std::uint8_t OverwritePolicy() override { return policy; }
  void AskOverwrite(const char* existingFileName) override;
  std::uint8_t OverwriteAnswer() override { return answer; }
  void MemberFinished(const lzh::MemberOutcome& outcome) override;
};

}  // namespace lzhcli
