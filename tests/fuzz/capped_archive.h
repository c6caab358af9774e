// Bounds what one fuzz input may decode through the walk: the originalSize
// of each member header (or of its record 0x42) is lowered in the input
// itself until the members together decode to at most `budget` bytes. Stored members copy no more
// than the input holds, so they need no bound. Tells how many headers the
// archive holds and whether the file ends inside the last one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "archive/header_cursor.h"
#include "support/memory_file_system.h"

namespace lzhfuzz {

struct HeaderChain {
  std::size_t headers = 0;
  bool lastCut = false;
};

inline HeaderChain CapOnce(std::vector<std::uint8_t>& archive, std::int64_t budget) {
  HeaderChain chain;
  lzhtest::MemoryFileSystem fs;
  fs.AddFile("a", archive);
  lzh::ArchiveReader reader{fs, fs.OpenRead("a"), 0, {}};
  lzh::HeaderCursor cursor(reader);
  cursor.Seek(0);
  while (cursor.Read()) {
    ++chain.headers;
    chain.lastCut = cursor.Member().truncated;
    std::int64_t size = cursor.Member().originalSize;
    // originalSize sits at offset 11 of every header level, or at offset 9
    // of a record 0x42, whose sizes take its place.
    std::size_t at = static_cast<std::size_t>(cursor.HeaderOffset()) + 11;
    int bytes = 4;
    if (size > budget) {
      std::size_t end =
          std::min<std::size_t>(at - 11 + cursor.Member().headerBytes, archive.size());
      for (std::size_t p = at; p + 17 <= end; ++p) {
        std::int64_t recorded = 0;
        for (int i = 7; i >= 0; --i) recorded = recorded << 8 | archive[p + 9 + i];
        if (archive[p] == 0x42 && recorded == size) {
          at = p + 9;
          bytes = 8;
        }
      }
    }
    if (size > budget && at + bytes <= archive.size()) {
      size %= budget + 1;
      for (int i = 0; i < bytes; ++i) archive[at + i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    if (size > 0) budget -= size;
    if (!cursor.Advance()) break;
  }
  return chain;
}

// A size written into a header too short to hold it lands in the next
// header and may change the chain, so the capping is repeated until the
// archive stays as it is: the chain told is then the archive's own. An
// input that never settles is dropped.
inline HeaderChain CapOriginalSizes(std::vector<std::uint8_t>& archive, std::int64_t budget) {
  for (int round = 0; round < 4; ++round) {
    std::vector<std::uint8_t> before = archive;
    HeaderChain chain = CapOnce(archive, budget);
    if (archive == before) return chain;
  }
  archive.clear();
  return {};
}

}  // namespace lzhfuzz
