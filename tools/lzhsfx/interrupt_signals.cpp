#include "interrupt_signals.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace lzhcli {

namespace {

InterruptHandler installed = nullptr;

#ifdef _WIN32

BOOL WINAPI OnConsoleEvent(DWORD) {
  installed();
  ExitProcess(STATUS_CONTROL_C_EXIT);
}

#else

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];

void OnSignal(int signal) {
  installed();
  // Ends the process by the same signal, as its default action would.
  ::signal(signal, SIG_DFL);
  raise(signal);
}

#endif

}  // namespace

#ifdef _WIN32

void InstallInterruptHandler(InterruptHandler handler) {
  installed = handler;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void UninstallInterruptHandler() { SetConsoleCtrlHandler(OnConsoleEvent, FALSE); }

void SayFromHandler(const char* line) {
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(std::strlen(line)), &written,
            nullptr);
}

#else

void InstallInterruptHandler(InterruptHandler handler) {
  installed = handler;
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    sigaction(kSignals[i], &action, &previous[i]);
}

void UninstallInterruptHandler() {
  for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    sigaction(kSignals[i], &previous[i], nullptr);
}

void SayFromHandler(const char* line) { (void)!write(2, line, std::strlen(line)); }

InterruptsHeld::InterruptsHeld() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kSignals) sigaddset(&set, s);
  sigprocmask(SIG_BLOCK, &set, &saved_);
}

InterruptsHeld::~InterruptsHeld() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

#endif

}  // namespace lzhcli
