// Extraction through the main dialog: what lands on disk, what stays
// selected, and the boxes of the walk.
#include <windows.h>

#include <string>
#include <vector>

#include "resource_ids.h"
#include "session.h"
#include "test_files.h"
#include "wine_test.h"

namespace wine_e2e {
namespace {

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

// A Unix symbolic link at `at` (on Z:) leading to `to`. Wine makes no
// junctions (FSCTL_SET_REPARSE_POINT fails, CreateSymbolicLink makes
// nothing) but shows a Unix link as a reparse point, which stands in for one.
bool MakeUnixLink(const std::string& to, const std::string& at) {
  auto unix = [](std::string path) {
    for (char& c : path) c = c == '\\' ? '/' : c;
    return path.substr(2);  // after "Z:"
  };
  std::string command = "/bin/ln -s " + unix(to) + " " + unix(at);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA("Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  // A Unix process gives no handle to wait on: the link is waited for.
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return WaitFor([&] { return Exists(at); });
}

// Under Overwrite, a member that fails its check leaves the file it was to
// replace as it was, and one whose path goes through a link (a junction on
// Windows) is refused; no temporary file stays behind.
void FailedReplacementKeepsTheFileAndNoLinkIsFollowed() {
  std::string dir = MakeTestDirectory("safewrites");
  std::string exe = dir + "\\safe.exe";
  MemberPlan bad = Stored("keep.txt", "broken");
  bad.crc ^= 0x1234;
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(
                             {bad, Stored("ab\\x.txt", "through"), Stored("ok.txt", "ok")})))
    return;
  std::string out = OutputWithExistingFiles(dir, {"keep.txt"});
  std::string elsewhere = dir + "\\elsewhere";
  CreateDirectoryA(elsewhere.c_str(), nullptr);
  REQUIRE(MakeUnixLink(elsewhere, out + "\\ab"), "cannot make a link in " + out);
  Session s;
  if (!s.Start(exe, dir)) return;
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDC_POLICY_OVERWRITE);
  Expect(WaitFor([&] { return PolicyTicks(s.dialog) == "cOs"; }), "Overwrite not ticked");
  Click(s.dialog, IDOK);
  ExpectCouldNotOpen(s, out + "\\ab\\x.txt");
  Expect(s.WaitForStatus(kFailure), "verdict " + s.Verdict());
  Expect(ReadFileBytes(out + "\\keep.txt") == lzhtest::ToBytes("old"),
         "a damaged member replaced the file");
  Expect(!Exists(elsewhere + "\\x.txt"), "written through the link");
  ExpectFile(out + "\\ok.txt", "ok");
  Expect(!Exists(out + "\\~lzh0000.tmp"), "a temporary file stayed");
  Expect(SelectedCount(s.list) == 2, "keep.txt and ab\\x.txt stay selected");
  s.Exit();
}

// Runs lzhsfx.exe, the tool beside the stub, in dir; true when it ends with
// expected (else a failure says how it ended).
bool RunTool(const std::string& dir, const std::string& args, DWORD expected) {
  std::string tool = stubPath.substr(0, stubPath.find_last_of('\\') + 1) + "lzhsfx.exe";
  Program run;
  if (!Expect(run.Start(tool, dir, args), "cannot start " + tool)) return false;
  DWORD code = 0xFFFF;
  return Expect(run.WaitForExit(code) && code == expected,
                "lzhsfx.exe " + args.substr(0, args.find(' ')) + " ended with " +
                    std::to_string(code) + ", not " + std::to_string(expected));
}

// Double-byte names, under the ANSI code page 932.
// Shift-JIS 0x95 0x5C is U+8868, a character whose second byte is that of
// "\". In a stored path and in a directory record, it stays one character;
// a name may end in it (0x83 0x5C, U+30BD).
void ShiftJisTrailBytesAreNoSeparators() {
  std::string dir = MakeTestDirectory("sjis");
  std::string exe = dir + "\\sjis.exe";
  if (!BuildProgram(
          exe, lzhtest::ArchiveBytes(
                   {Stored("jp\\\x95\x5C.txt", "hyou"), Stored("jp\\\x83\x5C", "so"),
                    StoredInDirectory("lv2", "\x95\x5C\x95\x5C.txt", "from a directory record")})))
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
  Expect(entries == SortedNames({L"jp\\\u8868.txt", L"jp\\\u30BD", L"lv2\\\u8868\u8868.txt"}),
         "listed (UTF-16 units):" + shown);
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);
  REQUIRE(s.WaitForStatus(kSuccess), "verdict " + s.Verdict());
  std::wstring wideOut = Widen(out);
  const std::wstring files[] = {wideOut + L"\\jp\\\u8868.txt", wideOut + L"\\jp\\\u30BD",
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
  auto expectWhole = [&](const std::wstring& top) {
    for (const wchar_t* sub : {L"", L"\\jp", L"\\lv2"}) {
      int expected = std::wstring(sub) == L"\\lv2" ? 1 : 2;
      int count = countEntries(top + sub);
      Expect(count == expected, Narrow(top + sub) + " holds " + std::to_string(count));
    }
  };
  expectWhole(wideOut);
  s.Exit();

  // The command-line tool beside the stub splits names where the stub does.
  std::string toolOut = dir + "\\tool-out";
  RunTool(dir, "extract \"" + exe + "\" -C \"" + toolOut + "\" --overwrite", 0);
  expectWhole(Widen(toolOut));

  // Again with no flag and nobody to answer: each existing file is skipped
  // and the run fails, not "no" to every question and success.
  RunTool(dir, "extract \"" + exe + "\" -C \"" + toolOut + "\"", 1);
}

// A program made by lzhsfx create from names in three scripts shows and
// extracts each as named under any ANSI code page (this runs under 1252 and
// under 932): the names travel as UTF-16 records, which the program reads
// in preference to the stored bytes.
void NamesMadeElsewhereShowAndExtractAsNamed() {
  std::string dir = MakeTestDirectory(GetACP() == 932 ? "names932" : "names");
  if (GetACP() != 932 && GetACP() != 1252)
    notes.push_back("the ANSI code page here is " + std::to_string(GetACP()));
  const std::vector<std::wstring> names = {L"caf\u00e9.txt", L"\u00dcbersicht.txt",
                                           L"\u8aac\u660e\u66f8.txt"};
  std::wstring source = Widen(dir) + L"\\src";
  CreateDirectoryW(source.c_str(), nullptr);
  for (const std::wstring& name : names) {
    HANDLE file = CreateFileW((source + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    REQUIRE(file != INVALID_HANDLE_VALUE && WriteFile(file, "x", 1, &written, nullptr),
            "cannot write " + Narrow(name));
    CloseHandle(file);
  }
  std::string exe = dir + "\\names.exe";
  REQUIRE(RunTool(dir, "create \"" + exe + "\" -C src . --stub \"" + stubPath + "\"", 0),
          "lzhsfx.exe create failed");

  Session s;
  if (!s.Start(exe, dir)) return;
  Expect(ListEntries(s.list) == SortedNames(names), "listed: " + Join(ListEntries(s.list)));
  std::string out = dir + "\\out";
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);
  REQUIRE(s.WaitForStatus(kSuccess), "verdict " + s.Verdict());
  for (const std::wstring& name : names) {
    std::wstring file = Widen(out) + L"\\" + name;
    Expect(GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES, "missing " + Narrow(file));
  }
  s.Exit();
}

// Archives of other archivers' methods, and one of header level 3, become
// programs through lzhsfx build --repack; each program extracts the same
// files as lzhsfx.exe extracts from the archive.
void RepackedArchivesOfOtherMethodsExtract() {
  const std::string corpus = LZH_CORPUS_DIR;
  if (!IsDirectory(corpus)) {
    notes.push_back("the shared corpus is absent: repacked archives of other methods untried");
    return;
  }
  std::string dir = MakeTestDirectory("repacked");
  const char* const archives[] = {"dos-3/lz5.lzs",         "generated/lzs/lzs.lzs",
                                  "msx-1/pm2.pma",         "generated/pm1/pm1.pma",
                                  "windows-2/h2_lhx.lzh",  "windows-2/lh3.lzh",
                                  "windows-2/lh2.lzh"};
  // Level 3: one stored member with its name in a record.
  MemberPlan level3 = Stored("level3.txt", "a member under a level-3 header");
  level3.level = 3;
  WriteFileBytes(dir + "\\level3.lzh", lzhtest::ArchiveBytes({level3}));
  std::vector<std::string> paths = {dir + "\\level3.lzh"};
  for (const char* archive : archives) paths.push_back(corpus + "\\" + archive);
  int made = 0;
  for (const std::string& archive : paths) {
    const std::string name = std::to_string(made++);
    const std::string exe = dir + "\\" + name + ".exe";
    if (!RunTool(dir, "build --repack \"" + archive + "\" -o \"" + exe + "\" --stub \"" +
                          stubPath + "\"",
                 0))
      continue;
    const std::string fromTool = dir + "\\tool" + name;
    const std::string fromProgram = dir + "\\program" + name;
    if (!RunTool(dir, "extract \"" + archive + "\" -C \"" + fromTool + "\" -q", 0)) continue;
    Session s;
    if (!s.Start(exe, dir)) continue;
    SetControlText(s.dialog, IDC_PATH_EDIT, Widen(fromProgram));
    Click(s.dialog, IDOK);
    Expect(s.WaitForStatus(kSuccess), archive + ": verdict " + s.Verdict());
    s.Exit();
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((fromTool + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
          files.push_back(found.cFileName);
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    Expect(!files.empty(), archive + ": lzhsfx.exe extracted nothing");
    for (const std::string& file : files) {
      Expect(ReadFileBytes(fromProgram + "\\" + file) == ReadFileBytes(fromTool + "\\" + file),
             archive + ": " + file + " differs from what lzhsfx.exe extracted");
    }
  }
}

}  // namespace

const Tests& ExtractionTests() {
  static const Tests kTests = {
      {"extract into a new nested directory", ExtractIntoNewNestedDirectory},
      {"a file that cannot be replaced under Overwrite is reported and the walk goes on",
       UnreplaceableFileUnderOverwriteIsReportedAndTheWalkGoesOn},
      {"a failed replacement keeps the file and no link is followed",
       FailedReplacementKeepsTheFileAndNoLinkIsFollowed},
      {"Shift-JIS trail bytes are no separators", ShiftJisTrailBytesAreNoSeparators, 932},
      {"names made on another system show and extract as named",
       NamesMadeElsewhereShowAndExtractAsNamed},
      {"names made on another system show and extract as named (code page 932)",
       NamesMadeElsewhereShowAndExtractAsNamed, 932},
      {"archives of other archivers' methods repacked into programs extract",
       RepackedArchivesOfOtherMethodsExtract},
  };
  return kTests;
}

}  // namespace wine_e2e
