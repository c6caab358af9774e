#include "interrupt_signals.h"

#include <atomic>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
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

volatile sig_atomic_t holds = 0;
volatile sig_atomic_t pending = 0;

void Handle(int signal) {
  installed();
  // Ends the process by the same signal, as its default action would.
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void OnSignal(int signal) {
  if (holds > 0) {
    pending = signal;
    return;
  }
  Handle(signal);
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

// The fences keep the compiler from moving the held changes out of the hold.
InterruptsHeld::InterruptsHeld() {
  holds = holds + 1;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

InterruptsHeld::~InterruptsHeld() {
  std::atomic_signal_fence(std::memory_order_seq_cst);
  holds = holds - 1;
  if (holds == 0 && pending != 0) Handle(pending);
}

#endif

}  // namespace lzhcli
