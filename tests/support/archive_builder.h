// Builds LHA archives byte by byte for crafted test cases.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lzhtest {

using Bytes = std::vector<std::uint8_t>;

struct Record {
  std::uint8_t type;
  Bytes data;
};

struct MemberPlan {
  std::string method = "-lh0-";
  std::string name;                      // as stored (level 0/1 header field)
  Bytes packed;                          // the packed data
  std::int64_t originalSize = -1;        // -1: packed.size()
  std::uint16_t crc = 0;                 // header CRC; see WithCrc
  std::uint32_t timeStamp = 0x31085E61;  // MS-DOS, or Unix time at level 2
  int level = 1;                         // 0 to 3
  std::vector<Record> records;           // level 1 to 3 extension records
  Bytes osArea;                          // level 0: bytes after the CRC inside the header
  bool noCrc = false;                    // level 0: the header ends where the CRC would be
  std::int64_t packedSizeOverride = -1;  // write this packedSize instead
};

// CRC-16/ARC of bytes (computed independently of the product's table).
std::uint16_t Crc16(const Bytes& bytes);

// A directory record's data: components separated and ended by 0xFF.
Bytes DirectoryRecordData(const std::string& slashSeparated, bool closingFF = true);

// One member: header then packed data.
Bytes MemberBytes(const MemberPlan& plan);

// Members followed by the end marker (a single zero byte).
Bytes ArchiveBytes(const std::vector<MemberPlan>& members, bool endMarker = true);

// A stored member of level 1 with correct CRC.
MemberPlan StoredMember(const std::string& name, const std::string& content, int level = 1);

inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

}  // namespace lzhtest
