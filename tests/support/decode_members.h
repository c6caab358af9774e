// Decodes the members of an archive held in memory with the header reader
// and the decoders, each member from its first packed byte with the rest of
// the archive behind it, as the walk hands them over. For the corpus and
// round-trip tests of the decoders.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "archive/header_cursor.h"
#include "codec/crc16.h"
#include "codec/decoder.h"
#include "extract/paths.h"
#include "support/memory_file_system.h"

namespace lzhtest {

struct DecodedMember {
  std::string method;
  std::string name;
  std::string directory;  // from a directory record, as the walk forms it (level 1, 2)
  int level = 0;
  std::uint16_t headerCrc = 0;
  std::int32_t originalSize = 0;
  std::vector<std::uint8_t> packed;  // the member's packed data alone
  std::vector<std::uint8_t> output;  // what the decoder wrote (decoded members only)
  std::uint32_t runningCrc = 0;
};

// Decodes the "-lh?-" members whose method digit is in `digits` (e.g.
// "45"), or with digits "*" every member of any method the decoders take,
// through reads of at most readChunk bytes (0: any); the others are only
// read.
inline std::vector<DecodedMember> DecodeMembers(const std::vector<std::uint8_t>& archiveBytes,
                                                const char* digits, int readChunk = 0) {
  lzh::CrcTableScope table;
  MemoryFileSystem fs;
  fs.AddFile("a.lzh", archiveBytes);
  const bool anyMethod = std::strcmp(digits, "*") == 0;
  lzh::ArchiveReader archive{fs, fs.OpenRead("a.lzh"), 0, {}};
  archive.anyMethod = anyMethod;
  std::vector<DecodedMember> members;
  lzh::HeaderCursor cursor(archive);
  cursor.Seek(0);
  while (cursor.Read()) {
    const lzh::MemberHeader& h = cursor.Member();
    DecodedMember m;
    m.method.assign(h.method, 5);
    m.name = cursor.Name();
    if (h.extensionText[0] != '\0') {
      char directory[lzh::kPathBytes];
      lzh::DirectoryFromExtension(h.extensionText, directory, sizeof(directory));
      m.directory = directory;
    }
    m.level = h.level;
    m.headerCrc = h.memberCrc;
    m.originalSize = h.originalSize;
    std::int32_t next = cursor.NextOffset();
    if (next > 0 && h.DataSize() <= next) {
      auto end = archiveBytes.begin() + std::min<std::size_t>(next, archiveBytes.size());
      auto begin = end - std::min<std::ptrdiff_t>(h.DataSize(), end - archiveBytes.begin());
      m.packed.assign(begin, end);
    }
    // The decoders of the build under test: the program's in its own.
    lzh::MemberDecoder& decoders = lzh::kProgramCore ? lzh::ProgramDecoders() : lzh::ToolDecoders();
    const bool chosen =
        anyMethod || (h.method[1] == 'l' && h.method[2] == 'h' && std::strchr(digits, h.method[3]));
    if (decoders.Takes(lzh::MethodIdOf(h.method)) && chosen) {
      fs.Remove("out");
      lzh::FileHandle output = fs.CreateOutput("out");
      lzh::MemberStream stream{fs,           archive.archiveHandle, output,
                               h.DataSize(), h.originalSize,        lzh::MethodIdOf(h.method)};
      fs.readChunk = readChunk;  // small reads for the decoder only
      decoders.Decode(stream);
      fs.readChunk = 0;
      fs.Close(output);
      m.output = fs.Find("out")->bytes;
      m.runningCrc = stream.runningCrc;
    }
    members.push_back(std::move(m));
    if (!cursor.Advance()) break;
  }
  return members;
}

}  // namespace lzhtest
