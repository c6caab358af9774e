#include "timing_tools.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "resource_ids.h"
#include "session.h"
#include "wine_test.h"

namespace wine_e2e {

namespace {

double Milliseconds(LONGLONG from, LONGLONG to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to - from) / static_cast<double>(frequency.QuadPart);
}

LONGLONG Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

// Polls in steps of about a millisecond: finer than the figures need,
// coarse enough to leave the cores to the program.
template <typename Ready>
bool PollFor(Ready ready, double timeoutMs) {
  const LONGLONG start = Now();
  while (!ready()) {
    if (Milliseconds(start, Now()) > timeoutMs) return false;
    Sleep(1);
  }
  return true;
}

}  // namespace

int TimeExtractMode(const char* exe, const char* outDir) {
  std::string directory = exe;
  directory = directory.substr(0, directory.find_last_of("\\/") + 1);
  Session s;
  const LONGLONG started = Now();
  if (!s.program.Start(exe, directory.empty() ? "." : directory)) {
    std::fprintf(stderr, "cannot start %s\n", exe);
    return 1;
  }
  if (!PollFor([&] { return (s.dialog = FindDialog(s.program.Id(), kMainCaption)) != nullptr; },
               20000)) {
    std::fprintf(stderr, "the main dialog did not appear\n");
    return 1;
  }
  const LONGLONG shown = Now();
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(outDir));
  // Extract is disabled while the walk runs; the click is posted, so the
  // first looks may come before the walk has begun.
  const LONGLONG clicked = Now();
  Click(s.dialog, IDOK);
  bool sawDisabled = false;
  auto walkEnded = [&] {
    const bool enabled = IsEnabled(s.dialog, IDOK);
    sawDisabled = sawDisabled || !enabled;
    return sawDisabled ? enabled : Milliseconds(clicked, Now()) > 2000;
  };
  const bool walked = PollFor(walkEnded, 600000) && sawDisabled;
  const LONGLONG ended = Now();
  if (!walked) std::fprintf(stderr, "the walk was not seen to begin and end\n");
  const std::string verdict = s.Verdict();
  const bool success = walked && verdict == Quote(kSuccess);
  if (!success) std::fprintf(stderr, "verdict: %s\n", verdict.c_str());
  s.Exit();
  for (const std::string& f : failures) std::fprintf(stderr, "%s\n", f.c_str());
  std::printf("start %.1f extract %.1f\n", Milliseconds(started, shown),
              Milliseconds(clicked, ended));
  return success && failures.empty() ? 0 : 1;
}

int TimeRunMode(int argc, char** argv) {
  std::string arguments;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) arguments += ' ';
    arguments += std::string(argv[i]).find(' ') == std::string::npos
                     ? argv[i]
                     : "\"" + std::string(argv[i]) + "\"";
  }
  Program program;
  const LONGLONG started = Now();
  if (!program.Start(argv[0], ".", arguments)) {
    std::fprintf(stderr, "cannot start %s\n", argv[0]);
    return 1;
  }
  DWORD code = 0;
  if (!program.WaitForExit(code, 600000)) {
    std::fprintf(stderr, "%s did not end\n", argv[0]);
    return 1;
  }
  const LONGLONG ended = Now();
  std::printf("run %.1f exit %lu\n", Milliseconds(started, ended), code);
  return 0;
}

}  // namespace wine_e2e
