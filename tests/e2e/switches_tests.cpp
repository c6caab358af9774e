// The program's switches: silent extraction and its exit codes, the folder
// given on the command line, and the box that lists the switches.
#include <windows.h>

#include <string>
#include <vector>

#include "resource_ids.h"
#include "session.h"
#include "test_files.h"
#include "wine_test.h"

namespace wine_e2e {
namespace {

// Runs exe from dir with arguments and gives its exit code. A window of a
// silent run would wait for a click, so one fails the run.
bool RunWithoutWindow(const std::string& exe, const std::wstring& dir,
                      const std::wstring& arguments, DWORD& code) {
  Program program;
  if (!Expect(program.Start(Widen(exe), dir, arguments), "cannot start " + exe)) return false;
  bool windowless = WaitFor([&] { return !program.Running() || CountDialogs(program.Id()) > 0; }) &&
                    !program.Running();
  return Expect(windowless, "a window showed for " + Narrow(arguments)) &&
         Expect(program.WaitForExit(code), "the program did not end");
}

std::string ReadWide(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(missing)";
  char bytes[64];
  DWORD read = 0;
  ReadFile(file, bytes, sizeof bytes, &read, nullptr);
  CloseHandle(file);
  return std::string(bytes, read);
}

// Into a new folder and over existing files, with and without /O; the
// folder from /D= (spaces and all) or the current one.
void SilentExtraction() {
  struct Case {
    const char* label;
    std::vector<std::string> existing;  // in dir\out, holding "old"
    std::wstring arguments;             // "%OUT%" stands for dir\out
    DWORD code;
    const char* aTxt;  // what out\a.txt holds afterwards
  };
  const Case cases[] = {
      {"new folder with spaces", {}, L"/S /D=%OUT%\\new  folder", 0, nullptr},
      {"existing skipped", {"a.txt"}, L"/S /D=%OUT%", 1, "old"},
      {"existing overwritten, lower case and dashes", {"a.txt"}, L"-s -o -d=%OUT%", 0, "AAAA"},
      {"current folder", {"a.txt"}, L"/O /S", 0, "AAAA"},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string dir = MakeTestDirectory("silent" + std::to_string(n++));
    std::string exe = dir + "\\silent.exe";
    if (!BuildProgram(exe, lzhtest::ArchiveBytes(MixedMembers()))) return;
    std::string out = OutputWithExistingFiles(dir, c.existing);
    std::wstring arguments = c.arguments;
    std::size_t at = arguments.find(L"%OUT%");
    if (at != std::wstring::npos) arguments.replace(at, 5, Widen(out));
    DWORD code = 1234;
    if (!RunWithoutWindow(exe, Widen(out), arguments, code)) continue;
    Expect(code == c.code, std::string(c.label) + ": exit code " + std::to_string(code));
    std::string into = c.aTxt == nullptr ? out + "\\new  folder" : out;
    ExpectFile(into + "\\Zeta\\sub\\b.bin", std::string("\x00\x01\x02\xFF", 4));
    ExpectFile(into + "\\docs\\readme.txt", "read me\r\n");
    if (c.aTxt == nullptr) {
      ExpectFile(into + "\\a.txt", "AAAA");
    } else {
      Expect(ReadFileBytes(into + "\\a.txt") == lzhtest::ToBytes(c.aTxt),
             std::string(c.label) + ": a.txt is not " + c.aTxt);
    }
  }
}

void SilentDamagedMember() {
  std::string dir = MakeTestDirectory("silentdamaged");
  std::string exe = dir + "\\damaged.exe";
  MemberPlan bad = Stored("bad.txt", "broken");
  bad.crc ^= 0x1234;
  if (!BuildProgram(exe,
                    lzhtest::ArchiveBytes({Stored("a.txt", "AAAA"), bad, Stored("z.txt", "Z")})))
    return;
  DWORD code = 1234;
  if (!RunWithoutWindow(exe, Widen(dir), L"/S", code)) return;
  Expect(code == 1, "exit code " + std::to_string(code));
  ExpectFile(dir + "\\a.txt", "AAAA");
  ExpectFile(dir + "\\z.txt", "Z");
}

// A bad switch is code 2: with the box that lists the switches, or, under
// /S, without any window; so is a silent program without an archive.
void BadSwitchesAndArchive() {
  std::string dir = MakeTestDirectory("badswitch");
  std::string exe = dir + "\\switches.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(MixedMembers()))) return;
  for (const wchar_t* arguments : {L"/x", L"/?", L"-H", L"/Sx", L"stray /D="}) {
    Program program;
    REQUIRE(program.Start(Widen(exe), Widen(dir), arguments), "cannot start");
    HWND box = nullptr;
    REQUIRE(WaitFor([&] { return (box = FindOtherDialog(program.Id(), nullptr)) != nullptr; }),
            "no box for " + Narrow(arguments));
    Expect(MessageBoxText(box).rfind(L"/S\t", 0) == 0, "box " + Quote(MessageBoxText(box)));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    DWORD code = 1234;
    REQUIRE(program.WaitForExit(code), "the program did not end");
    DWORD expected = arguments[1] == L'?' || arguments[1] == L'H' ? 0 : 2;
    Expect(code == expected, Narrow(arguments) + ": exit code " + std::to_string(code));
  }
  DWORD code = 1234;
  if (RunWithoutWindow(exe, Widen(dir), L"/S /unknown", code))
    Expect(code == 2, "/S /unknown: exit code " + std::to_string(code));
  Expect(!Exists(dir + "\\a.txt"), "extracted after a bad switch");
  std::string bare = dir + "\\bare.exe";
  REQUIRE(WriteFileBytes(bare, ReadFileBytes(stubPath)), "cannot copy the stub");
  if (RunWithoutWindow(bare, Widen(dir), L"/S", code))
    Expect(code == 2, "bare stub /S: exit code " + std::to_string(code));
}

// /D= takes the rest of the line, spaces and any characters included: the
// dialog shows it in the path field, and /S extracts into it.
void FolderFromCommandLine() {
  std::string dir = MakeTestDirectory("dswitch");
  std::string exe = dir + "\\folder.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(MixedMembers()))) return;
  const std::wstring folder = Widen(dir) + L"\\D\u00e9j\u00e0 vu \u65e5\u672c \u0410";
  Session s;
  REQUIRE(s.program.Start(Widen(exe), Widen(dir), L"/D=" + folder), "cannot start");
  REQUIRE(WaitFor([&] { return (s.dialog = FindDialog(s.program.Id(), kMainCaption)) != nullptr; }),
          "no main dialog");
  Expect(ControlText(s.dialog, IDC_PATH_EDIT) == folder,
         "path field " + Quote(ControlText(s.dialog, IDC_PATH_EDIT)));
  s.Exit();
  DWORD code = 1234;
  if (!RunWithoutWindow(exe, Widen(dir), L"/s /d=" + folder + L"  ", code)) return;
  Expect(code == 0, "exit code " + std::to_string(code));
  Expect(ReadWide(folder + L"\\a.txt") == "AAAA", "a.txt not in " + Narrow(folder));
}

// The lines "SWITCH<tab>TEXT" of the /? box, and the manual page's ".TP",
// ".B SWITCH", "TEXT" entries about the program, in the same order.
void HelpBoxMatchesManualPage() {
  std::string page(LZH_MAN_PAGE);
  for (char& c : page)
    if (c == '/') c = '\\';
  Bytes bytes = ReadFileBytes("Z:" + page);
  std::string text(bytes.begin(), bytes.end());
  std::size_t from = text.find(".SH THE SELF-EXTRACTING PROGRAM");
  REQUIRE(from != std::string::npos, "no section on the program in " + page);
  std::string section = text.substr(from, text.find("\n.SH ", from + 1) - from);
  std::vector<std::string> pageLines, boxLines;
  for (std::size_t at = 0; (at = section.find(".TP\n.B ", at)) != std::string::npos;) {
    std::size_t keyEnd = section.find('\n', at + 7);
    std::size_t lineEnd = section.find('\n', keyEnd + 1);
    std::string entry = section.substr(at + 7, keyEnd - at - 7) + "\t" +
                        section.substr(keyEnd + 1, lineEnd - keyEnd - 1);
    for (std::size_t dash; (dash = entry.find("\\-")) != std::string::npos;) entry.erase(dash, 1);
    pageLines.push_back(entry);
    at = lineEnd;
  }

  std::string dir = MakeTestDirectory("helpbox");
  std::string exe = dir + "\\help.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(MixedMembers()))) return;
  Program program;
  REQUIRE(program.Start(Widen(exe), Widen(dir), L"/?"), "cannot start");
  HWND box = nullptr;
  REQUIRE(WaitFor([&] { return (box = FindOtherDialog(program.Id(), nullptr)) != nullptr; }),
          "no box for /?");
  std::string shown = Narrow(MessageBoxText(box));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  for (std::size_t at = 0; at < shown.size();) {
    std::size_t end = shown.find('\n', at);
    if (end == std::string::npos) end = shown.size();
    std::string line = shown.substr(at, end - at);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.find('\t') != std::string::npos) boxLines.push_back(line);
    at = end + 1;
  }
  REQUIRE(boxLines.size() == pageLines.size() && boxLines.size() >= 7,
          std::to_string(boxLines.size()) + " lines in the box, " +
              std::to_string(pageLines.size()) + " in the page:\n" + shown);
  for (std::size_t i = 0; i < boxLines.size(); ++i)
    Expect(boxLines[i] == pageLines[i], "the box shows " + Quote(Widen(boxLines[i])) +
                                            ", the page " + Quote(Widen(pageLines[i])));
}

std::wstring Expanded(const wchar_t* text) {
  wchar_t out[MAX_PATH];
  return ExpandEnvironmentStringsW(text, out, MAX_PATH) - 1 < MAX_PATH ? out : L"";
}

// A program made with a title, a folder under %TEMP% and a command (a batch
// file of the archive that leaves a marker and ends with code 7).
void MakersSettings() {
  std::string dir = MakeTestDirectory("settings");
  std::string exe = dir + "\\settings.exe";
  const std::u16string title = u"Mon titre \u2713 \u65e5\u672c";
  const std::wstring folder = L"%TEMP%\\lzhsfx settings " + std::to_wstring(GetTickCount());
  MemberPlan batch = Stored("mark.bat", "@echo ran> marker.txt\r\n@exit /b 7\r\n");
  lzh::sfx::ProgramSettings settings{title, std::u16string(folder.begin(), folder.end()),
                                     u"mark.bat"};
  if (!BuildProgram(exe, lzhtest::ArchiveBytes({Stored("a.txt", "AAAA"), batch}), settings)) return;

  // The dialog: the caption, the folder expanded, the command named; once
  // everything is out, the command runs and the dialog closes.
  Session s;
  REQUIRE(s.program.Start(Widen(exe), Widen(dir)), "cannot start");
  const std::wstring caption(title.begin(), title.end());
  REQUIRE(WaitFor([&] { return (s.dialog = FindDialog(s.program.Id(), caption)) != nullptr; }),
          "no dialog captioned with the title");
  Expect(ControlText(s.dialog, IDC_PATH_EDIT) == Expanded(folder.c_str()),
         "path field " + Quote(ControlText(s.dialog, IDC_PATH_EDIT)));
  Expect(ControlText(s.dialog, IDC_STATUS_LINE) == L"Runs after extraction: mark.bat",
         "status line " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
  std::string out = dir + "\\out";
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);
  s.ExpectEnds();
  Expect(WaitFor([&] { return Exists(out + "\\marker.txt"); }), "the command did not run");

  // Silent, into the maker's folder: the command's exit code.
  DWORD code = 1234;
  if (RunWithoutWindow(exe, Widen(dir), L"/S", code)) {
    Expect(code == 7, "/S: exit code " + std::to_string(code));
    Expect(ReadWide(Expanded(folder.c_str()) + L"\\marker.txt") == "ran\r\n",
           "no marker in the maker's folder");
  }

  // Nothing runs after a partial extraction.
  MemberPlan bad = Stored("bad.txt", "broken");
  bad.crc ^= 0x1234;
  std::string failing = dir + "\\failing.exe";
  if (!BuildProgram(failing, lzhtest::ArchiveBytes({batch, bad}), settings)) return;
  std::string out2 = dir + "\\out2";
  if (RunWithoutWindow(failing, Widen(dir), L"/S /D=" + Widen(out2), code)) {
    Expect(code == 1, "/S with a damaged member: exit code " + std::to_string(code));
    Expect(Exists(out2 + "\\mark.bat") && !Exists(out2 + "\\marker.txt"),
           "the command ran after a failed extraction");
  }
}

}  // namespace

const Tests& SwitchesTests() {
  static const Tests kTests = {
      {"switches: /S into new and existing files, with and without /O", SilentExtraction},
      {"switches: /S with a damaged member", SilentDamagedMember},
      {"switches: /?, /H, bad switches and no archive", BadSwitchesAndArchive},
      {"switches: /D= with spaces and non-ASCII", FolderFromCommandLine},
      {"switches: the /? box and the manual page agree", HelpBoxMatchesManualPage},
      {"maker's settings: title, default folder and command", MakersSettings},
  };
  return kTests;
}

}  // namespace wine_e2e
