#include "archive/member_header.h"

#include <cstring>

#include "platform/heap.h"

namespace lzh {

namespace {

constexpr int kLevel2FixedBytes = 26;               // level 2: through the first record size
constexpr std::uint32_t kMaxRecordBytes = 1 << 20;  // bound on a level-1 record chain
constexpr std::uint8_t kNameRecord = 1;
constexpr std::uint8_t kDirectoryRecord = 2;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void DecodeFixedPart(MemberHeader& m) {
  const std::uint8_t* f = m.Fixed;
  m.HeaderSize = f[0];
  m.HeaderSum = f[1];
  std::memcpy(m.Method, f + 2, 5);
  m.PackedSize = static_cast<std::int32_t>(Le32(f + 7));
  m.OriginalSize = static_cast<std::int32_t>(Le32(f + 11));
  m.TimeStamp = Le32(f + 15);
  m.Attribute = f[19];
  m.Level = f[20];
  m.NameLength = f[21];
}

// Reads into a field, keeping its old bytes where the read falls short.
template <typename T>
void ReadField(ArchiveReader& archive, T& field) {
  std::uint8_t bytes[sizeof(T)];
  for (unsigned i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<std::uint8_t>(field >> (8 * i));
  if (archive.fs.Read(archive.ArchiveHandle, bytes, sizeof(T)) != sizeof(T))
    archive.CurrentMember.Truncated = true;
  T value = 0;
  for (unsigned i = 0; i < sizeof(T); ++i) value = static_cast<T>(value | T(bytes[i]) << (8 * i));
  field = value;
}

// Stores a directory record's text (type byte included, cut at its first
// zero byte). dataBytes counts the type byte and the directory bytes.
void KeepDirectoryRecord(MemberHeader& m, const std::uint8_t* record, std::uint32_t dataBytes) {
  if (dataBytes >= sizeof m.ExtensionText) {
    m.TextTooLong = true;
    dataBytes = sizeof m.ExtensionText - 1;
  }
  TextFromBuffer(record, static_cast<int>(dataBytes), m.ExtensionText);
}

// One extension record of `size` bytes: type, data, size of the next one.
// Returns the next record's size, 0 at the end of the chain or when the
// record could not be read whole.
std::uint16_t ReadRecord(ArchiveReader& archive, std::uint16_t size,
                         std::uint8_t (&nameBuffer)[kNameBufferBytes],
                         char (&name)[kNameBufferBytes], bool namesInRecords) {
  MemberHeader& m = archive.CurrentMember;
  HeapArray<std::uint8_t> record(static_cast<std::size_t>(size) + 2);
  std::int32_t got = archive.fs.Read(archive.ArchiveHandle, record.get(), size);
  if (got != size) {
    m.Truncated = true;
    return 0;
  }
  // A record too small to hold its own next-size field is the last one.
  std::uint32_t dataBytes = size >= 3 ? size - 2u : size;
  std::uint8_t type = record[0];
  if (type == kDirectoryRecord) {
    KeepDirectoryRecord(m, record.get(), dataBytes);
  } else if (type == kNameRecord && namesInRecords) {
    std::uint32_t n = dataBytes - 1;
    if (n > 255) {
      m.TextTooLong = true;
      n = 255;
    }
    std::memcpy(nameBuffer, record.get() + 1, n);
    m.NameLength = static_cast<std::uint8_t>(n);
    TextFromBuffer(nameBuffer, static_cast<int>(n), name);
  }
  return size >= 3 ? Le16(record.get() + size - 2) : 0;
}

void ReadLevel2(ArchiveReader& archive, std::int32_t headerOffset,
                std::uint8_t (&nameBuffer)[kNameBufferBytes], char (&name)[kNameBufferBytes]) {
  MemberHeader& m = archive.CurrentMember;
  std::uint8_t more[4] = {};
  if (archive.fs.Read(archive.ArchiveHandle, more, 4) != 4) m.Truncated = true;
  m.MemberCrc = static_cast<std::uint16_t>(m.Fixed[21] | more[0] << 8);
  m.OsId = more[1];
  m.ExtensionSize = Le16(more + 2);
  m.NameLength = 0;
  name[0] = 0;
  m.HasUnixTime = true;
  m.UnixTime = static_cast<std::int64_t>(Le32(m.Fixed + 15));
  std::uint32_t left = m.HeaderBytes - kLevel2FixedBytes;
  std::uint16_t size = m.ExtensionSize;
  while (size != 0 && size <= left) {
    left -= size;
    size = ReadRecord(archive, size, nameBuffer, name, true);
  }
  SeekArchive(archive, headerOffset + static_cast<std::int32_t>(m.HeaderBytes));
}

void ReadLevel1Records(ArchiveReader& archive, std::uint8_t (&nameBuffer)[kNameBufferBytes],
                       char (&name)[kNameBufferBytes]) {
  MemberHeader& m = archive.CurrentMember;
  ReadField(archive, m.OsId);
  ReadField(archive, m.ExtensionSize);
  std::uint16_t size = m.ExtensionSize;
  while (size != 0 && m.RecordBytes + size <= kMaxRecordBytes) {
    m.RecordBytes += size;
    size = ReadRecord(archive, size, nameBuffer, name, false);
  }
}

}  // namespace

bool MemberHeader::IsDirectoryEntry() const { return std::memcmp(Method, "-lhd-", 5) == 0; }

std::int32_t MemberHeader::DataSize() const {
  std::int64_t size = static_cast<std::int64_t>(PackedSize) - RecordBytes;
  return size < 0 ? 0 : static_cast<std::int32_t>(size);
}

void TextFromBuffer(const std::uint8_t* buffer, int count, char* text) {
  int i = 0;
  for (; i < count && buffer[i] != 0; ++i) text[i] = static_cast<char>(buffer[i]);
  text[i] = 0;
}

void SeekArchive(ArchiveReader& archive, std::int32_t offset) {
  archive.ArchivePosition = archive.fs.Seek(archive.ArchiveHandle, offset);
}

bool ReadMemberHeader(ArchiveReader& archive) {
  MemberHeader& m = archive.CurrentMember;
  // A read that stops short must not leave an earlier member's signature.
  m.Fixed[3] = 0;
  m.Fixed[4] = 0;
  m.Truncated =
      archive.fs.Read(archive.ArchiveHandle, m.Fixed, kFixedHeaderBytes) != kFixedHeaderBytes;
  DecodeFixedPart(m);
  bool found = m.Fixed[3] == 'l' && m.Fixed[4] == 'h';
  if (found && m.Level >= 3) found = false;
  if (found && m.Level == 2) {
    m.HeaderBytes = Le16(m.Fixed);
    if (m.HeaderBytes < kLevel2FixedBytes) found = false;
  } else {
    m.HeaderBytes = m.HeaderSize + 2u;
  }
  archive.PackedLeft = found ? m.PackedSize : 0;
  return found;
}

void ReadVariablePart(ArchiveReader& archive, std::int32_t headerOffset,
                      std::uint8_t (&nameBuffer)[kNameBufferBytes],
                      char (&name)[kNameBufferBytes]) {
  MemberHeader& m = archive.CurrentMember;
  m.ExtensionText[0] = 0;
  m.RecordBytes = 0;
  m.HasUnixTime = false;
  m.TextTooLong = false;
  if (m.Level == 2) {
    m.ExtensionSize = 0;
    ReadLevel2(archive, headerOffset, nameBuffer, name);
    return;
  }
  int n = m.NameLength;
  if (archive.fs.Read(archive.ArchiveHandle, nameBuffer, n) != n) m.Truncated = true;
  TextFromBuffer(nameBuffer, n, name);
  ReadField(archive, m.MemberCrc);
  int extra = m.HeaderSize - n - kFixedHeaderBytes;
  if (extra <= 0) {
    m.ExtensionSize = 0;
  } else if (m.Level == 0) {
    // An operating-system area, not an extension record: skip it.
    m.ExtensionSize = 0;
    SeekArchive(archive, headerOffset + static_cast<std::int32_t>(m.HeaderBytes));
  } else {
    ReadLevel1Records(archive, nameBuffer, name);
  }
}

std::int32_t NextHeaderOffset(const MemberHeader& member, std::int32_t headerOffset) {
  std::int64_t next = static_cast<std::int64_t>(headerOffset) + member.HeaderBytes +
                      static_cast<std::int64_t>(member.PackedSize);
  if (next <= headerOffset || next > INT32_MAX) return -1;
  return static_cast<std::int32_t>(next);
}

}  // namespace lzh
