// Program entry of the self-extracting stub: opens its own executable,
// finds the attached archive, runs the main dialog and closes down.
#include <windows.h>

#include "codec/crc16.h"
#include "extract/record_names.h"
#include "extract/walk.h"
#include "platform/file_system.h"
#include "platform/heap.h"
#include "platform/own_executable.h"
#include "resource_ids.h"
#include "startup/archive_offset.h"
#include "ui/main_dialog.h"

namespace lzh {
namespace {

constexpr int kOffsetTextBytes = 255;

// The archive's offset from string 4 of this module, or 0 when none is
// attached. The text is loaded before the size is asked, and the buffer is
// released on the way out.
std::int32_t LocateArchive(HINSTANCE module, FileSystem& fs, FileHandle archiveHandle) {
  HeapArray<char> text(kOffsetTextBytes);
  text[0] = 0;  // a missing string leaves the buffer as it was
  LoadStringA(module, IDS_ARCHIVE_OFFSET, text.Get(), kOffsetTextBytes);
  text[kOffsetTextBytes - 1] = 0;
  std::uint32_t size = fs.Size(archiveHandle);
  return ArchiveOffsetFromText(text.Get(), size);
}

// Opens the program's own file as the archive's source; when it cannot be
// opened, says so with the path as its text. The path's buffer is released
// before the dialog runs.
FileHandle OpenArchiveHandle() {
  HeapArray<wchar_t> buffer(kOwnPathUnits);
  const wchar_t* path = nullptr;
  FileHandle archiveHandle = OpenOwnExecutable(buffer, path);
  if (archiveHandle == kInvalidFile) MessageBoxW(nullptr, path, L"Couldn't open...", 0);
  return archiveHandle;
}

// Names and paths are UTF-8 from the archive's records or the system's code
// page to the wide calls, so no byte of theirs starts a double-byte character.
void Run(HINSTANCE module) {
  FileSystem& fs = Utf8HostFileSystem();
  FileHandle archiveHandle = OpenArchiveHandle();
  if (archiveHandle == kInvalidFile) return;
  {
    CrcTableScope crcTableScope;  // released after the handle is closed
    WalkSession session(fs);
    RecordNames names;
    names.Observe(session.archive);
    session.nameReader = &names;
    session.archive.archiveHandle = archiveHandle;
    session.archiveStart = LocateArchive(module, fs, archiveHandle);
    if (session.archiveStart == 0) {
      MessageBoxA(nullptr, "Couldn't find attached archive.", "Archive error..", 0);
    } else {
      RunMainDialog(module, session);
    }
    if (!fs.Close(archiveHandle)) MessageBoxA(nullptr, "Error closing file", "Error", 0);
  }
}

}  // namespace
}  // namespace lzh

// Without the run time's start-up code nothing runs exit handlers: the
// process ends in ExitProcess, and no static object holds anything that the
// system does not release with the process. Registrations (function-local
// statics with destructors) are accepted and dropped.
extern "C" int __cdecl atexit(void(__cdecl*)(void)) { return 0; }

// The process starts here, not in the C run time's start-up code: the
// program takes no arguments and needs nothing initialised beyond what
// msvcrt.dll does for itself, and the start-up code would cost a sixth of
// the stub's size. __main (the run time's name) runs the static
// constructors, if any are ever added.
extern "C" void __main();  // NOLINT(readability-identifier-naming)

extern "C" void WINAPI ProgramEntry() {
  lzh::RestrictDllSearchToSystem();
  __main();
  lzh::Run(GetModuleHandleA(nullptr));
  ExitProcess(0);
}
