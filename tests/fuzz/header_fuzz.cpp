// The header reader over arbitrary bytes: every header of the chain, its
// name, records and next position.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/header_cursor.h"
#include "extract/walk.h"
#include "support/memory_file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lzhtest::MemoryFileSystem fs;
  fs.AddFile("a", std::vector<std::uint8_t>(data, data + size));
  lzh::ArchiveReader archive{fs, fs.OpenRead("a"), 0, {}};
  // The tool's reader (the program's build ignores these).
  archive.anyMethod = size > 0 && (data[0] & 1) != 0;
  archive.findsLostHeaders = archive.anyMethod;
  lzh::HeaderCursor cursor(archive);
  cursor.Seek(0);
  for (int members = 0; members < 1000 && cursor.Read(); ++members) {
    if (std::strlen(cursor.Name()) > 255) std::abort();
    char memberName[lzh::kPathBytes];
    lzh::ComposeMemberName(cursor.Member(), cursor.Name(), memberName);
    lzh::FileOffset next = cursor.NextOffset();
    if (next < 0) break;
    if (next <= cursor.HeaderOffset()) std::abort();
    cursor.Advance();
  }
  return 0;
}
