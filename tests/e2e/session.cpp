#include "session.h"

#include "resource_ids.h"
#include "wine_test.h"

namespace wine_e2e {

bool Session::Start(const std::string& exe, const std::string& currentDirectory) {
  return Start(Widen(exe), Widen(currentDirectory));
}

bool Session::Start(const std::wstring& exe, const std::wstring& currentDirectory) {
  if (!Expect(program.Start(exe, currentDirectory), "cannot start " + Narrow(exe))) return false;
  return FindMainDialog();
}

bool Session::StartByUnixPath(const std::string& unixPath) {
  if (!Expect(program.StartByUnixPath(unixPath), "cannot start " + unixPath)) return false;
  return FindMainDialog();
}

bool Session::FindMainDialog() {
  bool found =
      WaitFor([&] { return (dialog = FindDialog(program.Id(), kMainCaption)) != nullptr; });
  if (!Expect(found, "the main dialog did not appear")) return false;
  list = GetDlgItem(dialog, IDC_MEMBER_LIST);
  return true;
}

HWND Session::WaitForBox(DWORD timeoutMs) {
  HWND box = nullptr;
  WaitFor([&] { return (box = FindOtherDialog(program.Id(), dialog)) != nullptr; }, timeoutMs);
  return box;
}

void Session::Exit() {
  Click(dialog, IDCANCEL);
  ExpectEnds();
}

void Session::ExpectEnds() {
  DWORD code = 1234;
  if (Expect(program.WaitForExit(code), "the program did not end")) {
    Expect(code == 0, "exit code " + std::to_string(code));
  }
}

bool Session::WaitForStatus(const std::wstring& text) {
  return WaitFor([&] { return ControlText(dialog, IDC_STATUS_LINE) == text; });
}

std::string Session::Verdict() {
  std::string verdict = Quote(ControlText(dialog, IDC_STATUS_LINE));
  HWND box = FindOtherDialog(program.Id(), dialog);
  if (box != nullptr)
    verdict += " under the box " + Quote(TextOf(box)) + ": " +
               Quote(MessageBoxText(box) + ControlText(box, 101));
  return verdict;
}

std::string Quote(const std::wstring& text) { return "\"" + Narrow(text) + "\""; }

std::vector<std::wstring> SortedNames(std::vector<std::wstring> names) {
  // The list sorts without regard to case.
  for (std::size_t i = 0; i < names.size(); ++i)
    for (std::size_t j = i + 1; j < names.size(); ++j)
      if (lstrcmpiW(names[j].c_str(), names[i].c_str()) < 0) std::swap(names[i], names[j]);
  return names;
}

std::string Join(const std::vector<std::wstring>& names) {
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : ", ") + Narrow(n);
  return out;
}

bool AllSelected(HWND list) {
  for (bool selected : ListSelection(list))
    if (!selected) return false;
  return true;
}

std::string PolicyTicks(HWND dialog) {
  std::string ticks;
  ticks += IsChecked(dialog, IDC_POLICY_CONFIRM) ? "C" : "c";
  ticks += IsChecked(dialog, IDC_POLICY_OVERWRITE) ? "O" : "o";
  ticks += IsChecked(dialog, IDC_POLICY_SKIP) ? "S" : "s";
  return ticks;
}

void ExpectCouldNotOpen(Session& s, const std::string& path) {
  HWND box = s.WaitForBox();
  if (!Expect(box != nullptr, "no box for " + path)) return;
  Expect(TextOf(box) == L"Couldn't open...", "box caption " + Quote(TextOf(box)));
  Expect(MessageBoxText(box) == Widen(path), "box text " + Quote(MessageBoxText(box)));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  Expect(WaitFor([&] { return !IsWindow(box); }), "the box did not close");
}

}  // namespace wine_e2e
