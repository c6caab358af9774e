#include "layers/interruption.h"

#include <string>

#include "commands/commands.h"
#include "extract/paths.h"
#include "system/interrupt_signals.h"

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
HANDLE writing = INVALID_HANDLE_VALUE;  // the output file while it is open
bool noted = false;                     // outputPath is a file of this run's, to remove
wchar_t outputPathWide[kNoteBytes];     // outputPath (UTF-8) for the wide call

// Runs on a thread of its own. The lock waits for a write under way and
// keeps the next one from starting; the process ends holding it.
void OnInterrupt() {
  EnterCriticalSection(&lock);
  if (!noted) {
    SayFromHandler(kInterruptedLine);
  } else {
    if (writing != INVALID_HANDLE_VALUE) CloseHandle(writing);
    SayFromHandler(DeleteFileW(outputPathWide) ? removedLine : notRemovedLine);
  }
}

// Held while the note and the file it names change together.
struct Guard {
  Guard() { EnterCriticalSection(&lock); }
  ~Guard() { LeaveCriticalSection(&lock); }
};

void Note(lzh::FileHandle file) {
  if (MultiByteToWideChar(CP_UTF8, 0, outputPath, -1, outputPathWide, kNoteBytes) == 0)
    outputPathWide[0] = 0;
  writing = reinterpret_cast<HANDLE>(file);
  noted = true;
}
void NoteClosed(lzh::FileHandle file) {
  if (reinterpret_cast<HANDLE>(file) == writing) writing = INVALID_HANDLE_VALUE;
}
void Forget() {
  writing = INVALID_HANDLE_VALUE;
  noted = false;
}

void Install() {
  InitializeCriticalSection(&lock);
  InstallInterruptHandler(OnInterrupt);
}
void Uninstall() {
  UninstallInterruptHandler();
  DeleteCriticalSection(&lock);
}

#else

volatile sig_atomic_t writing = 0;  // outputPath is a file of this run's, to remove

void OnInterrupt() {
  if (writing) {
    SayFromHandler(unlink(outputPath) == 0 ? removedLine : notRemovedLine);
  } else {
    SayFromHandler(kInterruptedLine);
  }
}

// The signals wait while the note and the file it names change together.
using Guard = InterruptsHeld;

// The file is removed by its name, open or not.
void Note(lzh::FileHandle) {
  // The POSIX file system's own spelling of the path.
  for (char* p = outputPath; *p != 0; ++p) *p = *p == '\\' ? '/' : *p;
  writing = 1;
}
void NoteClosed(lzh::FileHandle) {}
void Forget() { writing = 0; }

void Install() { InstallInterruptHandler(OnInterrupt); }
void Uninstall() { UninstallInterruptHandler(); }

#endif

}  // namespace

InterruptibleOutputs::InterruptibleOutputs(lzh::FileSystem& inner) : ForwardingFileSystem(inner) {
  Install();
}

InterruptibleOutputs::~InterruptibleOutputs() { Uninstall(); }

lzh::FileHandle InterruptibleOutputs::CreateOutput(const char* path) {
  Guard guard;
  lzh::FileHandle file = Below().CreateOutput(path);
  if (file != lzh::kInvalidFile && lzh::CopyText(outputPath, sizeof outputPath, path)) {
    PrepareNote(path);
    Note(file);
    noted_ = path;
  }
  return file;
}

bool InterruptibleOutputs::Rename(const char* from, const char* to, bool replace) {
  Guard guard;
  bool renamed = Below().Rename(from, to, replace);
  if (renamed && noted_ == from) Forget();
  return renamed;
}

bool InterruptibleOutputs::Remove(const char* path) {
  Guard guard;
  if (noted_ == path) Forget();
  return Below().Remove(path);
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
  NoteClosed(file);
  return Below().Close(file);
}

}  // namespace lzhcli
