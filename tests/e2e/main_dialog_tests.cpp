// The main dialog: its state at start, re-listing, the selection and policy
// buttons, and the ways to leave it.
#include <windows.h>

#include <string>
#include <vector>

#include "resource_ids.h"
#include "session.h"
#include "test_files.h"
#include "wine_test.h"

namespace wine_e2e {
namespace {

void InitialState() {
  std::string dir = MakeTestDirectory("initial");
  std::string exe = dir + "\\mixed.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(MixedMembers()))) return;
  Session s;
  if (!s.Start(exe, dir)) return;

  HWND edit = GetDlgItem(s.dialog, IDC_PATH_EDIT);
  std::wstring path = TextOf(edit);
  Expect(lstrcmpiW(path.c_str(), Widen(dir).c_str()) == 0,
         "path edit shows " + Quote(path) + ", not the current directory " + dir);
  DWORD selection = static_cast<DWORD>(SendMessageW(edit, EM_GETSEL, 0, 0));
  Expect(LOWORD(selection) == 0 && HIWORD(selection) == path.size(),
         "the path edit's text is not all selected");
  Expect(FocusOf(s.dialog) == edit, "the focus is not on the path edit");

  std::vector<std::wstring> expected =
      SortedNames({L"docs\\readme.txt", L"a.txt", L"Zeta\\sub\\b.bin"});
  std::vector<std::wstring> entries = ListEntries(s.list);
  Expect(entries == expected, "listed: " + Join(entries));
  Expect(AllSelected(s.list), "not every member is selected");
  Expect(IsChecked(s.dialog, IDC_SELECT_ALL), "Select All is not ticked");
  Expect(IsChecked(s.dialog, IDC_POLICY_CONFIRM), "Confirm is not ticked");
  Expect(!IsChecked(s.dialog, IDC_POLICY_OVERWRITE) && !IsChecked(s.dialog, IDC_POLICY_SKIP),
         "more than one policy is ticked");
  Expect(IsChecked(s.dialog, IDC_STORED_PATHS), "Use Stored Paths is not ticked");
  Expect(IsEnabled(s.dialog, IDC_STORED_PATHS) && IsEnabled(s.dialog, IDOK),
         "Use Stored Paths or Extract is disabled");
  Expect(ControlText(s.dialog, IDC_STATUS_LINE).empty(), "the status line is not empty");
  s.Exit();
}

void RelistingFollowsStoredPathsAndSelectionButtons() {
  std::string dir = MakeTestDirectory("relist");
  std::string exe = dir + "\\mixed.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(MixedMembers()))) return;
  Session s;
  if (!s.Start(exe, dir)) return;
  const auto withPaths = SortedNames({L"docs\\readme.txt", L"a.txt", L"Zeta\\sub\\b.bin"});
  const auto bare = SortedNames({L"readme.txt", L"a.txt", L"b.bin"});

  // Unticking lists bare names; Select All is ticked, so all are selected.
  Click(s.dialog, IDC_STORED_PATHS);
  REQUIRE(WaitFor([&] { return ListEntries(s.list) == bare; }),
          "after unticking, listed: " + Join(ListEntries(s.list)));
  Expect(!IsChecked(s.dialog, IDC_STORED_PATHS), "Use Stored Paths still ticked");
  Expect(IsEnabled(s.dialog, IDC_STORED_PATHS), "Use Stored Paths disabled after a walk");
  Expect(AllSelected(s.list), "entries not selected after re-listing under Select All");

  Click(s.dialog, IDC_UNSELECT_ALL);
  REQUIRE(WaitFor([&] { return SelectedCount(s.list) == 0; }), "Unselect All left a selection");
  Expect(IsChecked(s.dialog, IDC_UNSELECT_ALL) && !IsChecked(s.dialog, IDC_SELECT_ALL),
         "the selection buttons did not move");

  // Re-listing under Unselect All leaves every new entry unselected.
  Click(s.dialog, IDC_STORED_PATHS);
  REQUIRE(WaitFor([&] { return ListEntries(s.list) == withPaths; }),
          "after re-ticking, listed: " + Join(ListEntries(s.list)));
  Expect(SelectedCount(s.list) == 0, "re-listing under Unselect All selected entries");

  // A single click in the list, then Select All.
  SendMessageW(s.list, LB_SETSEL, TRUE, 1);
  Expect(SelectedCount(s.list) == 1, "a single entry could not be selected");
  Click(s.dialog, IDC_SELECT_ALL);
  REQUIRE(WaitFor([&] { return AllSelected(s.list); }), "Select All did not select every entry");

  // Extract with nothing selected writes nothing and reports success.
  Click(s.dialog, IDC_UNSELECT_ALL);
  REQUIRE(WaitFor([&] { return SelectedCount(s.list) == 0; }), "Unselect All left a selection");
  std::string out = dir + "\\none";
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);
  Expect(s.WaitForStatus(kSuccess), "no success verdict for an empty selection");
  Expect(!Exists(out), "an empty selection created " + out);
  s.Exit();
}

void ArchiveWithoutDirectoriesTurnsStoredPathsOff() {
  std::string dir = MakeTestDirectory("flat");
  std::string exe = dir + "\\flat.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes({Stored("One.txt", "1"), Stored("two.txt", "2")})))
    return;
  Session s;
  if (!s.Start(exe, dir)) return;
  Expect(!IsChecked(s.dialog, IDC_STORED_PATHS), "Use Stored Paths ticked");
  Expect(!IsEnabled(s.dialog, IDC_STORED_PATHS), "Use Stored Paths enabled");
  Expect(IsEnabled(s.dialog, IDOK), "Extract disabled after the first walk");
  std::vector<std::wstring> entries = ListEntries(s.list);
  Expect(entries == SortedNames({L"One.txt", L"two.txt"}), "listed: " + Join(entries));
  Expect(AllSelected(s.list), "not every member is selected");
  s.Exit();
}

void EmptyPathExtractsIntoCurrentDirectory() {
  std::string dir = MakeTestDirectory("emptypath");
  std::string cwd = dir + "\\here";
  CreateDirectoryA(cwd.c_str(), nullptr);
  std::string exe = dir + "\\mixed.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(MixedMembers()))) return;
  Session s;
  if (!s.Start(exe, cwd)) return;
  SetControlText(s.dialog, IDC_PATH_EDIT, L"");
  Click(s.dialog, IDOK);
  REQUIRE(s.WaitForStatus(kSuccess), "verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
  std::wstring shown = ControlText(s.dialog, IDC_PATH_EDIT);
  Expect(lstrcmpiW(shown.c_str(), Widen(cwd).c_str()) == 0,
         "the path edit shows " + Quote(shown) + " instead of " + cwd);
  ExpectFile(cwd + "\\a.txt", "AAAA");
  ExpectFile(cwd + "\\docs\\readme.txt", "read me\r\n");
  s.Exit();
}

void PolicyButtonsDecideAboutExistingFiles() {
  std::string dir = MakeTestDirectory("policy");
  std::string exe = dir + "\\policy.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(
                             {Stored("old.txt", "from the archive"), Stored("new.txt", "fresh")})))
    return;
  Session s;
  if (!s.Start(exe, dir)) return;
  std::string out = dir + "\\out";
  CreateDirectoryA(out.c_str(), nullptr);
  const std::string old = out + "\\old.txt";
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));

  // Skip: the existing file stays, its entry is deselected and does not
  // count as failed; the other member is extracted.
  REQUIRE(WriteFileBytes(old, lzhtest::ToBytes("on disk")), "cannot write " + old);
  Click(s.dialog, IDC_POLICY_SKIP);
  REQUIRE(WaitFor([&] { return IsChecked(s.dialog, IDC_POLICY_SKIP); }), "Skip not ticked");
  Expect(!IsChecked(s.dialog, IDC_POLICY_CONFIRM), "Confirm still ticked beside Skip");
  Click(s.dialog, IDOK);
  REQUIRE(s.WaitForStatus(kSuccess),
          "Skip: verdict " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
  Expect(ReadFileBytes(old) == lzhtest::ToBytes("on disk"), "Skip replaced the existing file");
  ExpectFile(out + "\\new.txt", "fresh");
  Expect(SelectedCount(s.list) == 0, "Skip left an entry selected");

  // Overwrite: replaced without a question.
  Click(s.dialog, IDC_SELECT_ALL);
  Click(s.dialog, IDC_POLICY_OVERWRITE);
  REQUIRE(WaitFor([&] { return AllSelected(s.list) && IsChecked(s.dialog, IDC_POLICY_OVERWRITE); }),
          "Select All or Overwrite did not take");
  SetControlText(s.dialog, IDC_STATUS_LINE, L"");
  Click(s.dialog, IDOK);
  REQUIRE(s.WaitForStatus(kSuccess),
          "Overwrite: verdict " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
  Expect(s.WaitForBox(300) == nullptr, "Overwrite asked a question");
  ExpectFile(old, "from the archive");
  s.Exit();
}

void ExitEscapeAndCloseBoxEndTheProgram() {
  std::string dir = MakeTestDirectory("leave");
  std::string exe = dir + "\\mixed.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(MixedMembers()))) return;
  const char* ways[] = {"Exit", "Escape", "close box"};
  for (const char* way : ways) {
    Session s;
    if (!s.Start(exe, dir)) return;
    std::string name = way;
    if (name == "Exit") Click(s.dialog, IDCANCEL);
    if (name == "Escape") PressKey(GetDlgItem(s.dialog, IDC_PATH_EDIT), VK_ESCAPE);
    if (name == "close box") Close(s.dialog);
    std::size_t before = failures.size();
    s.ExpectEnds();
    for (std::size_t i = before; i < failures.size(); ++i) failures[i] = name + ": " + failures[i];
  }
}

}  // namespace

const Tests& MainDialogTests() {
  static const Tests kTests = {
      {"initial state", InitialState},
      {"re-listing follows stored paths and the selection buttons",
       RelistingFollowsStoredPathsAndSelectionButtons},
      {"an archive without directories turns stored paths off",
       ArchiveWithoutDirectoriesTurnsStoredPathsOff},
      {"an empty path extracts into the current directory", EmptyPathExtractsIntoCurrentDirectory},
      {"the policy buttons decide about existing files", PolicyButtonsDecideAboutExistingFiles},
      {"Exit, Escape and the close box end the program", ExitEscapeAndCloseBoxEndTheProgram},
  };
  return kTests;
}

}  // namespace wine_e2e
