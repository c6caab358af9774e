// The LHA member header and its reader.
//
// Format notes. Every header opens with the same 22 bytes (level 0 and 1
// layout): header size, checksum, the five method bytes ("-lh5-"), packed
// size, original size, MS-DOS time stamp, attribute, level, name length.
// What follows depends on the level:
//  - level 0: name, CRC-16, then an operating-system area up to the header's
//    headerSize + 2 bytes, which is skipped;
//  - level 1: name, CRC-16, OS id, then a chain of extension records, each
//    "type, data, 2-byte size of the next record" (0 ends the chain).
//    packedSize counts the records as well as the packed data. A name
//    too long for the header's size byte is stored in a name record
//    (type 1), the name in the fixed part left empty;
//  - level 2: bytes 0-1 are the whole header's size, the time stamp is Unix
//    time in UTC, CRC-16 at 21, OS id at 23, the first record's size at 24;
//    name (type 1) and directory (type 2) live only in records, and the
//    packed data follow the header directly. packedSize is the data alone.
//    Record 0x42 holds 64-bit packed and original sizes (8 bytes each) for
//    members over 4 GiB; the tool's build reads them in place of the
//    fields, the program's refuses such a member.
//    The LHA port for OS-9/68k (OS id "K") leaves the size field's own 2
//    bytes out of the header's size.
//  - level 3 (the command-line tool's alone): as level 2, with 4-byte
//    sizes: bytes 0-1 hold 4, the header's size is at 24, the first
//    record's at 28, and each record ends with the next one's 4-byte size.
// Directory records hold the components separated (and usually ended) by
// 0xFF. Higher levels (and level 3 in the program) are not read: they end
// the archive.
// The tool also reads the Unix facts: the time of record 0x54 or of a
// level-0 Unix area (after the CRC: 'U', a version byte, time, mode, ids),
// which replaces the MS-DOS time, and the mode of record 0x50 or that area.
#pragma once

#include <cstdint>

#include "platform/file_system.h"

namespace lzh {

inline constexpr int kFixedHeaderBytes = 22;
inline constexpr int kNameBufferBytes = 258;      // a name of up to 255 bytes
inline constexpr int kExtensionTextBytes = 1024;  // directory record text

struct MemberHeader {
  // The 22 fixed bytes as last read; a short read keeps earlier bytes.
  std::uint8_t fixed[kFixedHeaderBytes] = {};
  // Their fields.
  std::uint8_t headerSize = 0;
  std::uint8_t headerSum = 0;
  char method[5] = {};
  // Signed counts in the program's build; in the tool's, the fields as they
  // stand, or the sizes of record 0x42.
  FileOffset packedSize = 0;
  FileOffset originalSize = 0;
  std::uint32_t timeStamp = 0;  // MS-DOS date (high half) and time (low half)
  std::uint8_t attribute = 0;
  std::uint8_t level = 0;
  std::uint8_t nameLength = 0;
  // The variable part.
  std::uint16_t memberCrc = 0;
  std::uint8_t osId = 0;
  std::uint16_t extensionSize = 0;  // size of the first extension record
  // The directory record's text (type byte included) up to its first zero
  // byte; empty when the header has no directory record.
  char extensionText[kExtensionTextBytes] = {};

  // Derived while reading, for the walk and the decoders.
  std::uint32_t headerBytes = 0;  // bytes the header occupies in the file
  std::uint32_t recordBytes = 0;  // extension bytes counted in packedSize
  bool hasUnixTime = false;       // level 2 and 3, or a Unix record: replaces timeStamp
  std::int64_t unixTime = 0;
  bool hasUnixMode = false;  // the tool's: a Unix record gave the mode bits
  std::uint16_t unixMode = 0;
  // The tool's: false for a level-0 header that ends where its CRC would
  // begin (memberCrc is then 0 and checks nothing).
  bool hasCrc = true;
  bool textTooLong = false;  // a name or directory did not fit
  bool truncated = false;    // the file ended inside the header
  // A level-1 record chain ran on past the reader's bound (1 MiB): the
  // records after it were not read, so where the member's data start is
  // not known. packedSize still finds the next header.
  bool recordsTooLong = false;
  // Record 0x42 gave sizes that this build's counts cannot hold (the
  // program's: a member over 4 GiB; the tool's: 2^63 bytes or more, which
  // is damage): packedSize and originalSize are not its sizes. Also set
  // when the header ends past the largest position this build counts.
  bool hasLargeSizes = false;

  bool IsDirectoryEntry() const;  // method "-lhd-"
  // Packed bytes that belong to the decoder (packedSize less the records).
  FileOffset DataSize() const;
};

// Sees the extension records of each header the reader reads, for the
// command-line tool's names (the program reads only the directory record).
class RecordObserver {
 public:
  virtual ~RecordObserver() = default;
  // A new header's variable part is about to be read.
  virtual void HeaderStarts() = 0;
  // One record: its type and its data (without the next record's size).
  virtual void Record(std::uint8_t type, const std::uint8_t* data, std::uint32_t size) = 0;
};

// The archive as the walk reads it: one handle, one file position.
struct ArchiveReader {
  FileSystem& fs;
  FileHandle archiveHandle = kInvalidFile;
  FileOffset archivePosition = 0;  // outcome of the last seek, -1 on failure
  MemberHeader currentMember;
  // The command-line tool's: headers of any "-xxx-" method count as members
  // (so that members of methods nobody here decodes can be reported), not
  // only those whose method reads "lh"; and an observer of the records.
  bool anyMethod = false;
  RecordObserver* recordObserver = nullptr;
  // The command-line tool's: where the chain meets bytes that are neither a
  // header nor the archive's end, the cursor looks on for the next header
  // instead of ending there. Each such gap is counted; the last one's start
  // and where the headers resumed (-1: nothing followed) are kept.
  bool findsLostHeaders = false;
  int gaps = 0;
  FileOffset lastGapAt = -1;
  FileOffset lastGapResumedAt = -1;
};

void SeekArchive(ArchiveReader& archive, FileOffset offset);

// True when a member header of a readable level starts at the current
// position; fills the fixed part of currentMember.
bool ReadMemberHeader(ArchiveReader& archive);

// Reads the rest of the header that ReadMemberHeader found at headerOffset:
// the name (its bytes into nameBuffer; its text, cut where the file ends,
// into name), memberCrc and the extension records.
// Leaves the archive at the member's first packed byte.
void ReadVariablePart(ArchiveReader& archive, FileOffset headerOffset,
                      std::uint8_t (&nameBuffer)[kNameBufferBytes], char (&name)[kNameBufferBytes]);

// The tool's: the first offset at or after from where a member header that
// checks out (a method "-xxx-", a known level, and for levels 0 and 1 the
// header's checksum) starts, or -1 when there is none.
FileOffset FindHeaderFrom(ArchiveReader& archive, FileOffset from);

// Where the next header starts, or -1 when that would not move forward
// (a packedSize that points back or overflows ends the archive).
FileOffset NextHeaderOffset(const MemberHeader& member, FileOffset headerOffset);

// The first count bytes of buffer as a NUL-terminated text, cut before the
// first zero byte among them. text must hold count + 1 bytes.
void TextFromBuffer(const std::uint8_t* buffer, int count, char* text);

}  // namespace lzh
