#include "wine_test.h"

#include <cstdio>

namespace wine_e2e {

std::vector<std::string> failures;
std::vector<std::string> notes;

bool Expect(bool condition, const std::string& what) {
  if (!condition) failures.push_back(what);
  return condition;
}

int RunTests(const std::string& only, UINT codePage) {
  int failed = 0, run = 0;
  for (const Tests* tests :
       {&MainDialogTests(), &ExtractionTests(), &StartupTests(), &OverwriteQuestionTests()}) {
    for (const Test& test : *tests) {
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
  }
  if (run > 0 || codePage == 0) std::printf("%d of %d Wine tests passed\n", run - failed, run);
  return failed;
}

}  // namespace wine_e2e
