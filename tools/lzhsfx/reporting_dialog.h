// The in-memory dialog with a report per extracted member. A member's fate
// is known once the walk moves on: it passed when its entry was deselected
// after its "Extracting: " status and before the next member's lookup.
#pragma once

#include <functional>
#include <string>

#include "memory_dialog.h"

namespace lzhcli {

class ReportingDialog : public MemoryDialog {
 public:
  // outputPath as shown after "Extracting: ".
  std::function<void(const std::string& outputPath, bool passed)> onMember;

  int FindEntry(int after, const char* name) override {
    Flush();
    return MemoryDialog::FindEntry(after, name);
  }
  void Deselect(int index) override {
    MemoryDialog::Deselect(index);
    if (!current_.empty()) passed_ = true;
  }
  int SelectedCount() override {
    Flush();
    return MemoryDialog::SelectedCount();
  }
  void SetStatus(const char* text) override {
    static const std::string kExtracting = "Extracting: ";
    std::string status = text;
    if (status.compare(0, kExtracting.size(), kExtracting) == 0) {
      Flush();
      current_ = status.substr(kExtracting.size());
      passed_ = false;
    }
    MemoryDialog::SetStatus(text);
  }
  void ShowMessage(const char* text, const char* caption) override {
    Flush();
    MemoryDialog::ShowMessage(text, caption);
  }
  void Flush() {
    if (current_.empty()) return;
    if (onMember) onMember(current_, passed_);
    current_.clear();
  }

 private:
  std::string current_;
  bool passed_ = false;
};

}  // namespace lzhcli
