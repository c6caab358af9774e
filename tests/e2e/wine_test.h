// The frame of the Wine tests: what the running test has found, the tables
// of tests that each file contributes, and the runner that prints one "ok"
// or "not ok" line per test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wine_e2e {

// Failures of the running test; a test stops at its first failed REQUIRE.
extern std::vector<std::string> failures;
// Remarks printed under a passing test.
extern std::vector<std::string> notes;

bool Expect(bool condition, const std::string& what);
// The message is made only after the condition failed, so that it shows
// the state the wait ended in.
#define REQUIRE(condition, what)  \
  do {                            \
    if (!(condition)) {           \
      failures.push_back((what)); \
      return;                     \
    }                             \
  } while (0)

struct Test {
  const char* name;
  void (*run)();
  UINT codePage = 0;    // the ANSI code page the test needs; 0 for any
  bool perDpi = false;  // runs in the --dpi runs, once per screen DPI, only
};
using Tests = std::vector<Test>;

// The tests, by the window they exercise; each file keeps its own table.
const Tests& StartupTests();
const Tests& MainDialogTests();
const Tests& ExtractionTests();
const Tests& OverwriteQuestionTests();
const Tests& LayoutTests();
const Tests& SwitchesTests();

// The screen's DPI in a --dpi run, 0 otherwise.
extern int runDpi;

// Runs the tests whose names hold only (all when empty) and that need the
// code page codePage (0: those that need none); with dpi, the per-DPI tests
// at that screen DPI. Returns how many failed.
int RunTests(const std::string& only, UINT codePage, int dpi);

}  // namespace wine_e2e
