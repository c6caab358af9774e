// Start-up: the boxes shown before the main dialog, and how the program
// finds itself and its archive.
#include <windows.h>

#include <string>
#include <vector>

#include "resource_ids.h"
#include "session.h"
#include "test_files.h"
#include "wine_test.h"

namespace wine_e2e {
namespace {

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

// The program lists its members and extracts one: it has opened itself.
void ExpectWorks(Session& s, const std::string& out) {
  std::vector<std::wstring> entries = ListEntries(s.list);
  Expect(entries == SortedNames({L"docs\\readme.txt", L"a.txt", L"Zeta\\sub\\b.bin"}),
         "listed: " + Join(entries));
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);
  if (Expect(s.WaitForStatus(kSuccess), "verdict " + s.Verdict()))
    ExpectFile(out + "\\a.txt", "AAAA");
}

// The Unix path of a file on Wine's Z: drive (the whole Unix file system),
// from its "\\?\Z:\..." form.
std::string UnixPathOf(const std::wstring& path) {
  std::string unix = Narrow(path.substr(path.find(L':') + 1));
  for (char& c : unix)
    if (c == '\\') c = '/';
  return unix;
}

// The program opens its own file whatever its folder is called: a name the
// ANSI code page cannot spell (Greek and an emoji, outside code page 1252
// and every other), and a path longer than MAX_PATH.
void StartsFromAnyFolder() {
  std::string dir = MakeTestDirectory("folders");
  std::string built = dir + "\\mixed.exe";
  if (!BuildProgram(built, lzhtest::ArchiveBytes(MixedMembers()))) return;
  std::wstring wideDir = Widen(dir);
  std::vector<std::wstring> longPath = {L"\\\\?\\" + wideDir + L"\\long"};
  for (wchar_t c = L'a'; longPath.back().size() < 300; ++c)
    longPath.push_back(longPath.back() + L"\\" + std::wstring(60, c));
  const struct {
    const char* label;
    std::vector<std::wstring> folders;  // made one after the other
  } cases[] = {
      {"Greek and an emoji", {wideDir + L"\\\u0391\u03C1\u03C7\u03B5\u03AF\u03B1 \U0001F4E6"}},
      {"longer than MAX_PATH", longPath},
  };
  int n = 0;
  for (const auto& c : cases) {
    std::size_t before = failures.size();
    [&] {
      for (const std::wstring& folder : c.folders) CreateDirectoryW(folder.c_str(), nullptr);
      std::wstring exe = c.folders.back() + L"\\mixed.exe";
      REQUIRE(CopyFileW(Widen(built).c_str(), exe.c_str(), FALSE), "cannot copy the program");
      Session s;
      // Wine's CreateProcess takes no path that long; a shell can.
      bool started =
          exe.size() < MAX_PATH ? s.Start(exe, wideDir) : s.StartByUnixPath(UnixPathOf(exe));
      if (!started) return;
      ExpectWorks(s, dir + "\\out" + std::to_string(++n));
      s.Exit();
    }();
    for (std::size_t i = before; i < failures.size(); ++i)
      failures[i] = std::string(c.label) + ": " + failures[i];
  }
}

// DLLs that the system loads by name on the program's behalf come from the
// system directory only, not from the program's folder (a Downloads folder
// where someone left a DLL with a system DLL's name). Wine prefers its own
// DLLs to any it finds; "native first" for uxtheme.dll, which is loaded
// while the dialog is made, makes it take the first file the search finds,
// as Windows does. (Wine's own user32 imports version.dll, so that one is
// resolved before the program runs; under Wine's default order the planted
// copy stays unloaded too. On Windows user32 is a known DLL whose imports
// come from the system directory.)
void PlantedDllsAreNotLoaded() {
  std::string dir = MakeTestDirectory("planted");
  std::string exe = dir + "\\planted.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(MixedMembers()))) return;
  char driver[MAX_PATH];
  GetModuleFileNameA(nullptr, driver, MAX_PATH);
  std::string planted = driver;
  planted = planted.substr(0, planted.find_last_of('\\')) + "\\planted_dll.dll";
  const char* names[] = {"uxtheme.dll", "version.dll"};
  for (const char* name : names)
    REQUIRE(CopyFileA(planted.c_str(), (dir + "\\" + name).c_str(), FALSE),
            "cannot plant " + std::string(name));
  // Wine's own per-program setting; removed again when the program has run.
  const wchar_t overrides[] = L"Software\\Wine\\AppDefaults\\planted.exe\\DllOverrides";
  REQUIRE(RegSetKeyValueW(HKEY_CURRENT_USER, overrides, L"uxtheme", REG_SZ, L"native,builtin",
                          sizeof L"native,builtin") == ERROR_SUCCESS,
          "cannot set the DLL load order");
  Session s;
  bool started = s.Start(exe, dir);
  if (started) {
    ExpectWorks(s, dir + "\\out");
    s.Exit();
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\planted.exe");
  if (!started) return;
  for (const char* name : names)
    Expect(!Exists(dir + "\\" + name + ".loaded"),
           std::string("the planted ") + name + " was loaded");
}

}  // namespace

const Tests& StartupTests() {
  static const Tests kTests = {
      {"a bare stub finds no archive", BareStubFindsNoArchive},
      {"an archive without members", ArchiveWithoutMembers},
      {"the program starts from any folder", StartsFromAnyFolder},
      {"DLLs planted beside the program are not loaded", PlantedDllsAreNotLoaded},
  };
  return kTests;
}

}  // namespace wine_e2e
