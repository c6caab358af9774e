#include "system/removal_on_interrupt.h"

#include <cstring>

#include "extract/paths.h"
#include "system/interrupt_signals.h"

#ifdef _WIN32
#include <windows.h>
#else
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
const char kNothingWrittenLine[] = "lzhsfx: interrupted before anything was written\n";

// A file still open on Windows' handler thread may not go.
void RemoveFiles() {
  for (int i = 0; i < fileCount; ++i) {
#ifdef _WIN32
    DeleteFileA(paths[i]);
#else
    unlink(paths[i]);
#endif
  }
  SayFromHandler(fileCount > 0 ? kInterruptedLine : kNothingWrittenLine);
}

}  // namespace

RemovalOnInterrupt::RemovalOnInterrupt() {
  fileCount = 0;
  InstallInterruptHandler(RemoveFiles);
}

RemovalOnInterrupt::~RemovalOnInterrupt() {
  UninstallInterruptHandler();
  fileCount = 0;
}

void RemovalOnInterrupt::Add(const std::string& path) {
  if (fileCount == kMostFiles || !lzh::CopyText(paths[fileCount], kPathCapacity, path.c_str()))
    return;
  fileCount = fileCount + 1;  // only once the path is complete
}

}  // namespace lzhcli
