// Opening FILE for the commands: a plain archive (offset 0) or a
// self-extracting program made by `lzhsfx build` (offset from its string
// resource 4).
#pragma once

#include <cstdint>
#include <string>

#include "extract/walk.h"

namespace lzhcli {

struct OpenedArchive {
  lzh::FileHandle handle = lzh::kInvalidFile;
  std::int32_t start = 0;
  bool isProgram = false;
};

// Opens path and finds the first member header. On failure returns false
// with a message for the user in error.
bool OpenArchive(lzh::FileSystem& fs, const std::string& path, OpenedArchive& archive,
                 std::string& error);

}  // namespace lzhcli
