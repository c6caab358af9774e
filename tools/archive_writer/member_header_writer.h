// The bytes of one member header at level 0, 1 or 2, as the LHA tools
// write them.
//
// Format notes. Levels 0 and 1 open with a one-byte header size, a checksum
// (the sum of the header's bytes from the third on), the method, packed
// and original size, an MS-DOS time stamp in local time, the attribute,
// the level, the name and the CRC-16 of the data. Level 0 stores the whole
// path in the name, "\" separated (a directory entry ends in "\"). Level 1
// stores the file name alone; an OS id and a chain of extension records
// follow (type, data, size of the next record), here the directory record
// (type 2: components, each ended by 0xFF), and the packed size counts
// the records too. Level 2 opens with the whole header's 2-byte size, keeps
// the time as Unix seconds in UTC and puts the name (type 1) and the
// directory (type 2) in records only; a record of type 0 holds the CRC-16
// of the whole header, taken with that field 0. Records 0x44 and 0x45 hold
// the name and the directory as UTF-16LE for the archivers that read them
// (the directory's components each ended by 0xFFFF). Sizes are 32-bit
// fields; a member of 4 GiB or more needs level 2, whose record 0x42 holds
// the packed and original sizes in 8 bytes each (the fields keep their low
// 32 bits, which readers of the record ignore). A level-2 header
// whose size has a low byte of 0 gets one more byte, so that no reader of
// the older layout takes it for the end of the archive. Record 0x50 (levels
// 1 and 2) holds a Unix mode, 2 bytes: the file type and permission bits as
// st_mode has them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lzhwrite {

struct MemberFields {
  char method[6] = "-lh5-";      // five bytes and a NUL
  std::uint64_t packedSize = 0;  // the data alone; level 1 adds its records
  std::uint64_t originalSize = 0;
  std::int64_t unixTime = 0;   // seconds since 1970, UTC; clamped to what the level holds
  std::uint16_t crc = 0;       // CRC-16 of the original bytes
  std::uint16_t unixMode = 0;  // st_mode's bits for record 0x50; 0 writes none
  bool isDirectory = false;
  // The stored path, "/" separated, relative, no "/" at either end: its
  // bytes as stored (a code page's). For a directory entry, the directory.
  std::string path;
  // The same path as UTF-16, for the records 0x44 and 0x45 at level 2;
  // empty to write none.
  std::u16string utf16Path;
};

enum class HeaderError {
  None,
  NameTooLong,   // the path does not fit the level's header
  SizeTooLarge,  // a size does not fit the level's 32-bit fields (4 GiB or more)
  BadLevel,
};

// The header for the fields at level 0, 1 or 2, into out. Its length does
// not depend on the packed size, the CRC, the time or the method, so a
// header can be written first and overwritten once they are known (record
// 0x42 is there when the original size is 4 GiB or more: a packed size
// stays below the original, or equals it when stored).
HeaderError BuildMemberHeader(const MemberFields& fields, int level,
                              std::vector<std::uint8_t>& out);

// An MS-DOS date and time (date in the high 16 bits) for Unix seconds, in
// the local time zone; clamped to 1980-01-01 .. 2107-12-31.
std::uint32_t DosTimeFromUnix(std::int64_t unixTime);

// False when a header of the level cannot hold the time and stores the
// nearest it can: levels 0 and 1 keep local MS-DOS times (1980-01-01 ..
// 2107-12-31), level 2 unsigned 32-bit Unix seconds (1970-01-01 ..
// 2106-02-07, UTC), which the readers take as unsigned.
bool TimeFits(std::int64_t unixTime, int level);

// UTF-8 to UTF-16; false for bytes that are not UTF-8.
bool Utf8ToUtf16(const std::string& utf8, std::u16string& out);

}  // namespace lzhwrite
