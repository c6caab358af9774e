// Drives self-extracting programs under Wine the way a user would: starts
// them, finds their dialogs and boxes, clicks, types, reads the controls
// back and looks at the files on disk.
//
// Usage: wine_driver STUB.exe WORKDIR [TEST-NAME-PART]
// Each test builds its programs from the stub and small crafted archives
// under WORKDIR. Prints one "ok" or "not ok" line per test; the exit code is
// the number of failed tests.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "remote_ui.h"
#include "resource_ids.h"
#include "sfx/pe_resources.h"
#include "support/archive_builder.h"

namespace wine_e2e {
namespace {

using lzhtest::Bytes;
using lzhtest::MemberPlan;

const std::wstring kMainCaption = L"LZH Self-Extracting Archive";
const std::wstring kSuccess = L"CRC validation passed on all file( s )... extraction successful";
const std::wstring kFailure = L"The remaining hilited file( s ) failed CRC validation";
constexpr std::uint32_t kStamp = 0x31085E61;  // 2004-08-08 11:51:02, local time

std::string stubPath;
std::string workDir;

// Failures of the running test; a test stops at its first failed REQUIRE.
std::vector<std::string> failures;

bool Expect(bool condition, const std::string& what) {
  if (!condition) failures.push_back(what);
  return condition;
}
// The message is made only after the condition failed, so that it shows
// the state the wait ended in.
#define REQUIRE(condition, what)  \
  do {                            \
    if (!(condition)) {           \
      failures.push_back((what)); \
      return;                     \
    }                             \
  } while (0)

// Remarks printed under a passing test.
std::vector<std::string> notes;

std::string Quote(const std::wstring& text) { return "\"" + Narrow(text) + "\""; }

Bytes ReadFileBytes(const std::string& path) {
  Bytes bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  int c;
  while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<std::uint8_t>(c));
  std::fclose(file);
  return bytes;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A fresh directory for one test.
std::string MakeTestDirectory(const std::string& name) {
  std::string dir = workDir + "\\" + name;
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

// The stub followed by archive, with string 4 pointing at the archive.
bool BuildProgram(const std::string& path, const Bytes& archive) {
  Bytes program = ReadFileBytes(stubPath);
  std::string error;
  if (program.empty()) {
    failures.push_back("cannot read the stub " + stubPath);
    return false;
  }
  if (!lzh::sfx::PatchArchiveOffset(program, static_cast<std::uint32_t>(program.size()), error)) {
    failures.push_back("cannot patch the stub: " + error);
    return false;
  }
  program.insert(program.end(), archive.begin(), archive.end());
  return Expect(WriteFileBytes(path, program), "cannot write " + path);
}

MemberPlan Stored(const std::string& name, const std::string& content, int level = 0) {
  MemberPlan member = lzhtest::StoredMember(name, content, level);
  member.timeStamp = kStamp;
  return member;
}

// A level-2 member whose directory comes from a directory record.
MemberPlan StoredInDirectory(const std::string& dir, const std::string& name,
                             const std::string& content) {
  MemberPlan member = lzhtest::StoredMember(name, content, 2);
  member.timeStamp = 1091958662;  // 2004-08-08 09:51:02 UTC
  member.records.push_back({2, lzhtest::DirectoryRecordData(dir)});
  return member;
}

// The archive most tests use: names with and without stored directories,
// in an order that differs from the list's sorted order.
std::vector<MemberPlan> MixedMembers() {
  return {Stored("docs\\readme.txt", "read me\r\n"), Stored("a.txt", "AAAA"),
          Stored("Zeta\\sub\\b.bin", std::string("\x00\x01\x02\xFF", 4))};
}

// One started program and its main dialog.
struct Session {
  Program program;
  HWND dialog = nullptr;
  HWND list = nullptr;

  bool Start(const std::string& exe, const std::string& currentDirectory) {
    if (!Expect(program.Start(exe, currentDirectory), "cannot start " + exe)) return false;
    bool found =
        WaitFor([&] { return (dialog = FindDialog(program.Id(), kMainCaption)) != nullptr; });
    if (!Expect(found, "the main dialog did not appear")) return false;
    list = GetDlgItem(dialog, IDC_MEMBER_LIST);
    return true;
  }

  // Waits for a box beside the main dialog; returns it or null.
  HWND WaitForBox(DWORD timeoutMs = 20000) {
    HWND box = nullptr;
    WaitFor([&] { return (box = FindOtherDialog(program.Id(), dialog)) != nullptr; }, timeoutMs);
    return box;
  }

  // Leaves with Exit and checks that the program ends with code 0.
  void Exit() {
    Click(dialog, IDCANCEL);
    ExpectEnds();
  }

  void ExpectEnds() {
    DWORD code = 1234;
    if (Expect(program.WaitForExit(code), "the program did not end")) {
      Expect(code == 0, "exit code " + std::to_string(code));
    }
  }

  bool WaitForStatus(const std::wstring& text) {
    return WaitFor([&] { return ControlText(dialog, IDC_STATUS_LINE) == text; });
  }

  // The status line, and the box the walk waits on, if any.
  std::string Verdict() {
    std::string verdict = Quote(ControlText(dialog, IDC_STATUS_LINE));
    HWND box = FindOtherDialog(program.Id(), dialog);
    if (box != nullptr)
      verdict += " under the box " + Quote(TextOf(box)) + ": " +
                 Quote(MessageBoxText(box) + ControlText(box, 101));
    return verdict;
  }
};

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

// The last-write time of a file as "YYYY-MM-DD hh:mm:ss", in UTC or in
// local time. Local time goes through FileTimeToLocalFileTime, the same
// (current) bias the program's LocalFileTimeToFileTime applies.
std::string WriteTime(const std::string& path, bool local) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(cannot open)";
  FILETIME written, shown;
  SYSTEMTIME t;
  GetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
  shown = written;
  if (local) FileTimeToLocalFileTime(&written, &shown);
  FileTimeToSystemTime(&shown, &t);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond);
  return text;
}

// Members carry either the MS-DOS stamp kStamp (local time) or, at level 2,
// the same moment as Unix time in UTC.
enum class Stamp { DosLocal, UnixUtc };

void ExpectFile(const std::string& path, const std::string& content,
                Stamp stamp = Stamp::DosLocal) {
  Bytes bytes = ReadFileBytes(path);
  if (!Expect(Exists(path), "missing " + path)) return;
  Expect(bytes == Bytes(content.begin(), content.end()), "wrong content in " + path);
  bool dos = stamp == Stamp::DosLocal;
  std::string time = WriteTime(path, dos);
  Expect(time == (dos ? "2004-08-08 11:51:02" : "2004-08-08 09:51:02"),
         path + " has time " + time + (dos ? " local" : " UTC"));
}

// ---------------------------------------------------------------------------
// The tests.

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

void ExtractIntoNewNestedDirectory() {
  std::string dir = MakeTestDirectory("nested");
  std::string exe = dir + "\\mixed.exe";
  std::vector<MemberPlan> members = MixedMembers();
  members.push_back(StoredInDirectory("deep/er", "c.txt", "from a directory record"));
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(members))) return;
  Session s;
  if (!s.Start(exe, dir)) return;
  REQUIRE(ListEntries(s.list).size() == 4, "listed: " + Join(ListEntries(s.list)));

  // Typed into the path edit and started with Enter, as a user would.
  std::string out = dir + "\\out\\new\\nested";
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  PressKey(GetDlgItem(s.dialog, IDC_PATH_EDIT), VK_RETURN);
  REQUIRE(s.WaitForStatus(kSuccess), "verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
  Expect(SelectedCount(s.list) == 0, "entries still selected after a clean extraction");
  Expect(IsDirectory(out + "\\docs") && IsDirectory(out + "\\Zeta\\sub") &&
             IsDirectory(out + "\\deep\\er"),
         "stored directories were not created");
  ExpectFile(out + "\\docs\\readme.txt", "read me\r\n");
  ExpectFile(out + "\\a.txt", "AAAA");
  ExpectFile(out + "\\Zeta\\sub\\b.bin", std::string("\x00\x01\x02\xFF", 4));
  ExpectFile(out + "\\deep\\er\\c.txt", "from a directory record", Stamp::UnixUtc);
  Expect(IsEnabled(s.dialog, IDOK) && IsEnabled(s.dialog, IDC_STORED_PATHS),
         "Extract or Use Stored Paths stayed disabled after the walk");

  // Nothing is selected now: a second Extract writes nothing.
  DeleteFileA((out + "\\a.txt").c_str());
  Click(s.dialog, IDOK);
  Sleep(500);
  Expect(s.WaitForStatus(kSuccess), "second extraction changed the verdict");
  Expect(!Exists(out + "\\a.txt"), "a second Extract wrote a deselected member");

  // Without stored paths, every member lands in the directory itself.
  std::string flat = dir + "\\flat";
  Click(s.dialog, IDC_STORED_PATHS);
  REQUIRE(WaitFor([&] {
            return AllSelected(s.list) && ListEntries(s.list).size() == 4 &&
                   !IsChecked(s.dialog, IDC_STORED_PATHS);
          }),
          "re-listing without paths failed");
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(flat));
  SetControlText(s.dialog, IDC_STATUS_LINE, L"");
  Click(s.dialog, IDOK);
  REQUIRE(s.WaitForStatus(kSuccess),
          "verdict without paths: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
  ExpectFile(flat + "\\readme.txt", "read me\r\n");
  ExpectFile(flat + "\\c.txt", "from a directory record", Stamp::UnixUtc);
  Expect(!IsDirectory(flat + "\\docs"), "a stored directory was created without stored paths");
  s.Exit();
}

void BadCrcStaysSelected() {
  std::string dir = MakeTestDirectory("badcrc");
  std::string exe = dir + "\\bad.exe";
  MemberPlan bad = Stored("bad.txt", "corrupted bytes");
  bad.crc ^= 0x1234;
  if (!BuildProgram(exe, lzhtest::ArchiveBytes({Stored("good.txt", "fine"), bad,
                                                Stored("later.txt", "after the bad one")})))
    return;
  Session s;
  if (!s.Start(exe, dir)) return;
  std::string out = dir + "\\out";
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);
  REQUIRE(s.WaitForStatus(kFailure), "verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
  std::vector<std::wstring> entries = ListEntries(s.list);
  std::vector<bool> selected = ListSelection(s.list);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Expect(selected[i] == (entries[i] == L"bad.txt"),
           Narrow(entries[i]) + " has the wrong selection");
  }
  ExpectFile(out + "\\good.txt", "fine");
  ExpectFile(out + "\\later.txt", "after the bad one");
  // The failed member's file stays as written, with the member's time.
  ExpectFile(out + "\\bad.txt", "corrupted bytes");
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

void UnsupportedMethodStopsTheWalk() {
  std::string dir = MakeTestDirectory("method");
  std::string exe = dir + "\\method.exe";
  MemberPlan odd = Stored("odd.bin", "packed somehow");
  odd.method = "-lh9-";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(
                             {Stored("first.txt", "1"), odd, Stored("never.txt", "not reached")})))
    return;
  Session s;
  if (!s.Start(exe, dir)) return;
  std::string out = dir + "\\out";
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);
  HWND box = s.WaitForBox();
  REQUIRE(box != nullptr, "no box for an unsupported method");
  Expect(TextOf(box) == L"Unable to extract...", "box caption " + Quote(TextOf(box)));
  Expect(MessageBoxText(box) == L"Unsupported compression method",
         "box text " + Quote(MessageBoxText(box)));

  // While the walk waits on its box, neither Extract nor the check box acts.
  Expect(!IsEnabled(s.dialog, IDOK) && !IsEnabled(s.dialog, IDC_STORED_PATHS),
         "Extract or Use Stored Paths enabled during a walk");
  Expect(IsWindowEnabled(s.dialog) != FALSE, "the main dialog is disabled under the box");
  // A click on the disabled button, and the command itself arriving anyway.
  Click(s.dialog, IDOK);
  PostMessageW(s.dialog, WM_COMMAND, IDOK, 0);
  Sleep(1000);
  HWND other = FindOtherDialog(s.program.Id(), box);
  Expect(other == nullptr || other == s.dialog, "a second walk started while the first one ran");

  PostMessageW(box, WM_COMMAND, IDOK, 0);
  REQUIRE(WaitFor([&] { return IsEnabled(s.dialog, IDOK); }), "Extract stayed disabled");
  std::wstring status = ControlText(s.dialog, IDC_STATUS_LINE);
  Expect(status == L"Extracting: " + Widen(out) + L"\\odd.bin", "status " + Quote(status));
  Expect(Exists(out + "\\odd.bin"), "the unsupported member's file was not left in place");
  ExpectFile(out + "\\first.txt", "1");
  Expect(!Exists(out + "\\never.txt"), "the walk went on after an unsupported method");
  Expect(IsChecked(s.dialog, IDC_STORED_PATHS) == false,
         "Use Stored Paths ticked for an archive without directories");
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

// ---------------------------------------------------------------------------
// The overwrite question.

const std::wstring kQuestionCaption = L"Confirm overwrite of...";

std::wstring QuestionFor(const std::wstring& fileName) {
  return fileName + L"...already exists, overwrite?";
}

// A directory with the given files already in it, each holding "old".
std::string OutputWithExistingFiles(const std::string& dir, const std::vector<std::string>& names) {
  std::string out = dir + "\\out";
  CreateDirectoryA(dir.c_str(), nullptr);
  CreateDirectoryA(out.c_str(), nullptr);
  for (const std::string& name : names) {
    std::string path = out + "\\" + name;
    std::string parent = path.substr(0, path.find_last_of('\\'));
    CreateDirectoryA(parent.c_str(), nullptr);
    Expect(WriteFileBytes(path, lzhtest::ToBytes("old")), "cannot write " + path);
  }
  return out;
}

// The three policy buttons as "C O S" with the ticked ones in upper case.
std::string PolicyTicks(HWND dialog) {
  std::string ticks;
  ticks += IsChecked(dialog, IDC_POLICY_CONFIRM) ? "C" : "c";
  ticks += IsChecked(dialog, IDC_POLICY_OVERWRITE) ? "O" : "o";
  ticks += IsChecked(dialog, IDC_POLICY_SKIP) ? "S" : "s";
  return ticks;
}

enum class Answer { Yes, No, Enter, Escape, CloseBox };

// Waits for the question about fileName, answers it and waits for it to
// close. Returns false, with a failure recorded, when any of that fails.
bool AnswerQuestion(Session& s, const std::wstring& fileName, Answer answer,
                    bool dontAskAgain = false) {
  HWND q = nullptr;
  bool shown =
      WaitFor([&] { return (q = FindDialog(s.program.Id(), kQuestionCaption)) != nullptr; });
  if (!Expect(shown, "no question about " + Narrow(fileName))) return false;
  std::wstring text = ControlText(q, IDC_QUESTION);
  if (!Expect(text == QuestionFor(fileName), "question " + Quote(text))) return false;
  if (dontAskAgain) {
    Click(q, IDC_DONT_ASK_AGAIN);
    if (!Expect(WaitFor([&] { return IsChecked(q, IDC_DONT_ASK_AGAIN); }),
                "Don't ask again did not tick"))
      return false;
  }
  HWND focus = FocusOf(q);
  HWND keyTarget = focus != nullptr && (focus == q || IsChild(q, focus)) ? focus : q;
  switch (answer) {
    case Answer::Yes:
      Click(q, IDOK);
      break;
    case Answer::No:
      Click(q, IDCANCEL);
      break;
    case Answer::Enter:
      PressKey(keyTarget, VK_RETURN);
      break;
    case Answer::Escape:
      PressKey(keyTarget, VK_ESCAPE);
      break;
    case Answer::CloseBox:
      Close(q);
      break;
  }
  return Expect(WaitFor([&] { return !IsWindow(q); }), "the question did not close");
}

void QuestionNamesTheFileAndTakesEnterEscapeAndCloseBox() {
  std::string dir = MakeTestDirectory("question");
  std::string exe = dir + "\\question.exe";
  if (!BuildProgram(
          exe, lzhtest::ArchiveBytes(
                   {Stored("docs\\one.txt", "new one"), Stored("two.txt", "new two"),
                    Stored("fresh.txt", "not there before"), Stored("three.txt", "new three")})))
    return;
  std::string out = OutputWithExistingFiles(dir, {"docs\\one.txt", "two.txt", "three.txt"});
  Session s;
  if (!s.Start(exe, dir)) return;
  const std::vector<std::wstring> listed = ListEntries(s.list);
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);

  HWND q = nullptr;
  REQUIRE(WaitFor([&] { return (q = FindDialog(s.program.Id(), kQuestionCaption)) != nullptr; }),
          "no question for an existing file under Confirm");
  // Only the file-name part, with the dots right after it.
  std::wstring text = ControlText(q, IDC_QUESTION);
  Expect(text == QuestionFor(L"one.txt"), "question " + Quote(text));
  Expect(!IsChecked(q, IDC_DONT_ASK_AGAIN), "Don't ask again starts ticked");
  Expect(FocusOf(q) != GetDlgItem(q, IDCANCEL), "the focus starts on No");
  RECT r;
  GetWindowRect(q, &r);
  int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
  Expect(std::abs(r.left - x) <= 1 && std::abs(r.top - y) <= 1,
         "the question is at " + std::to_string(r.left) + "," + std::to_string(r.top) +
             ", not centred at " + std::to_string(x) + "," + std::to_string(y));

  // The main dialog stays enabled, but neither Extract nor the check box
  // acts: not as a click, not as a command, not as Enter in the path edit.
  Expect(IsWindowEnabled(s.dialog) != FALSE, "the main dialog is disabled under the question");
  Expect(!IsEnabled(s.dialog, IDOK) && !IsEnabled(s.dialog, IDC_STORED_PATHS),
         "Extract or Use Stored Paths enabled while the question shows");
  Click(s.dialog, IDOK);
  Click(s.dialog, IDC_STORED_PATHS);
  PostMessageW(s.dialog, WM_COMMAND, IDOK, 0);
  PostMessageW(s.dialog, WM_COMMAND, IDC_STORED_PATHS, 0);
  PressKey(GetDlgItem(s.dialog, IDC_PATH_EDIT), VK_RETURN);
  // Ticking and unticking Don't ask again answers nothing.
  Click(q, IDC_DONT_ASK_AGAIN);
  REQUIRE(WaitFor([&] { return IsChecked(q, IDC_DONT_ASK_AGAIN); }),
          "Don't ask again did not tick");
  Click(q, IDC_DONT_ASK_AGAIN);
  REQUIRE(WaitFor([&] { return !IsChecked(q, IDC_DONT_ASK_AGAIN); }),
          "Don't ask again did not untick");
  Sleep(700);
  Expect(IsWindow(q) && IsWindowVisible(q), "the question closed without an answer");
  Expect(CountDialogs(s.program.Id()) == 2, "a second walk or box started under the question");
  Expect(ListEntries(s.list) == listed && AllSelected(s.list),
         "the list changed under the question");
  Expect(PolicyTicks(s.dialog) == "Cos", "policy buttons " + PolicyTicks(s.dialog));

  // Enter answers Yes; the next existing file is asked about again.
  REQUIRE(AnswerQuestion(s, L"one.txt", Answer::Enter), "Enter");
  REQUIRE(AnswerQuestion(s, L"two.txt", Answer::Escape), "Escape");
  REQUIRE(AnswerQuestion(s, L"three.txt", Answer::CloseBox), "close box");
  REQUIRE(s.WaitForStatus(kSuccess), "verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
  ExpectFile(out + "\\docs\\one.txt", "new one");
  Expect(ReadFileBytes(out + "\\two.txt") == lzhtest::ToBytes("old"), "Escape replaced two.txt");
  Expect(ReadFileBytes(out + "\\three.txt") == lzhtest::ToBytes("old"),
         "the close box replaced three.txt");
  ExpectFile(out + "\\fresh.txt", "not there before");
  // Refused files count as skipped, not as failed.
  Expect(SelectedCount(s.list) == 0, "an entry stayed selected");
  Expect(PolicyTicks(s.dialog) == "Cos", "policy buttons " + PolicyTicks(s.dialog));
  Expect(IsEnabled(s.dialog, IDOK) && IsEnabled(s.dialog, IDC_STORED_PATHS),
         "Extract or Use Stored Paths stayed disabled");
  // The click on the disabled check box did not outlast the walk.
  Expect(IsChecked(s.dialog, IDC_STORED_PATHS) && ListEntries(s.list) == listed,
         "Use Stored Paths no longer matches the list");
  s.Exit();
}

void DontAskAgainTurnsTheAnswerIntoThePolicy() {
  for (bool yes : {true, false}) {
    std::string label = yes ? "Yes: " : "No: ";
    std::size_t before = failures.size();
    [&] {
      std::string dir = MakeTestDirectory(yes ? "always" : "never");
      std::string exe = dir + "\\abc.exe";
      if (!BuildProgram(exe,
                        lzhtest::ArchiveBytes({Stored("a.txt", "new a"), Stored("b.txt", "new b"),
                                               Stored("c.txt", "new c")})))
        return;
      std::string out = OutputWithExistingFiles(dir, {"a.txt", "b.txt", "c.txt"});
      Session s;
      if (!s.Start(exe, dir)) return;
      SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
      Click(s.dialog, IDOK);
      REQUIRE(AnswerQuestion(s, L"a.txt", yes ? Answer::Yes : Answer::No, true), "answer");
      // No further question: the walk runs to its verdict on its own.
      REQUIRE(s.WaitForStatus(kSuccess),
              "verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
      for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        std::string path = out + "\\" + name;
        if (yes) {
          ExpectFile(path, std::string("new ") + name[0]);
        } else {
          Expect(ReadFileBytes(path) == lzhtest::ToBytes("old"), "No replaced " + path);
        }
      }
      Expect(SelectedCount(s.list) == 0, "an entry stayed selected");
      std::string ticks = PolicyTicks(s.dialog);
      Expect(ticks == (yes ? "cOs" : "coS"), "policy buttons " + ticks);

      // The policy holds for later walks too.
      REQUIRE(WriteFileBytes(out + "\\a.txt", lzhtest::ToBytes("old")), "cannot rewrite a.txt");
      SetControlText(s.dialog, IDC_STATUS_LINE, L"");
      Click(s.dialog, IDC_SELECT_ALL);
      REQUIRE(WaitFor([&] { return AllSelected(s.list); }), "Select All did not select");
      Click(s.dialog, IDOK);
      REQUIRE(s.WaitForStatus(kSuccess),
              "second verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
      Expect(ReadFileBytes(out + "\\a.txt") == lzhtest::ToBytes(yes ? "new a" : "old"),
             "the second walk did not follow the policy");
      Expect(FindDialog(s.program.Id(), kQuestionCaption) == nullptr, "a question showed");
      s.Exit();
    }();
    for (std::size_t i = before; i < failures.size(); ++i) failures[i] = label + failures[i];
  }
}

// "&Overwrite (don't ask)" clicked in the main dialog while the question
// shows: the answer then given does not count, the one recorded before it
// (none yet: skip) does, and the later files follow the new policy.
void OverwriteChosenUnderTheQuestionKeepsTheEarlierAnswer() {
  for (bool earlierYes : {true, false}) {
    std::string label = earlierYes ? "after a Yes: " : "before any answer: ";
    std::size_t before = failures.size();
    [&] {
      std::string dir = MakeTestDirectory(earlierYes ? "keepyes" : "keepnone");
      std::string exe = dir + "\\abc.exe";
      if (!BuildProgram(exe,
                        lzhtest::ArchiveBytes({Stored("a.txt", "new a"), Stored("b.txt", "new b"),
                                               Stored("c.txt", "new c")})))
        return;
      std::string out = OutputWithExistingFiles(dir, {"a.txt", "b.txt", "c.txt"});
      Session s;
      if (!s.Start(exe, dir)) return;
      SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
      Click(s.dialog, IDOK);
      if (earlierYes) REQUIRE(AnswerQuestion(s, L"a.txt", Answer::Yes), "first answer");
      const wchar_t* asked = earlierYes ? L"b.txt" : L"a.txt";
      REQUIRE(WaitFor([&] {
                HWND q = FindDialog(s.program.Id(), kQuestionCaption);
                return q != nullptr && ControlText(q, IDC_QUESTION) == QuestionFor(asked);
              }),
              "no question about " + Narrow(asked));
      Click(s.dialog, IDC_POLICY_OVERWRITE);
      REQUIRE(WaitFor([&] { return PolicyTicks(s.dialog) == "cOs"; }),
              "policy buttons " + PolicyTicks(s.dialog));
      // The opposite of what is then done.
      REQUIRE(AnswerQuestion(s, asked, earlierYes ? Answer::No : Answer::Yes), "answer");
      REQUIRE(s.WaitForStatus(kSuccess),
              "verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
      if (earlierYes) {
        ExpectFile(out + "\\a.txt", "new a");
        ExpectFile(out + "\\b.txt", "new b");
      } else {
        Expect(ReadFileBytes(out + "\\a.txt") == lzhtest::ToBytes("old"),
               "a Yes given under Overwrite replaced a.txt");
        ExpectFile(out + "\\b.txt", "new b");
      }
      ExpectFile(out + "\\c.txt", "new c");
      Expect(SelectedCount(s.list) == 0, "an entry stayed selected");
      Expect(PolicyTicks(s.dialog) == "cOs", "policy buttons " + PolicyTicks(s.dialog));
      s.Exit();
    }();
    for (std::size_t i = before; i < failures.size(); ++i) failures[i] = label + failures[i];
  }
}

// A policy button clicked in the main dialog while the question shows,
// then "Don't &ask again": only the button of the answer stays ticked.
void DontAskAgainLeavesOnePolicyTicked() {
  std::string dir = MakeTestDirectory("onetick");
  std::string exe = dir + "\\ab.exe";
  if (!BuildProgram(exe,
                    lzhtest::ArchiveBytes({Stored("a.txt", "new a"), Stored("b.txt", "new b")})))
    return;
  std::string out = OutputWithExistingFiles(dir, {"a.txt", "b.txt"});
  Session s;
  if (!s.Start(exe, dir)) return;
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);
  REQUIRE(WaitFor([&] { return FindDialog(s.program.Id(), kQuestionCaption) != nullptr; }),
          "no question");
  Click(s.dialog, IDC_POLICY_SKIP);
  REQUIRE(WaitFor([&] { return PolicyTicks(s.dialog) == "coS"; }),
          "policy buttons " + PolicyTicks(s.dialog));
  REQUIRE(AnswerQuestion(s, L"a.txt", Answer::Yes, true), "answer");
  REQUIRE(s.WaitForStatus(kSuccess), "verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
  Expect(PolicyTicks(s.dialog) == "cOs", "policy buttons " + PolicyTicks(s.dialog));
  ExpectFile(out + "\\a.txt", "new a");
  ExpectFile(out + "\\b.txt", "new b");
  s.Exit();
}

// ---------------------------------------------------------------------------
// Files that cannot be written, and names that would leave the directory.

// Waits for the box with caption "Couldn't open..." and the given text,
// and dismisses it.
void ExpectCouldNotOpen(Session& s, const std::string& path) {
  HWND box = s.WaitForBox();
  if (!Expect(box != nullptr, "no box for " + path)) return;
  Expect(TextOf(box) == L"Couldn't open...", "box caption " + Quote(TextOf(box)));
  Expect(MessageBoxText(box) == Widen(path), "box text " + Quote(MessageBoxText(box)));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  Expect(WaitFor([&] { return !IsWindow(box); }), "the box did not close");
}

// True when this system refuses to replace a read-only file. Wine run by
// root does not: the attribute is a Unix mode bit, which root passes.
bool ReadOnlyIsEnforced(const std::string& dir) {
  std::string probe = dir + "\\probe.txt";
  WriteFileBytes(probe, lzhtest::ToBytes("probe"));
  SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_READONLY);
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  bool enforced = file == INVALID_HANDLE_VALUE;
  if (!enforced) CloseHandle(file);
  SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(probe.c_str());
  return enforced;
}

// Under Overwrite, an existing file that cannot be replaced (read-only, or
// held open by another program that shares no writing) gives its box, stays
// as it was and stays selected; the next member is extracted.
void UnreplaceableFileUnderOverwriteIsReportedAndTheWalkGoesOn() {
  std::string dir = MakeTestDirectory("unreplaceable");
  std::string exe = dir + "\\locked.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes({Stored("locked.txt", "new locked"),
                                                Stored("after.txt", "after it")})))
    return;
  bool readOnly = ReadOnlyIsEnforced(dir);
  if (!readOnly) notes.push_back("the read-only attribute is not enforced here (Wine run by root)");
  for (bool inUse : {true, false}) {
    if (!inUse && !readOnly) continue;
    std::size_t before = failures.size();
    [&] {
      std::string out =
          OutputWithExistingFiles(dir + (inUse ? "\\inuse" : "\\readonly"), {"locked.txt"});
      std::string locked = out + "\\locked.txt";
      HANDLE held = INVALID_HANDLE_VALUE;
      if (inUse) {
        held = CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        REQUIRE(held != INVALID_HANDLE_VALUE, "cannot hold " + locked);
      } else {
        REQUIRE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY),
                "cannot protect " + locked);
      }
      Session s;
      if (s.Start(exe, dir)) {
        SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
        Click(s.dialog, IDC_POLICY_OVERWRITE);
        Expect(WaitFor([&] { return PolicyTicks(s.dialog) == "cOs"; }), "Overwrite not ticked");
        Click(s.dialog, IDOK);
        ExpectCouldNotOpen(s, locked);
        Expect(s.WaitForStatus(kFailure), "verdict " + s.Verdict());
        Expect(ReadFileBytes(locked) == lzhtest::ToBytes("old"), "the locked file was changed");
        ExpectFile(out + "\\after.txt", "after it");
        std::vector<std::wstring> entries = ListEntries(s.list);
        std::vector<bool> selected = ListSelection(s.list);
        for (std::size_t i = 0; i < entries.size(); ++i)
          Expect(selected[i] == (entries[i] == L"locked.txt"), Narrow(entries[i]) + " selection");
        s.Exit();
      }
      if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
      SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
    }();
    std::string label = inUse ? "in use: " : "read-only: ";
    for (std::size_t i = before; i < failures.size(); ++i) failures[i] = label + failures[i];
  }
}

void NamesLeavingTheDirectoryAreRefused() {
  std::string dir = MakeTestDirectory("escape");
  std::string exe = dir + "\\escape.exe";
  const std::vector<std::string> hostile = {"..\\evil1.txt", "sub\\..\\..\\evil2.txt",
                                            "sub/../../evil3.txt", "\\\\evil4.txt"};
  std::vector<MemberPlan> members;
  for (const std::string& name : hostile) members.push_back(Stored(name, "evil"));
  members.push_back(Stored("sub\\kept.txt", "inside"));
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(members))) return;
  std::string out = dir + "\\out";
  CreateDirectoryA(out.c_str(), nullptr);
  Session s;
  if (!s.Start(exe, dir)) return;
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);
  for (const std::string& name : hostile) {
    std::string shown = name;
    for (char& c : shown)
      if (c == '/') c = '\\';
    ExpectCouldNotOpen(s, out + "\\" + shown);
  }
  REQUIRE(s.WaitForStatus(kFailure), "verdict " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
  ExpectFile(out + "\\sub\\kept.txt", "inside");
  for (const char* evil : {"evil1.txt", "evil2.txt", "evil3.txt", "evil4.txt"}) {
    Expect(!Exists(dir + "\\" + evil) && !Exists(out + "\\" + evil) &&
               !Exists(workDir + "\\" + evil) && !Exists(std::string("Z:\\") + evil),
           std::string("written: ") + evil);
  }
  Expect(SelectedCount(s.list) == static_cast<int>(hostile.size()),
         "refused members were deselected");
  s.Exit();
}

// ---------------------------------------------------------------------------
// Double-byte names, under the ANSI code page 932.

// Shift-JIS 0x95 0x5C is U+8868, a character whose second byte is that of
// "\". In a stored path and in a directory record, it stays one character.
void ShiftJisTrailBytesAreNoSeparators() {
  std::string dir = MakeTestDirectory("sjis");
  std::string exe = dir + "\\sjis.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes({Stored("jp\\\x95\x5C.txt", "hyou"),
                                                StoredInDirectory("lv2", "\x95\x5C\x95\x5C.txt",
                                                                  "from a directory record")})))
    return;
  std::string out = dir + "\\out";
  Session s;
  if (!s.Start(exe, dir)) return;
  std::vector<std::wstring> entries = ListEntries(s.list);
  std::string shown;
  for (const auto& entry : entries) {
    for (wchar_t c : entry) shown += " " + std::to_string(static_cast<unsigned>(c));
    shown += " |";
  }
  Expect(entries == SortedNames({L"jp\\\u8868.txt", L"lv2\\\u8868\u8868.txt"}),
         "listed (UTF-16 units):" + shown);
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);
  REQUIRE(s.WaitForStatus(kSuccess), "verdict " + s.Verdict());
  std::wstring wideOut = Widen(out);
  const std::wstring files[] = {wideOut + L"\\jp\\\u8868.txt",
                                wideOut + L"\\lv2\\\u8868\u8868.txt"};
  for (const std::wstring& file : files) {
    DWORD attributes = GetFileAttributesW(file.c_str());
    Expect(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0,
           "missing " + Narrow(file));
  }
  // Nothing was split at a false "\": each directory holds one file.
  auto countEntries = [](const std::wstring& directory) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
    int count = 0;
    if (search == INVALID_HANDLE_VALUE) return count;
    do {
      if (lstrcmpW(found.cFileName, L".") != 0 && lstrcmpW(found.cFileName, L"..") != 0) ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
  };
  for (const wchar_t* sub : {L"", L"\\jp", L"\\lv2"}) {
    int expected = *sub == 0 ? 2 : 1;
    int count = countEntries(wideOut + sub);
    Expect(count == expected, "out" + Narrow(sub) + " holds " + std::to_string(count));
  }
  s.Exit();
}

void BareStubFindsNoArchive() {
  std::string dir = MakeTestDirectory("bare");
  std::string exe = dir + "\\bare.exe";
  REQUIRE(WriteFileBytes(exe, ReadFileBytes(stubPath)), "cannot copy the stub");
  Program program;
  REQUIRE(program.Start(exe, dir), "cannot start the bare stub");
  HWND box = nullptr;
  REQUIRE(WaitFor([&] { return (box = FindOtherDialog(program.Id(), nullptr)) != nullptr; }),
          "no box for a bare stub");
  Expect(MessageBoxText(box) == L"Couldn't find attached archive.",
         "box text " + Quote(MessageBoxText(box)));
  Expect(FindDialog(program.Id(), kMainCaption) == nullptr, "the main dialog showed");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  DWORD code = 1234;
  REQUIRE(program.WaitForExit(code), "the bare stub did not end");
  Expect(code == 0, "exit code " + std::to_string(code));
}

void ArchiveWithoutMembers() {
  std::string dir = MakeTestDirectory("nomembers");
  std::string exe = dir + "\\empty.exe";
  if (!BuildProgram(exe, Bytes{0})) return;  // just the end marker
  Program program;
  REQUIRE(program.Start(exe, dir), "cannot start");
  HWND box = nullptr;
  REQUIRE(WaitFor([&] {
            return (box = FindOtherDialog(program.Id(), nullptr)) != nullptr &&
                   TextOf(box) != kMainCaption;
          }),
          "no box for an archive without members");
  Expect(TextOf(box) == L"Error...", "box caption " + Quote(TextOf(box)));
  Expect(MessageBoxText(box) == L"Can't read archive header",
         "box text " + Quote(MessageBoxText(box)));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  HWND dialog = nullptr;
  REQUIRE(WaitFor([&] { return (dialog = FindDialog(program.Id(), kMainCaption)) != nullptr; }),
          "the main dialog did not appear after the box");
  Expect(SendMessageW(GetDlgItem(dialog, IDC_MEMBER_LIST), LB_GETCOUNT, 0, 0) == 0,
         "the list is not empty");
  Click(dialog, IDCANCEL);
  DWORD code = 1234;
  REQUIRE(program.WaitForExit(code), "the program did not end");
  Expect(code == 0, "exit code " + std::to_string(code));
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

struct Test {
  const char* name;
  void (*run)();
  UINT codePage = 0;  // the ANSI code page the test needs; 0 for any
};

const Test kTests[] = {
    {"initial state", InitialState},
    {"re-listing follows stored paths and the selection buttons",
     RelistingFollowsStoredPathsAndSelectionButtons},
    {"an archive without directories turns stored paths off",
     ArchiveWithoutDirectoriesTurnsStoredPathsOff},
    {"extract into a new nested directory", ExtractIntoNewNestedDirectory},
    {"a bad CRC stays selected", BadCrcStaysSelected},
    {"an empty path extracts into the current directory", EmptyPathExtractsIntoCurrentDirectory},
    {"an unsupported method stops the walk", UnsupportedMethodStopsTheWalk},
    {"the policy buttons decide about existing files", PolicyButtonsDecideAboutExistingFiles},
    {"a bare stub finds no archive", BareStubFindsNoArchive},
    {"an archive without members", ArchiveWithoutMembers},
    {"Exit, Escape and the close box end the program", ExitEscapeAndCloseBoxEndTheProgram},
    {"the overwrite question names the file and takes Enter, Escape and the close box",
     QuestionNamesTheFileAndTakesEnterEscapeAndCloseBox},
    {"Don't ask again turns the answer into the policy", DontAskAgainTurnsTheAnswerIntoThePolicy},
    {"Overwrite chosen under the question keeps the earlier answer",
     OverwriteChosenUnderTheQuestionKeepsTheEarlierAnswer},
    {"Don't ask again leaves one policy button ticked", DontAskAgainLeavesOnePolicyTicked},
    {"a file that cannot be replaced under Overwrite is reported and the walk goes on",
     UnreplaceableFileUnderOverwriteIsReportedAndTheWalkGoesOn},
    {"names leaving the directory are refused", NamesLeavingTheDirectoryAreRefused},
    {"Shift-JIS trail bytes are no separators", ShiftJisTrailBytesAreNoSeparators, 932},
};

}  // namespace
}  // namespace wine_e2e

namespace wine_e2e {
namespace {

// --build STUB ARCHIVE OUT: the stub with the archive attached.
int BuildMode(const char* stub, const char* archive, const char* out) {
  stubPath = stub;
  Bytes bytes = ReadFileBytes(archive);
  if (bytes.empty() || !BuildProgram(out, bytes)) {
    for (const std::string& f : failures) std::fprintf(stderr, "%s\n", f.c_str());
    return 1;
  }
  return 0;
}

// --extract-all SFX OUTDIR [HOLD-MS]: everything through the dialog into
// OUTDIR, answering every box with OK. Prints the list, the boxes and the
// verdict; keeps the dialog open HOLD-MS milliseconds after the verdict
// (for a screenshot), then leaves with Exit. Exit code 0 for the success
// verdict and a clean end.
int ExtractAllMode(const char* exe, const char* outDir, DWORD holdMs) {
  std::string directory = exe;
  directory = directory.substr(0, directory.find_last_of("\\/") + 1);
  Session s;
  if (!s.Start(exe, directory.empty() ? "." : directory)) {
    for (const std::string& f : failures) std::fprintf(stderr, "%s\n", f.c_str());
    return 1;
  }
  for (const std::wstring& entry : ListEntries(s.list))
    std::printf("listed: %s\n", Narrow(entry).c_str());
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(outDir));
  Click(s.dialog, IDOK);
  Sleep(300);
  // The walk has ended when Extract is enabled again and no box is waiting.
  for (int idle = 0; idle < 3;) {
    HWND box = FindOtherDialog(s.program.Id(), s.dialog);
    if (box != nullptr) {
      std::printf("box: %s: %s\n", Narrow(TextOf(box)).c_str(),
                  Narrow(MessageBoxText(box)).c_str());
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      WaitFor([&] { return !IsWindow(box); }, 5000);
      idle = 0;
    } else {
      idle = IsEnabled(s.dialog, IDOK) ? idle + 1 : 0;
    }
    Sleep(100);
  }
  std::wstring verdict = ControlText(s.dialog, IDC_STATUS_LINE);
  std::printf("verdict: %s\n", Narrow(verdict).c_str());
  std::fflush(stdout);
  Sleep(holdMs);
  s.Exit();
  for (const std::string& f : failures) std::printf("%s\n", f.c_str());
  return verdict == kSuccess && failures.empty() ? 0 : 1;
}

}  // namespace
}  // namespace wine_e2e

int main(int argc, char** argv) {
  using namespace wine_e2e;
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "--build" && argc == 5) return BuildMode(argv[2], argv[3], argv[4]);
  if (mode == "--extract-all" && (argc == 4 || argc == 5)) {
    return ExtractAllMode(argv[2], argv[3], argc == 5 ? std::strtoul(argv[4], nullptr, 10) : 0);
  }
  // --code-page N runs the tests that need that ANSI code page, which the
  // driver and the programs it starts must then have; without it, only the
  // tests that run under any code page.
  UINT codePage = 0;
  if (mode == "--code-page" && argc > 2) {
    codePage = static_cast<UINT>(std::strtoul(argv[2], nullptr, 10));
    argc -= 2;
    argv += 2;
    mode = argc > 1 ? argv[1] : "";
  }
  if (argc < 3 || mode.rfind("--", 0) == 0) {
    std::fprintf(stderr,
                 "usage: wine_driver [--code-page N] STUB.exe WORKDIR [TEST-NAME-PART]\n"
                 "       wine_driver --build STUB.exe ARCHIVE OUT.exe\n"
                 "       wine_driver --extract-all SFX.exe OUTDIR [HOLD-MS]\n");
    return 2;
  }
  stubPath = argv[1];
  workDir = argv[2];
  std::string only = argc > 3 ? argv[3] : "";
  CreateDirectoryA(workDir.c_str(), nullptr);

  int failed = 0, run = 0;
  for (const Test& test : kTests) {
    if (!only.empty() && std::string(test.name).find(only) == std::string::npos) continue;
    if (test.codePage != codePage) continue;
    failures.clear();
    notes.clear();
    if (GetACP() == codePage || codePage == 0) {
      test.run();
    } else {
      failures.push_back("the ANSI code page is " + std::to_string(GetACP()) + ", not " +
                         std::to_string(codePage));
    }
    ++run;
    if (failures.empty()) {
      std::printf("ok %d - %s\n", run, test.name);
      for (const std::string& note : notes) std::printf("    # %s\n", note.c_str());
    } else {
      ++failed;
      std::printf("not ok %d - %s\n", run, test.name);
      for (const std::string& f : failures) std::printf("    %s\n", f.c_str());
    }
    std::fflush(stdout);
  }
  if (run > 0 || codePage == 0) std::printf("%d of %d Wine tests passed\n", run - failed, run);
  return failed;
}
