#include "system/interrupt_registry.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "console/printing.h"
#include "extract/paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace lzhcli {

namespace {

// The files one run may have at once: build --repack's three, or create's
// two, beside the copy of standard input; the rest is room to spare.
constexpr int kSlots = 8;
constexpr std::size_t kPathUnits = 4096;  // bytes (POSIX) or UTF-16 units
constexpr std::size_t kWordsBytes = 8192;

// Filled outside the handler, which only reads them.
struct Slot {
#ifdef _WIN32
  bool taken;
  wchar_t path[kPathUnits];  // for DeleteFileW
  HANDLE open;               // closed before the removal
#else
  volatile sig_atomic_t taken;
  char path[kPathUnits];  // for unlink
#endif
  char words[kWordsBytes];  // what the file is, and its path
};
Slot slots[kSlots];

// Only the main thread counts: the signals are caught while this is above 0.
int catchers = 0;

// Writes the line start + rest to stderr in one call, so that lines of two
// processes sharing the terminal do not mix.
void Say(const char* start, const char* rest) {
  char line[kWordsBytes + 64];
  if (!lzh::CopyText(line, sizeof line - 1, start) || !lzh::AppendText(line, sizeof line - 1, rest))
    lzh::CopyText(line, sizeof line - 1, start);
  std::size_t n = std::strlen(line);
  line[n++] = '\n';
#ifdef _WIN32
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(n), &written, nullptr);
#else
  (void)!write(2, line, n);
#endif
}

// The handler's work, on data prepared beforehand. A file already gone
// (renamed to its own name a moment before, on Windows while the handler's
// thread started) needs no word.
void RemoveNotedFiles() {
  bool said = false;
  for (Slot& slot : slots) {
    if (!slot.taken) continue;
#ifdef _WIN32
    if (slot.open != INVALID_HANDLE_VALUE) CloseHandle(slot.open);
    const bool removed = DeleteFileW(slot.path) != 0;
    const bool gone = !removed && GetLastError() == ERROR_FILE_NOT_FOUND;
#else
    const int saved = errno;
    const bool removed = unlink(slot.path) == 0;
    const bool gone = !removed && errno == ENOENT;
    errno = saved;
#endif
    if (gone) continue;
    Say(removed ? "lzhsfx: interrupted; removed " : "lzhsfx: interrupted; could not remove ",
        slot.words);
    said = true;
  }
  if (!said) Say("lzhsfx: interrupted", "");
}

#ifdef _WIN32

// Made before main runs: a critical section, as holds nest.
struct Lock {
  Lock() { InitializeCriticalSection(&section); }
  CRITICAL_SECTION section;
};
Lock lock;

// Runs on a thread of its own. The lock waits for a change or a write
// under way and keeps the next from starting; the process ends holding it.
BOOL WINAPI OnConsoleEvent(DWORD) {
  EnterCriticalSection(&lock.section);
  RemoveNotedFiles();
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
  RemoveNotedFiles();
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
  // One handler at a time: a second signal waits for the first to end the
  // process, and never removes a file twice.
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
  for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    sigaction(kSignals[i], &action, &previous[i]);
}

void Release() {
  if (--catchers != 0) return;
  for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    sigaction(kSignals[i], &previous[i], nullptr);
}

#endif

// Fills slot for path; false when the path does not fit.
bool Fill(Slot& slot, const std::string& path, const char* what, lzh::FileHandle open) {
#ifdef _WIN32
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, slot.path,
                          static_cast<int>(kPathUnits)) == 0)
    return false;
  slot.open = open == lzh::kInvalidFile ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(open);
#else
  (void)open;  // removed by its name, open or not
  if (!lzh::CopyText(slot.path, sizeof slot.path, path.c_str())) return false;
#endif
  std::string words = std::string(what) + " " + Printable(path);
  if (words.size() >= sizeof slot.words) words = words.substr(0, sizeof slot.words - 4) + "...";
  lzh::CopyText(slot.words, sizeof slot.words, words.c_str());
  return true;
}

}  // namespace

InterruptsCaught::InterruptsCaught() { Catch(); }

InterruptsCaught::~InterruptsCaught() { Release(); }

#ifdef _WIN32

InterruptsHeld::InterruptsHeld() { EnterCriticalSection(&lock.section); }

InterruptsHeld::~InterruptsHeld() { LeaveCriticalSection(&lock.section); }

#else

// Caught, as a signal could not wait otherwise; while anything else catches
// them that costs no system call. The fences keep the compiler from moving
// the held changes out of the hold.
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

bool InterruptRemovals::Note(const std::string& path, const char* what, lzh::FileHandle open) {
  InterruptsHeld hold;
  for (int i = 0; i < kSlots; ++i) {
    if (slots[i].taken) continue;
    if (!Fill(slots[i], path, what, open)) return false;
    std::atomic_signal_fence(std::memory_order_seq_cst);  // taken once it is whole
    slots[i].taken = 1;
    slots_ |= 1u << i;
    Catch();
    return true;
  }
  return false;
}

void InterruptRemovals::Closed(lzh::FileHandle file) {
#ifdef _WIN32
  InterruptsHeld hold;
  for (int i = 0; i < kSlots; ++i) {
    if ((slots_ & (1u << i)) != 0 && slots[i].open == reinterpret_cast<HANDLE>(file))
      slots[i].open = INVALID_HANDLE_VALUE;
  }
#else
  (void)file;
#endif
}

void InterruptRemovals::Drop() {
  if (slots_ == 0) return;
  InterruptsHeld hold;
  for (int i = 0; i < kSlots; ++i) {
    if ((slots_ & (1u << i)) == 0) continue;
    slots[i].taken = 0;
    Release();
  }
  slots_ = 0;
}

}  // namespace lzhcli
