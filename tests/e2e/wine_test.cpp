#include "wine_test.h"

#include <cstdio>

namespace wine_e2e {

std::vector<std::string> failures;
std::vector<std::string> notes;
int runDpi = 0;

namespace {

// Why the system cannot run the test as asked, or "".
std::string Unfit(UINT codePage, int dpi) {
  if (codePage != 0 && GetACP() != codePage)
    return "the ANSI code page is " + std::to_string(GetACP()) + ", not " +
           std::to_string(codePage);
  if (dpi != 0) {
    HDC screen = GetDC(nullptr);
    int actual = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (actual != dpi)
      return "the screen has " + std::to_string(actual) + " DPI, not " + std::to_string(dpi);
  }
  return "";
}

}  // namespace

bool Expect(bool condition, const std::string& what) {
  if (!condition) failures.push_back(what);
  return condition;
}

int RunTests(const std::string& only, UINT codePage, int dpi) {
  int failed = 0, run = 0;
  runDpi = dpi;
  for (const Tests* tests : {&MainDialogTests(), &ExtractionTests(), &StartupTests(),
                             &OverwriteQuestionTests(), &LayoutTests(), &SwitchesTests()}) {
    for (const Test& test : *tests) {
      if (!only.empty() && std::string(test.name).find(only) == std::string::npos) continue;
      if (test.codePage != codePage || test.perDpi != (dpi != 0)) continue;
      failures.clear();
      notes.clear();
      std::string unfit = Unfit(codePage, dpi);
      if (unfit.empty()) {
        test.run();
      } else {
        failures.push_back(unfit);
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
  }
  if (run > 0 || (codePage == 0 && dpi == 0))
    std::printf("%d of %d Wine tests passed\n", run - failed, run);
  return failed;
}

}  // namespace wine_e2e
