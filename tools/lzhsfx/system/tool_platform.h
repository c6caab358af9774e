// What the tool's commands ask of the system beyond the core's file layer:
// paths and arguments as the tool writes names. On POSIX those are the
// bytes the system takes. On Windows they are UTF-8, and files are reached
// through the wide ("W") calls, so that names in any script extract as
// named whatever the system's ANSI code page.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "commands/commands.h"
#include "platform/file_system.h"

namespace lzhcli {

// The file system for list, test and extract: paths in the tool's form.
lzh::FileSystem& ToolFileSystem();

// The command line's arguments after the command, in the tool's form.
Arguments ToolArguments(int argc, char** argv);

// The current directory in the tool's form; false when it cannot be told.
bool CurrentDirectory(std::string& path);

// The system's error for calls whose layer keeps none (FileSystem::OpenRead):
// errno, or GetLastError on Windows. ClearSystemError() first, so that a
// failure the system did not report reads 0.
void ClearSystemError();
std::uint32_t LastSystemError();

// The system's text for an error code (errno, or GetLastError on Windows),
// in UTF-8, without a closing period or line end: "No such file or
// directory".
std::string SystemErrorText(std::uint32_t code);

// ": " and the system's text for code, or "" when code is 0 (not known).
inline std::string SystemReason(std::uint32_t code) {
  std::string text;
  if (code != 0) {
    text = ": ";
    text += SystemErrorText(code);
  }
  return text;
}

// A junction, mount point or symbolic link on Windows, which the standard
// library there takes for what it names. Elsewhere false: symlink_status
// tells links apart.
bool IsNameSurrogate(const std::filesystem::path& path);

// The Unix mode a header stores for a file or directory of that status:
// st_mode's type and permission bits; 0 where the system keeps none
// (Windows).
std::uint16_t UnixModeToStore(const std::filesystem::file_status& status);

// Makes the console show the tool's output as written (UTF-8 on Windows).
void PrepareConsole();

}  // namespace lzhcli
