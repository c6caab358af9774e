// Opening FILE for the commands: a plain archive (offset 0) or a
// self-extracting program: one made by `lzhsfx build` names the archive's
// offset in its string resource 4; for any other (the stub with an archive
// simply appended, another maker's program) the first valid member header
// after the end of the program's image is taken.
#pragma once

#include <cstdint>
#include <string>

#include "extract/walk.h"
#include "names/name_charset.h"

namespace lzhcli {

struct OpenedArchive {
  lzh::FileHandle handle = lzh::kInvalidFile;
  lzh::FileOffset start = 0;
  bool isProgram = false;
  bool foundByScan = false;  // a program whose string 4 does not name the archive
};

// Opens path and finds the first member header. On failure returns false
// with a message for the user in error, naming the file shownName (by
// default path, made printable).
bool OpenArchive(lzh::FileSystem& fs, const std::string& path, OpenedArchive& archive,
                 std::string& error, const std::string& shownName = "");

// Where the archive that starts at start ends: after its end-of-archive
// byte, or where the chain of headers stops.
lzh::FileSize ArchiveEnd(lzh::FileSystem& fs, const OpenedArchive& archive);

}  // namespace lzhcli
