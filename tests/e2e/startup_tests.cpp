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

}  // namespace

const Tests& StartupTests() {
  static const Tests kTests = {
      {"a bare stub finds no archive", BareStubFindsNoArchive},
      {"an archive without members", ArchiveWithoutMembers},
  };
  return kTests;
}

}  // namespace wine_e2e
