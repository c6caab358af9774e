#include "archive/member_header.h"

#include <cstring>
#include <limits>

#include "platform/heap.h"

namespace lzh {

namespace {

constexpr int kLevel2FixedBytes = 26;               // level 2: through the first record size
constexpr std::uint32_t kMaxRecordBytes = 1 << 20;  // bound on a level-1 record chain
constexpr std::uint8_t kNameRecord = 1;
constexpr std::uint8_t kDirectoryRecord = 2;
constexpr std::uint8_t kLargeSizesRecord = 0x42;
constexpr std::uint8_t kUnixModeRecord = 0x50;
constexpr std::uint8_t kUnixTimeRecord = 0x54;
constexpr std::uint8_t kOs9Id = 'K';  // OS id of the LHA port for OS-9/68k
// Level 0 written on Unix: after the CRC, 'U', a minor version, the Unix
// time (4 bytes), the mode (2), user and group ids (2 each).
constexpr std::uint8_t kUnixAreaId = 'U';
constexpr int kUnixAreaBytes = 12;
// Level 3: the fixed part runs through the first record's 4-byte size.
constexpr int kLevel3FixedBytes = 32;
constexpr std::uint32_t kMaxLevel3HeaderBytes = 1 << 20;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Sizes beyond 2^63 are taken as damage, as negative.
std::int64_t Le64(const std::uint8_t* p) {
  return static_cast<std::int64_t>(Le32(p) | static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

// A 32-bit size field: a signed count for the program, as it stands for the
// tool.
FileOffset SizeField(const std::uint8_t* p) {
  if constexpr (kWideOffsets) return Le32(p);
  return static_cast<FileOffset>(Le32(p));
}

void DecodeFixedPart(MemberHeader& m) {
  const std::uint8_t* f = m.fixed;
  m.headerSize = f[0];
  m.headerSum = f[1];
  std::memcpy(m.method, f + 2, 5);
  m.packedSize = SizeField(f + 7);
  m.originalSize = SizeField(f + 11);
  m.timeStamp = Le32(f + 15);
  m.attribute = f[19];
  m.level = f[20];
  m.nameLength = f[21];
}

// "-xxx-" with three visible characters, read whole: the method of some
// archiver, whether or not anything here decodes it.
bool IsAnyMethod(const MemberHeader& m) {
  if (m.truncated || m.fixed[2] != '-' || m.fixed[6] != '-') return false;
  for (int i = 3; i < 6; ++i) {
    if (m.fixed[i] <= ' ' || m.fixed[i] > '~') return false;
  }
  return true;
}

// Reads into a field, keeping its old bytes where the read falls short.
template <typename T>
void ReadField(ArchiveReader& archive, T& field) {
  std::uint8_t bytes[sizeof(T)];
  for (unsigned i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<std::uint8_t>(field >> (8 * i));
  if (archive.fs.Read(archive.archiveHandle, bytes, sizeof(T)) != sizeof(T))
    archive.currentMember.truncated = true;
  T value = 0;
  for (unsigned i = 0; i < sizeof(T); ++i) value = static_cast<T>(value | T(bytes[i]) << (8 * i));
  field = value;
}

// Stores a directory record's text (type byte included, cut at its first
// zero byte). dataBytes counts the type byte and the directory bytes.
void KeepDirectoryRecord(MemberHeader& m, const std::uint8_t* record, std::uint32_t dataBytes) {
  if (dataBytes >= sizeof m.extensionText) {
    m.textTooLong = true;
    dataBytes = sizeof m.extensionText - 1;
  }
  TextFromBuffer(record, static_cast<int>(dataBytes), m.extensionText);
}

// The tool's Unix facts: a time that replaces the MS-DOS one, and a mode.
void KeepUnixTime(MemberHeader& m, const std::uint8_t* p) {
  m.hasUnixTime = true;
  m.unixTime = static_cast<std::int64_t>(Le32(p));
}
void KeepUnixMode(MemberHeader& m, const std::uint8_t* p) {
  m.hasUnixMode = true;
  m.unixMode = Le16(p);
}

// One extension record of `size` bytes: type, data, size of the next one
// (kSizeBytes: 2, or 4 at level 3). Returns the next record's size, 0 at
// the end of the chain or when the record could not be read whole.
template <int kSizeBytes>
std::uint32_t ReadRecord(ArchiveReader& archive, std::uint32_t size,
                         std::uint8_t (&nameBuffer)[kNameBufferBytes],
                         char (&name)[kNameBufferBytes], bool namesInRecords) {
  MemberHeader& m = archive.currentMember;
  HeapArray<std::uint8_t> record(static_cast<std::size_t>(size) + 2);
  std::int32_t got =
      archive.fs.Read(archive.archiveHandle, record.Get(), static_cast<std::int32_t>(size));
  if (got != static_cast<std::int32_t>(size)) {
    m.truncated = true;
    return 0;
  }
  // A record too small to hold its own next-size field is the last one.
  std::uint32_t dataBytes = size > kSizeBytes ? size - kSizeBytes : size;
  std::uint8_t type = record[0];
  if (archive.recordObserver != nullptr)
    archive.recordObserver->Record(type, record.Get() + 1, dataBytes - 1);
  if (type == kDirectoryRecord) {
    KeepDirectoryRecord(m, record.Get(), dataBytes);
  } else if (type == kLargeSizesRecord && dataBytes >= 17) {
    std::int64_t packed = Le64(record.Get() + 1);
    std::int64_t original = Le64(record.Get() + 9);
    if constexpr (kWideOffsets) {
      m.hasLargeSizes = packed < 0 || original < 0;
      if (!m.hasLargeSizes) {
        m.packedSize = packed;
        m.originalSize = original;
      }
    } else {
      m.hasLargeSizes = packed != static_cast<std::uint32_t>(m.packedSize) ||
                        original != static_cast<std::uint32_t>(m.originalSize);
    }
  } else if (type == kNameRecord && namesInRecords) {
    std::uint32_t n = dataBytes - 1;
    if (n > 255) {
      m.textTooLong = true;
      n = 255;
    }
    std::memcpy(nameBuffer, record.Get() + 1, n);
    m.nameLength = static_cast<std::uint8_t>(n);
    TextFromBuffer(nameBuffer, static_cast<int>(n), name);
  } else if constexpr (!kProgramCore) {
    if (type == kUnixTimeRecord && dataBytes >= 5) KeepUnixTime(m, record.Get() + 1);
    if (type == kUnixModeRecord && dataBytes >= 3) KeepUnixMode(m, record.Get() + 1);
  }
  if (size <= kSizeBytes) return 0;
  const std::uint8_t* next = record.Get() + size - kSizeBytes;
  if constexpr (kSizeBytes == 4) return Le32(next);
  return Le16(next);
}

// Moves to the end of the current header. One that ends past the largest
// position this build counts (the program's, near 2 GiB) cannot be
// extracted: its member is refused as one too large, and the seek fails.
void SeekHeaderEnd(ArchiveReader& archive, FileOffset headerOffset) {
  MemberHeader& m = archive.currentMember;
  std::uint64_t end = static_cast<std::uint64_t>(headerOffset) + m.headerBytes;
  if (end > static_cast<std::uint64_t>(std::numeric_limits<FileOffset>::max())) {
    m.hasLargeSizes = true;
    SeekArchive(archive, -1);
    return;
  }
  SeekArchive(archive, static_cast<FileOffset>(end));
}

void ReadLevel2(ArchiveReader& archive, FileOffset headerOffset,
                std::uint8_t (&nameBuffer)[kNameBufferBytes], char (&name)[kNameBufferBytes]) {
  MemberHeader& m = archive.currentMember;
  std::uint8_t more[4] = {};
  if (archive.fs.Read(archive.archiveHandle, more, 4) != 4) m.truncated = true;
  m.memberCrc = static_cast<std::uint16_t>(m.fixed[21] | more[0] << 8);
  m.osId = more[1];
  // The OS-9/68k port counts the header without its own 2-byte size field.
  if (m.osId == kOs9Id) m.headerBytes += 2;
  m.extensionSize = Le16(more + 2);
  m.nameLength = 0;
  name[0] = 0;
  m.hasUnixTime = true;
  m.unixTime = static_cast<std::int64_t>(Le32(m.fixed + 15));
  std::uint32_t left = m.headerBytes - kLevel2FixedBytes;
  std::uint16_t size = m.extensionSize;
  while (size != 0 && size <= left) {
    left -= size;
    size = static_cast<std::uint16_t>(ReadRecord<2>(archive, size, nameBuffer, name, true));
  }
  SeekHeaderEnd(archive, headerOffset);
}

// The tool's: as level 2 with 4-byte sizes, the header's size at 24 and
// the first record's at 28 (bytes 0-1 hold the size fields' width, 4).
[[maybe_unused]] void ReadLevel3(ArchiveReader& archive, FileOffset headerOffset,
                                 std::uint8_t (&nameBuffer)[kNameBufferBytes],
                                 char (&name)[kNameBufferBytes]) {
  MemberHeader& m = archive.currentMember;
  std::uint8_t more[kLevel3FixedBytes - kFixedHeaderBytes] = {};
  if (archive.fs.Read(archive.archiveHandle, more, sizeof more) != sizeof more) m.truncated = true;
  m.memberCrc = static_cast<std::uint16_t>(m.fixed[21] | more[0] << 8);
  m.osId = more[1];
  m.headerBytes = Le32(more + 2);
  m.nameLength = 0;
  name[0] = 0;
  m.hasUnixTime = true;
  m.unixTime = static_cast<std::int64_t>(Le32(m.fixed + 15));
  if (m.headerBytes < kLevel3FixedBytes || m.headerBytes > kMaxLevel3HeaderBytes) {
    // No size to trust: the member's data cannot be found.
    m.headerBytes = kLevel3FixedBytes;
    m.truncated = true;
  }
  std::uint32_t left = m.headerBytes - kLevel3FixedBytes;
  std::uint32_t size = Le32(more + 6);
  while (size != 0 && size <= left) {
    left -= size;
    size = ReadRecord<4>(archive, size, nameBuffer, name, true);
  }
  SeekHeaderEnd(archive, headerOffset);
}

// The tool's: a level-0 operating-system area of `bytes` bytes, read where
// it is Unix's.
[[maybe_unused]] void ReadLevel0Area(ArchiveReader& archive, int bytes) {
  MemberHeader& m = archive.currentMember;
  std::uint8_t area[kUnixAreaBytes] = {};
  if (bytes < kUnixAreaBytes) return;
  if (archive.fs.Read(archive.archiveHandle, area, kUnixAreaBytes) != kUnixAreaBytes) return;
  if (area[0] != kUnixAreaId) return;
  KeepUnixTime(m, area + 2);
  KeepUnixMode(m, area + 6);
}

void ReadLevel1Records(ArchiveReader& archive, std::uint8_t (&nameBuffer)[kNameBufferBytes],
                       char (&name)[kNameBufferBytes]) {
  MemberHeader& m = archive.currentMember;
  ReadField(archive, m.osId);
  ReadField(archive, m.extensionSize);
  // A name too long for the fixed header is left empty there and stored in
  // a name record instead.
  bool nameInRecord = m.nameLength == 0;
  std::uint16_t size = m.extensionSize;
  while (size != 0 && m.recordBytes + size <= kMaxRecordBytes) {
    m.recordBytes += size;
    size = static_cast<std::uint16_t>(ReadRecord<2>(archive, size, nameBuffer, name, nameInRecord));
  }
  m.recordsTooLong = size != 0;
}

}  // namespace

// Compared in parts: other tools find a program's archive by the first
// method tag among its bytes, and the tag whole would be one.
bool MemberHeader::IsDirectoryEntry() const {
  return method[0] == '-' && method[4] == '-' && std::memcmp(method + 1, "lhd", 3) == 0;
}

FileOffset MemberHeader::DataSize() const {
  std::int64_t size = static_cast<std::int64_t>(packedSize) - recordBytes;
  return size < 0 ? 0 : static_cast<FileOffset>(size);
}

void TextFromBuffer(const std::uint8_t* buffer, int count, char* text) {
  int i = 0;
  for (; i < count && buffer[i] != 0; ++i) text[i] = static_cast<char>(buffer[i]);
  text[i] = 0;
}

void SeekArchive(ArchiveReader& archive, FileOffset offset) {
  archive.archivePosition = archive.fs.Seek(archive.archiveHandle, offset);
}

bool ReadMemberHeader(ArchiveReader& archive) {
  MemberHeader& m = archive.currentMember;
  // A read that stops short must not leave an earlier member's signature.
  m.fixed[3] = 0;
  m.fixed[4] = 0;
  m.truncated =
      archive.fs.Read(archive.archiveHandle, m.fixed, kFixedHeaderBytes) != kFixedHeaderBytes;
  DecodeFixedPart(m);
  bool found = (m.fixed[3] == 'l' && m.fixed[4] == 'h') || (archive.anyMethod && IsAnyMethod(m));
  // Level 3 is the tool's alone.
  if (found && m.level >= (kProgramCore ? 3 : 4)) found = false;
  if (found && m.level == 3) {
    // Its size is read with the rest of the header.
    m.headerBytes = kLevel3FixedBytes;
    if (Le16(m.fixed) != 4) found = false;
  } else if (found && m.level == 2) {
    m.headerBytes = Le16(m.fixed);
    if (m.headerBytes < kLevel2FixedBytes) found = false;
  } else {
    m.headerBytes = m.headerSize + 2u;
  }
  return found;
}

void ReadVariablePart(ArchiveReader& archive, FileOffset headerOffset,
                      std::uint8_t (&nameBuffer)[kNameBufferBytes],
                      char (&name)[kNameBufferBytes]) {
  MemberHeader& m = archive.currentMember;
  m.extensionText[0] = 0;
  m.recordBytes = 0;
  m.hasUnixTime = false;
  if constexpr (!kProgramCore) {
    m.hasUnixMode = false;
    m.hasCrc = true;
  }
  m.textTooLong = false;
  m.hasLargeSizes = false;
  m.recordsTooLong = false;
  if (archive.recordObserver != nullptr) archive.recordObserver->HeaderStarts();
  if (m.level == 2) {
    m.extensionSize = 0;
    ReadLevel2(archive, headerOffset, nameBuffer, name);
    return;
  }
  if constexpr (!kProgramCore) {
    if (m.level == 3) {
      m.extensionSize = 0;
      ReadLevel3(archive, headerOffset, nameBuffer, name);
      return;
    }
  }
  // A cut name is only what the file holds: the bytes past the cut belong
  // to no member.
  int n = m.nameLength;
  int got = archive.fs.Read(archive.archiveHandle, nameBuffer, n);
  if (got != n) m.truncated = true;
  TextFromBuffer(nameBuffer, m.truncated ? got : n, name);
  int extra = m.headerSize - n - kFixedHeaderBytes;
  // Some tools write level 0 without a CRC: the header ends where it would
  // begin, and the bytes there are the member's. The tool reads it so.
  if (kProgramCore || m.level != 0 || extra != -2) {
    ReadField(archive, m.memberCrc);
  } else {
    m.hasCrc = false;
    m.memberCrc = 0;
  }
  if (extra <= 0) {
    m.extensionSize = 0;
  } else if (m.level == 0) {
    // An operating-system area, not an extension record: skip it.
    m.extensionSize = 0;
    if constexpr (!kProgramCore) ReadLevel0Area(archive, extra);
    SeekHeaderEnd(archive, headerOffset);
  } else {
    ReadLevel1Records(archive, nameBuffer, name);
  }
}

namespace {

// Whether bytes (at least kLevel3FixedBytes, then as many as there are,
// `count`) open a member header worth resuming at.
bool LooksLikeHeader(const std::uint8_t* bytes, std::int64_t count) {
  if (bytes[2] != '-' || bytes[6] != '-') return false;
  for (int i = 3; i < 6; ++i) {
    if (bytes[i] <= ' ' || bytes[i] > '~') return false;
  }
  switch (bytes[20]) {
    case 0:
    case 1: {
      const int size = bytes[0];
      if (size < kFixedHeaderBytes - 2 + bytes[21] || size + 2 > count) return false;
      std::uint8_t sum = 0;
      for (int i = 2; i < size + 2; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
      return sum == bytes[1];
    }
    case 2:
      return Le16(bytes) >= kLevel2FixedBytes;
    case 3:
      return Le16(bytes) == 4 && Le32(bytes + 24) >= kLevel3FixedBytes;
    default:
      return false;
  }
}

}  // namespace

FileOffset FindHeaderFrom(ArchiveReader& archive, FileOffset from) {
  // Windows overlap by a header's largest level-0/1 size, so that one that
  // starts near a window's end is seen whole in the next.
  constexpr std::int32_t kWindow = 1 << 16;
  constexpr std::int32_t kOverlap = 258;
  HeapArray<std::uint8_t> window(kWindow);
  for (FileOffset at = from;; at += kWindow - kOverlap) {
    SeekArchive(archive, at);
    if (archive.archivePosition != at) return -1;
    const std::int32_t got = archive.fs.Read(archive.archiveHandle, window.Get(), kWindow);
    for (std::int32_t i = 0; i + kLevel3FixedBytes <= got; ++i) {
      if (i >= kWindow - kOverlap && got == kWindow) break;
      if (LooksLikeHeader(window.Get() + i, got - i)) return at + i;
    }
    if (got < kWindow) return -1;
  }
}

FileOffset NextHeaderOffset(const MemberHeader& member, FileOffset headerOffset) {
  if constexpr (kWideOffsets) {
    // Neither size is negative here, so the unsigned sum cannot wrap.
    std::uint64_t next = static_cast<std::uint64_t>(headerOffset) + member.headerBytes +
                         static_cast<std::uint64_t>(member.packedSize);
    if (next <= static_cast<std::uint64_t>(headerOffset) || next > INT64_MAX) return -1;
    return static_cast<FileOffset>(next);
  }
  std::int64_t next = static_cast<std::int64_t>(headerOffset) + member.headerBytes +
                      static_cast<std::int64_t>(member.packedSize);
  if (next <= headerOffset || next > INT32_MAX) return -1;
  return static_cast<std::int32_t>(next);
}

}  // namespace lzh
