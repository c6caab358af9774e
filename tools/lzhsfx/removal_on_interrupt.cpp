#include "removal_on_interrupt.h"

#include <cstring>

#include "extract/paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace lzhcli {

namespace {

// Prepared outside the handler, which only reads them.
constexpr int kMostFiles = 4;
constexpr std::size_t kPathCapacity = 4096;
char paths[kMostFiles][kPathCapacity];
volatile int fileCount = 0;
const char kInterruptedLine[] = "lzhsfx: interrupted; the partly written output was removed\n";

#ifdef _WIN32

void Say(const char* line) {
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(std::strlen(line)), &written,
            nullptr);
}

// Runs on a thread of its own; a file still open there may not go.
BOOL WINAPI OnConsoleEvent(DWORD) {
  for (int i = 0; i < fileCount; ++i) DeleteFileA(paths[i]);
  Say(kInterruptedLine);
  ExitProcess(STATUS_CONTROL_C_EXIT);
}

void Install() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }
void Uninstall() { SetConsoleCtrlHandler(OnConsoleEvent, FALSE); }

#else

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];

void OnSignal(int signal) {
  for (int i = 0; i < fileCount; ++i) unlink(paths[i]);
  (void)!write(2, kInterruptedLine, sizeof kInterruptedLine - 1);
  // Ends the process by the same signal, as its default action would.
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void Install() {
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    sigaction(kSignals[i], &action, &previous[i]);
}
void Uninstall() {
  for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    sigaction(kSignals[i], &previous[i], nullptr);
}

#endif

}  // namespace

RemovalOnInterrupt::RemovalOnInterrupt() {
  fileCount = 0;
  Install();
}

RemovalOnInterrupt::~RemovalOnInterrupt() {
  Uninstall();
  fileCount = 0;
}

void RemovalOnInterrupt::Add(const std::string& path) {
  if (fileCount == kMostFiles || !lzh::CopyText(paths[fileCount], kPathCapacity, path.c_str()))
    return;
  fileCount = fileCount + 1;  // only once the path is complete
}

}  // namespace lzhcli
