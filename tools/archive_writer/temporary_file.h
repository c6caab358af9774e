// The temporary file an output is written under before it is renamed over
// the output: a new file, made by this call and no other. A name planted
// beforehand (a symbolic link to a file elsewhere, say) is never opened, so
// writing cannot reach through it; and two runs writing one output at once
// each get a file of their own, so neither writes into the other's.
// Names are taken as utf8_path.h describes.
#pragma once

#include <cstdio>
#include <string>

namespace lzhwrite {

// Creates a new, empty file in finalPath's directory, named finalPath, then
// tag, then a number, opened for reading and writing ("wb+"); the name is
// made exclusively (O_EXCL without following links; CREATE_NEW on Windows),
// with the permissions a plain open gives; on Windows it may be deleted
// while open. A name already taken is passed over for another. Gives the
// file and its name, or nullptr, the system's error number and the name
// last tried (which is not this call's to remove).
std::FILE* CreateTemporaryBeside(const std::string& finalPath, const char* tag,
                                 std::string& temporaryPath, int& error);

}  // namespace lzhwrite
