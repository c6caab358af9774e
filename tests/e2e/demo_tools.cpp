#include "demo_tools.h"

#include <imagehlp.h>

#include <cstdio>
#include <string>

#include "resource_ids.h"
#include "session.h"
#include "test_files.h"
#include "wine_test.h"

namespace wine_e2e {

int BuildMode(const char* stub, const char* archive, const char* out) {
  stubPath = stub;
  Bytes bytes = ReadFileBytes(archive);
  if (bytes.empty() || !BuildProgram(out, bytes)) {
    for (const std::string& f : failures) std::fprintf(stderr, "%s\n", f.c_str());
    return 1;
  }
  return 0;
}

int ExtractAllMode(const char* exe, const char* outDir, DWORD holdMs) {
  std::string directory = exe;
  directory = directory.substr(0, directory.find_last_of("\\/") + 1);
  Session s;
  if (!s.Start(exe, directory.empty() ? "." : directory)) {
    for (const std::string& f : failures) std::fprintf(stderr, "%s\n", f.c_str());
    return 1;
  }
  RECT frame;
  GetWindowRect(s.dialog, &frame);
  std::printf("dialog: %ldx%ld+%ld+%ld\n", frame.right - frame.left, frame.bottom - frame.top,
              frame.left, frame.top);
  for (const std::wstring& entry : ListEntries(s.list))
    std::printf("listed: %s\n", Narrow(entry).c_str());
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(outDir));
  Click(s.dialog, IDOK);
  Sleep(300);
  // The walk has ended when Extract is enabled again and no box is waiting.
  bool heldABox = false;
  for (int idle = 0; idle < 3;) {
    HWND box = FindOtherDialog(s.program.Id(), s.dialog);
    if (box != nullptr) {
      std::printf("box: %s: %s\n", Narrow(TextOf(box)).c_str(),
                  Narrow(MessageBoxText(box)).c_str());
      // The first box stays up as long as the dialog does at the end, for
      // its picture.
      if (!heldABox) {
        heldABox = true;
        RECT place;
        GetWindowRect(box, &place);
        std::printf("box at: %ldx%ld+%ld+%ld\n", place.right - place.left, place.bottom - place.top,
                    place.left, place.top);
        std::fflush(stdout);
        Sleep(holdMs);
      }
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

int ChecksumMode(const char* file) {
  DWORD inHeader = 0, computed = 0;
  if (MapFileAndCheckSumA(file, &inHeader, &computed) != CHECKSUM_SUCCESS) {
    std::printf("cannot read %s\n", file);
    return 1;
  }
  std::printf("checksum in the header %08lX, computed %08lX\n", inHeader, computed);
  return inHeader == computed ? 0 : 1;
}

}  // namespace wine_e2e
