// The running program's own file, found and opened through its UTF-16 path:
// the ANSI form of a path spells characters outside the system's code page
// (a user name in another script, an emoji in a folder name) as "?", and
// stops at MAX_PATH characters.
#pragma once

#include <cstddef>

#include "platform/file_system.h"
#include "platform/heap.h"
#include "platform/long_path.h"

namespace lzh {

// Room for the longest path the system hands out (32,767 UTF-16 units) and
// its NUL, then for its "\\?\" form (OpenableName).
inline constexpr std::size_t kOwnPathMaxUnits = 32767;
inline constexpr std::size_t kOwnPathUnits =
    (kOwnPathMaxUnits + 1) + (kOwnPathMaxUnits + kLongPathPrefixUnits + 1);

// Opens the program's own file for reading only, shared for reading. buffer
// must hold kOwnPathUnits units; path is pointed at the path as the system
// gives it (for the box shown when the open fails). A path of MAX_PATH
// characters or more is opened through its "\\?\" form. kInvalidFile on
// failure.
FileHandle OpenOwnExecutable(HeapArray<wchar_t>& buffer, const wchar_t*& path);

// Restricts where the system looks for DLLs that it loads on the program's
// behalf by name to the system directory, so that a DLL planted beside the
// program (a download folder) or in the current directory is never loaded.
// Runs before anything else at start-up.
void RestrictDllSearchToSystem();

}  // namespace lzh
