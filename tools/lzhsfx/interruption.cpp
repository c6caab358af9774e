#include "interruption.h"

#include <atomic>
#include <cstring>
#include <string>

#include "commands.h"
#include "extract/paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace lzhcli {

namespace {

// What the handler needs, prepared outside it: the output file and the
// lines that tell what became of it.
constexpr std::size_t kNoteBytes = 8192;
char outputPath[kNoteBytes];
char removedLine[kNoteBytes + 64];
char notRemovedLine[kNoteBytes + 64];
const char kInterruptedLine[] = "lzhsfx: interrupted\n";

void PrepareNote(const char* path) {
  std::string shown = Printable(path);
  std::string removed = "lzhsfx: interrupted; removed the partly written " + shown + "\n";
  std::string kept = "lzhsfx: interrupted; could not remove the partly written " + shown + "\n";
  lzh::CopyText(removedLine, sizeof removedLine, removed.c_str());
  lzh::CopyText(notRemovedLine, sizeof notRemovedLine, kept.c_str());
}

#ifdef _WIN32

CRITICAL_SECTION lock;
HANDLE writing = INVALID_HANDLE_VALUE;  // the output file open now
wchar_t outputPathWide[kNoteBytes];     // outputPath (UTF-8) for the wide call

void Say(const char* line) {
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(std::strlen(line)), &written,
            nullptr);
}

// Runs on a thread of its own. The lock waits for a write under way and
// keeps the next one from starting; the process ends holding it.
BOOL WINAPI OnConsoleEvent(DWORD) {
  EnterCriticalSection(&lock);
  if (writing == INVALID_HANDLE_VALUE) {
    Say(kInterruptedLine);
  } else {
    CloseHandle(writing);
    Say(DeleteFileW(outputPathWide) ? removedLine : notRemovedLine);
  }
  ExitProcess(STATUS_CONTROL_C_EXIT);
}

// Held while the note and the file it names change together.
struct Guard {
  Guard() { EnterCriticalSection(&lock); }
  ~Guard() { LeaveCriticalSection(&lock); }
};

bool IsNoted(lzh::FileHandle file) { return reinterpret_cast<HANDLE>(file) == writing; }
void Note(lzh::FileHandle file) {
  if (MultiByteToWideChar(CP_UTF8, 0, outputPath, -1, outputPathWide, kNoteBytes) == 0)
    outputPathWide[0] = 0;
  writing = reinterpret_cast<HANDLE>(file);
}
void Forget() { writing = INVALID_HANDLE_VALUE; }

void Install() {
  InitializeCriticalSection(&lock);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
void Remove() {
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  DeleteCriticalSection(&lock);
}

#else

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile sig_atomic_t writing = 0;
lzh::FileHandle writingHandle = lzh::kInvalidFile;
// A signal that comes while the note and the file it names change waits in
// pending until they agree: a flag, not a blocked signal mask, which would
// cost two system calls per file.
volatile sig_atomic_t changing = 0;
volatile sig_atomic_t pending = 0;
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];

void Say(const char* line) { (void)!write(2, line, std::strlen(line)); }

void Handle(int signal) {
  if (writing) {
    Say(unlink(outputPath) == 0 ? removedLine : notRemovedLine);
  } else {
    Say(kInterruptedLine);
  }
  // Ends the process by the same signal, as its default action would.
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void OnSignal(int signal) {
  if (changing) {
    pending = signal;
    return;
  }
  Handle(signal);
}

// The signals wait while the note and the file it names change together.
// The fences keep the compiler from moving the changes out of the guard.
class Guard {
 public:
  Guard() {
    changing = 1;
    std::atomic_signal_fence(std::memory_order_seq_cst);
  }
  ~Guard() {
    std::atomic_signal_fence(std::memory_order_seq_cst);
    changing = 0;
    if (pending) Handle(pending);
  }
};

bool IsNoted(lzh::FileHandle file) { return writing && file == writingHandle; }
void Note(lzh::FileHandle file) {
  // The POSIX file system's own spelling of the path.
  for (char* p = outputPath; *p != 0; ++p) *p = *p == '\\' ? '/' : *p;
  writingHandle = file;
  writing = 1;
}
void Forget() { writing = 0; }

void Install() {
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    sigaction(kSignals[i], &action, &previous[i]);
}
void Remove() {
  for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
    sigaction(kSignals[i], &previous[i], nullptr);
}

#endif

}  // namespace

InterruptibleOutputs::InterruptibleOutputs(lzh::FileSystem& inner) : ForwardingFileSystem(inner) {
  Install();
}

InterruptibleOutputs::~InterruptibleOutputs() { Remove(); }

lzh::FileHandle InterruptibleOutputs::CreateOutput(const char* path) {
  Guard guard;
  lzh::FileHandle file = Below().CreateOutput(path);
  if (file != lzh::kInvalidFile && lzh::CopyText(outputPath, sizeof outputPath, path)) {
    PrepareNote(path);
    Note(file);
  }
  return file;
}

std::int32_t InterruptibleOutputs::Write(lzh::FileHandle file, const void* buffer,
                                         std::int32_t count) {
#ifdef _WIN32
  Guard guard;  // the handler closes the file: not during a write
#endif
  return Below().Write(file, buffer, count);
}

bool InterruptibleOutputs::Close(lzh::FileHandle file) {
  Guard guard;
  if (IsNoted(file)) Forget();
  return Below().Close(file);
}

}  // namespace lzhcli
