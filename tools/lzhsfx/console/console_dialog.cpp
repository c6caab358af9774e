#include "console/console_dialog.h"

#include "session/wildcard.h"

namespace lzhcli {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Equal without regard to case, as the list box compares.
bool SameName(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return i == a.size() && b[i] == 0;
}

}  // namespace

void ConsoleDialog::SelectAll() {
  for (auto& entry : entries) entry.selected = true;
}

std::vector<std::string> ConsoleDialog::SelectMatching(const std::vector<std::string>& patterns) {
  if (patterns.empty()) SelectAll();
  std::vector<std::string> unmatched;
  for (const auto& pattern : patterns) {
    bool matched = false;
    for (auto& entry : entries) {
      if (WildcardMatch(pattern, entry.name)) entry.selected = matched = true;
    }
    if (!matched) unmatched.push_back(pattern);
  }
  return unmatched;
}

std::vector<std::string> ConsoleDialog::Unreached() const {
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    if (entry.selected && !entry.visited) names.push_back(entry.name);
  }
  return names;
}

// In archive order, the first equal entry after the last one found is the
// member's own.
int ConsoleDialog::FindEntry(int after, const char* name) {
  int count = EntryCount();
  int start = after < 0 || after >= count ? 0 : after + 1;
  for (int k = 0; k < count; ++k) {
    int i = (start + k) % count;
    Entry& entry = entries[static_cast<std::size_t>(i)];
    if (SameName(entry.name, name)) {
      entry.visited = true;
      current = i;
      return i;
    }
  }
  current = -1;
  return -1;
}

int ConsoleDialog::IsSelected(int index) {
  if (index < 0 || index >= EntryCount()) return -1;
  return entries[static_cast<std::size_t>(index)].selected ? 1 : 0;
}

void ConsoleDialog::Deselect(int index) {
  if (index >= 0 && index < EntryCount()) entries[static_cast<std::size_t>(index)].selected = false;
}

int ConsoleDialog::SelectedCount() {
  int n = 0;
  for (const auto& entry : entries) n += entry.selected ? 1 : 0;
  return n;
}

void ConsoleDialog::AskOverwrite(const char* existingFileName) {
  if (onQuestion) onQuestion(*this, existingFileName);
}

void ConsoleDialog::MemberFinished(const lzh::MemberOutcome& outcome) {
  if (onOutcome) onOutcome(outcome);
}

}  // namespace lzhcli
