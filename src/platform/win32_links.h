// What counts as a link on Windows, for the file systems that refuse to go
// through one.
#pragma once

#include <windows.h>

namespace lzh {

// What a directory search found (WIN32_FIND_DATAA or WIN32_FIND_DATAW) is
// a link: a reparse point whose tag stands for another name (bit 29:
// symbolic links, junctions, mount points), or one without a tag, which is
// how Wine shows a Unix symbolic link. Other reparse points, such as cloud
// files' placeholders or deduplicated files, are the file itself.
template <typename FindData>
bool IsNameSurrogate(const FindData& found) {
  return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         (found.dwReserved0 == 0 || (found.dwReserved0 & 0x20000000) != 0);
}

}  // namespace lzh
