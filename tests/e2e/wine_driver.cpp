// Drives self-extracting programs under Wine the way a user would: starts
// them, finds their dialogs and boxes, clicks, types, reads the controls
// back and looks at the files on disk.
//
// Usage: wine_driver STUB.exe WORKDIR [TEST-NAME-PART]
// Each test builds its programs from the stub and small crafted archives
// under WORKDIR. Prints one "ok" or "not ok" line per test; the exit code is
// the number of failed tests.
//        wine_driver --code-page N STUB.exe WORKDIR [TEST-NAME-PART]
//        wine_driver --dpi N STUB.exe WORKDIR [TEST-NAME-PART]
//
// The tests live beside it, one file per window they exercise
// (startup_tests.cpp, main_dialog_tests.cpp, extraction_tests.cpp,
// overwrite_question_tests.cpp); a new test is a function and a row in the
// table at the end of its file.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo_tools.h"
#include "test_files.h"
#include "timing_tools.h"
#include "wine_test.h"

int main(int argc, char** argv) {
  using namespace wine_e2e;
  // Window rectangles in the screen's own pixels, as the DPI-aware program
  // has them.
  SetProcessDPIAware();
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "--build" && argc == 5) return BuildMode(argv[2], argv[3], argv[4]);
  if (mode == "--checksum" && argc == 3) return ChecksumMode(argv[2]);
  if (mode == "--time-extract" && argc == 4) return TimeExtractMode(argv[2], argv[3]);
  if (mode == "--time-run" && argc > 2) return TimeRunMode(argc - 2, argv + 2);
  if (mode == "--extract-all" && (argc == 4 || argc == 5)) {
    return ExtractAllMode(argv[2], argv[3], argc == 5 ? std::strtoul(argv[4], nullptr, 10) : 0);
  }
  // --code-page N runs the tests that need that ANSI code page, which the
  // driver and the programs it starts must then have; --dpi N the tests that
  // run once per screen DPI, for a screen of N DPI; without either, the
  // tests that run under any code page, once.
  UINT codePage = 0;
  int dpi = 0;
  if ((mode == "--code-page" || mode == "--dpi") && argc > 2) {
    unsigned long value = std::strtoul(argv[2], nullptr, 10);
    if (mode == "--dpi") {
      dpi = static_cast<int>(value);
    } else {
      codePage = static_cast<UINT>(value);
    }
    argc -= 2;
    argv += 2;
    mode = argc > 1 ? argv[1] : "";
  }
  if (argc < 3 || mode.rfind("--", 0) == 0) {
    std::fprintf(stderr,
                 "usage: wine_driver [--code-page N | --dpi N] STUB.exe WORKDIR [TEST-NAME-PART]\n"
                 "       wine_driver --build STUB.exe ARCHIVE OUT.exe\n"
                 "       wine_driver --extract-all SFX.exe OUTDIR [HOLD-MS]\n"
                 "       wine_driver --checksum FILE.exe\n"
                 "       wine_driver --time-extract SFX.exe OUTDIR\n"
                 "       wine_driver --time-run EXE [ARGUMENT...]\n");
    return 2;
  }
  stubPath = argv[1];
  workDir = argv[2];
  std::string only = argc > 3 ? argv[3] : "";
  CreateDirectoryA(workDir.c_str(), nullptr);

  return RunTests(only, codePage, dpi);
}
