#include "system/interrupt_signals.h"

#include <atomic>
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

InterruptHandler volatile installed = nullptr;
// The signals are caught while a handler or a file to remove needs them.
int catchers = 0;

constexpr std::size_t kRemovalBytes = 4096;
char removal[kRemovalBytes];
#ifdef _WIN32
volatile LONG hasRemoval = 0;
#else
volatile sig_atomic_t hasRemoval = 0;
#endif
const char kInterruptedLine[] = "lzhsfx: interrupted\n";

// The file first: a handler on Windows does not return.
void RunHandlers() {
  if (hasRemoval) {
#ifdef _WIN32
    DeleteFileA(removal);
#else
    unlink(removal);
#endif
  }
  InterruptHandler handler = installed;
  if (handler != nullptr) {
    handler();
  } else {
    SayFromHandler(kInterruptedLine);
  }
}

#ifdef _WIN32

BOOL WINAPI OnConsoleEvent(DWORD) {
  RunHandlers();
  ExitProcess(STATUS_CONTROL_C_EXIT);
}

void Catch() {
  if (catchers++ == 0) SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
void Release() {
  if (--catchers == 0) SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

#else

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];

volatile sig_atomic_t holds = 0;
volatile sig_atomic_t pending = 0;

void Handle(int signal) {
  RunHandlers();
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

void Catch() {
  if (catchers++ != 0) return;
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    sigaction(kSignals[i], &action, &previous[i]);
}

void Release() {
  if (--catchers != 0) return;
  for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    sigaction(kSignals[i], &previous[i], nullptr);
}

#endif

}  // namespace

void InstallInterruptHandler(InterruptHandler handler) {
  installed = handler;
  Catch();
}

// The handler goes first: what it uses may go as soon as this returns.
void UninstallInterruptHandler() {
  installed = nullptr;
  Release();
}

bool RemoveWhenInterrupted(const char* path) {
  KeepWhenInterrupted();
  if (!lzh::CopyText(removal, sizeof removal, path)) return false;
  // Only once the path is complete.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  hasRemoval = 1;
  Catch();
  return true;
}

void KeepWhenInterrupted() {
  if (!hasRemoval) return;
  hasRemoval = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  Release();
}

#ifdef _WIN32

void SayFromHandler(const char* line) {
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(std::strlen(line)), &written,
            nullptr);
}

#else

void SayFromHandler(const char* line) { (void)!write(2, line, std::strlen(line)); }

// The fences keep the compiler from moving the held changes out of the hold.
// Caught, as a signal could not wait otherwise; while a handler is
// installed that costs no system call.
InterruptsHeld::InterruptsHeld() {
  Catch();
  holds = holds + 1;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

InterruptsHeld::~InterruptsHeld() {
  std::atomic_signal_fence(std::memory_order_seq_cst);
  holds = holds - 1;
  if (holds == 0 && pending != 0) Handle(pending);
  Release();
}

#endif

}  // namespace lzhcli
