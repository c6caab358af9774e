// Steps through an archive's chain of member headers.
#pragma once

#include <cstdint>

#include "archive/member_header.h"

namespace lzh {

// Reads the member headers one after the other, each found by computation
// from the one before: Seek to the first, then Read and Advance in turn.
// Works through the reader's handle and single position, which the
// decoders share between two headers.
class HeaderCursor {
 public:
  explicit HeaderCursor(ArchiveReader& archive) : archive_(archive) {}
  HeaderCursor(const HeaderCursor&) = delete;
  HeaderCursor& operator=(const HeaderCursor&) = delete;

  // Seeks to the header at offset, the first of a walk; false when the seek
  // fails.
  bool Seek(FileOffset offset);

  // Reads the header where the last Seek or Advance went. True when a header
  // of a readable level starts there; its name, CRC and extension records
  // are read too, and the archive is left at the member's first packed
  // byte. A header the file ends inside is marked truncated, and its name
  // holds only the bytes the file holds. False at the end of the archive.
  bool Read();

  // Where the header after the one read starts, or -1 when that would not
  // move forward (a packedSize that points back or overflows).
  FileOffset NextOffset() const { return NextHeaderOffset(Member(), headerOffset_); }

  // Seeks to the header after the one read; false, and no seek, when
  // NextOffset() is -1.
  bool Advance();

  const MemberHeader& Member() const { return archive_.currentMember; }
  // Where the header read starts.
  FileOffset HeaderOffset() const { return headerOffset_; }
  // The member's stored name (without the directory record's part), cut at
  // its first zero byte.
  const char* Name() const { return name_; }

 private:
  bool Resume();

  ArchiveReader& archive_;
  FileOffset headerOffset_ = 0;
  // The raw bytes of the name.
  std::uint8_t nameBuffer_[kNameBufferBytes] = {};
  char name_[kNameBufferBytes] = {};
};

}  // namespace lzh
