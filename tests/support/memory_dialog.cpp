#include "support/memory_dialog.h"

namespace lzhtest {

namespace {
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

int CompareNoCase(const std::string& a, const std::string& b) {
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(Lower(a[i])), y = static_cast<unsigned char>(Lower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void MemoryDialog::SelectAll(bool selected) {
  for (auto& entry : entries) entry.selected = selected;
}

void MemoryDialog::ResetList() { entries.clear(); }

void MemoryDialog::AddEntry(const char* name) {
  std::string text = name;
  auto at = entries.begin();
  while (at != entries.end() && CompareNoCase(at->name, text) <= 0) ++at;
  entries.insert(at, Entry{text, false});
}

int MemoryDialog::FindEntry(int after, const char* name) {
  int count = static_cast<int>(entries.size());
  if (count == 0) return -1;
  int start = after < 0 || after >= count ? 0 : after + 1;
  for (int k = 0; k < count; ++k) {
    int i = (start + k) % count;
    if (CompareNoCase(entries[static_cast<std::size_t>(i)].name, name) == 0) return i;
  }
  return -1;
}

int MemoryDialog::IsSelected(int index) {
  if (index < 0 || index >= static_cast<int>(entries.size())) return -1;
  return entries[static_cast<std::size_t>(index)].selected ? 1 : 0;
}

void MemoryDialog::Deselect(int index) {
  if (index == -1) {
    SelectAll(false);
  } else if (index >= 0 && index < static_cast<int>(entries.size())) {
    entries[static_cast<std::size_t>(index)].selected = false;
  }
}

int MemoryDialog::EntryCount() { return static_cast<int>(entries.size()); }

int MemoryDialog::SelectedCount() {
  int n = 0;
  for (const auto& entry : entries) n += entry.selected ? 1 : 0;
  return n;
}

bool MemoryDialog::StoredPathsTicked() { return storedPathsTicked; }

void MemoryDialog::TurnOffStoredPaths() {
  storedPathsTicked = false;
  storedPathsEnabled = false;
}

void MemoryDialog::SetStatus(const char* text) { status = text; }

void MemoryDialog::ShowMessage(const char* text, const char* caption) {
  messages.push_back(std::string(caption) + ": " + text);
}

void MemoryDialog::PumpOneMessage() { ++pumps; }

std::uint8_t MemoryDialog::OverwritePolicy() { return policy; }

void MemoryDialog::AskOverwrite(const char* existingFileName) {
  if (onQuestion) onQuestion(*this, existingFileName);
}

std::uint8_t MemoryDialog::OverwriteAnswer() { return answer; }

void MemoryDialog::MemberFinished(const lzh::MemberOutcome& outcome) {
  outcomes.push_back(Outcome{outcome, outcome.storedName, outcome.outputPath});
}

std::vector<lzh::OutcomeKind> MemoryDialog::Kinds() const {
  std::vector<lzh::OutcomeKind> kinds;
  for (const auto& outcome : outcomes) kinds.push_back(outcome.what.kind);
  return kinds;
}

}  // namespace lzhtest
