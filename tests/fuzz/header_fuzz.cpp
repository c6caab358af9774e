// The header reader over arbitrary bytes: every header of the chain, its
// name, records and next position.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/member_header.h"
#include "extract/walk.h"
#include "support/memory_file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lzhtest::MemoryFileSystem fs;
  fs.AddFile("a", std::vector<std::uint8_t>(data, data + size));
  lzh::ArchiveReader archive{fs, fs.OpenRead("a"), 0, 0, {}};
  std::uint8_t nameBuffer[lzh::kNameBufferBytes] = {};
  std::int32_t offset = 0;
  for (int members = 0; members < 1000; ++members) {
    lzh::SeekArchive(archive, offset);
    if (!lzh::ReadMemberHeader(archive)) break;
    char name[lzh::kNameBufferBytes];
    lzh::ReadVariablePart(archive, offset, nameBuffer, name);
    if (std::strlen(name) > 255) std::abort();
    char memberName[lzh::kPathBytes];
    lzh::ComposeMemberName(archive.currentMember, name, memberName);
    std::int32_t next = lzh::NextHeaderOffset(archive.currentMember, offset);
    if (next < 0) break;
    if (next <= offset) std::abort();
    offset = next;
  }
  return 0;
}
