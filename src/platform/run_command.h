// The command a program's maker set to run after a full extraction.
#pragma once

#include <cstdint>

namespace lzh {

// Starts command (at most a path's length) in folder (UTF-8, as the walk
// keeps it; never empty). Its first word,
// quoted or not, names a file in folder: never one found through the search
// path. command is writable, as CreateProcessW wants it. With wait, waits for it and gives its exit
// code. False when it could not be started.
bool RunInFolder(wchar_t* command, const char* folder, bool wait, std::uint32_t& exitCode);

}  // namespace lzh
