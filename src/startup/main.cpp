// Program entry of the self-extracting stub: opens its own executable,
// finds the attached archive, runs the main dialog and closes down.
#include <windows.h>

#include "codec/crc16.h"
#include "extract/record_names.h"
#include "extract/walk.h"
#include "platform/file_system.h"
#include "platform/heap.h"
#include "platform/own_executable.h"
#include "platform/run_command.h"
#include "platform/win32_text.h"
#include "resource_ids.h"
#include "startup/archive_offset.h"
#include "startup/silent_walk.h"
#include "startup/switches.h"
#include "ui/main_dialog.h"

namespace lzh {
namespace {

constexpr int kOffsetTextBytes = 255;

const char kSwitchesText[] =
    "/S\tExtract all, no window\n"
    "/O\tWith /S: overwrite files\n"
    "/D=DIR\tInto DIR (rest of line)\n"
    "/?, /H\tThis box\n\n"
    "/S exits with:\n"
    "0\tall extracted\n"
    "1\tsome failed or skipped\n"
    "2\tbad archive or switch";

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
FileHandle OpenArchiveHandle(bool silent) {
  HeapArray<wchar_t> buffer(kOwnPathUnits);
  const wchar_t* path = nullptr;
  FileHandle archiveHandle = OpenOwnExecutable(buffer, path);
  if (archiveHandle == kInvalidFile && !silent) MessageBoxW(nullptr, path, L"Couldn't open...", 0);
  return archiveHandle;
}

// What the program's maker set (strings 5 to 7; none in the stub itself).
struct Settings {
  wchar_t title[128] = {};
  wchar_t run[kDirectoryUnits] = {};
};

// Extracts every member into the folder of /D= or the maker, or the
// current one as the dialog would; the exit code, or the maker's command's
// once everything was extracted.
int ExtractSilently(WalkSession& session, const Switches& switches, Settings& settings) {
  // No folder gives an empty path, which the walk reads as the current one.
  if (!WideToUtf8(switches.directory, session.extractPath, sizeof session.extractPath))
    return kBadArchiveOrSwitch;
  SilentWalkDialog dialog(switches.overwrite ? Overwrite : Skip);
  WalkArchive(session, dialog, WalkMode::Extract);
  int exitCode = dialog.ExitCode();
  if (exitCode != kAllExtracted || settings.run[0] == 0) return exitCode;
  std::uint32_t code;
  return RunInFolder(settings.run, session.extractPath, true, code) ? static_cast<int>(code)
                                                                    : kSomeNotExtracted;
}

// Names and paths are UTF-8 from the archive's records or the system's code
// page to the wide calls, so no byte of theirs starts a double-byte character.
// Without switches the exit code is 0 on every path, as it always was.
int Run(HINSTANCE module) {
  Switches switches;
  ReadSwitches(GetCommandLineW(), switches);
  if (switches.help || switches.bad) {
    // /S promises no window, even to a script that got a switch wrong.
    if (!(switches.silent && switches.bad))
      MessageBoxA(nullptr, kSwitchesText, "LZH Self-Extracting Archive", 0);
    return switches.bad ? kBadArchiveOrSwitch : kAllExtracted;
  }
  // The maker's folder, its %NAME% variables expanded, unless /D= gave one.
  Settings settings;
  LoadStringW(module, IDS_TITLE, settings.title, 128);
  LoadStringW(module, IDS_RUN, settings.run, kDirectoryUnits);
  wchar_t folder[kDirectoryUnits];
  if (switches.directory[0] == 0 &&
      LoadStringW(module, IDS_DEFAULT_DIR, folder, kDirectoryUnits) > 0) {
    DWORD units = ExpandEnvironmentStringsW(folder, switches.directory, kDirectoryUnits);
    if (units - 1 >= kDirectoryUnits) {  // 0 when it failed
      if (switches.silent) return kBadArchiveOrSwitch;
      switches.directory[0] = 0;
    }
  }
  FileSystem& fs = Utf8HostFileSystem();
  FileHandle archiveHandle = OpenArchiveHandle(switches.silent);
  if (archiveHandle == kInvalidFile) return switches.silent ? kBadArchiveOrSwitch : 0;
  int exitCode = 0;
  {
    CrcTableScope crcTableScope;  // released after the handle is closed
    WalkSession session(fs);
    RecordNames names;
    names.Observe(session.archive);
    session.nameReader = &names;
    session.archive.archiveHandle = archiveHandle;
    session.archiveStart = LocateArchive(module, fs, archiveHandle);
    if (switches.silent) {
      exitCode = session.archiveStart == 0 ? kBadArchiveOrSwitch
                                           : ExtractSilently(session, switches, settings);
      fs.Close(archiveHandle);  // read-only: nothing of the extraction depends on it
    } else {
      if (session.archiveStart == 0) {
        MessageBoxA(nullptr, "Couldn't find attached archive.", "Archive error..", 0);
      } else {
        RunMainDialog(module, session, {switches.directory, settings.title, settings.run});
      }
      if (!fs.Close(archiveHandle)) MessageBoxA(nullptr, "Error closing file", "Error", 0);
    }
  }
  return exitCode;
}

}  // namespace
}  // namespace lzh

// Without the run time's start-up code nothing runs exit handlers: the
// process ends in ExitProcess, and no static object holds anything that the
// system does not release with the process. Registrations (function-local
// statics with destructors) are accepted and dropped.
extern "C" int __cdecl atexit(void(__cdecl*)(void)) { return 0; }

// The process starts here, not in the C run time's start-up code: the
// program reads its switches itself (GetCommandLineW) and needs nothing
// initialised beyond what msvcrt.dll does for itself, and the start-up code would cost a sixth of
// the stub's size. __main (the run time's name) runs the static
// constructors, if any are ever added.
extern "C" void __main();  // NOLINT(readability-identifier-naming)

extern "C" void WINAPI ProgramEntry() {
  lzh::RestrictDllSearchToSystem();
  __main();
  ExitProcess(static_cast<UINT>(lzh::Run(GetModuleHandleA(nullptr))));
}
