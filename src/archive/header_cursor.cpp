#include "archive/header_cursor.h"

namespace lzh {

bool HeaderCursor::Seek(FileOffset offset) {
  SeekArchive(archive_, offset);
  return archive_.archivePosition != -1;
}

bool HeaderCursor::Read() {
  if (!ReadMemberHeader(archive_)) return false;
  // Reading the fixed part does not move archivePosition: it still holds
  // where the last seek went, the header's start.
  headerOffset_ = archive_.archivePosition;
  ReadVariablePart(archive_, headerOffset_, nameBuffer_, name_);
  // Levels 0 and 2 skip to the header's end by seeking, which succeeds past
  // the end of the file: a header the file ends inside is cut all the same.
  MemberHeader& m = archive_.currentMember;
  if (archive_.fs.Size(archive_.archiveHandle) <
      static_cast<FileSize>(headerOffset_) + m.headerBytes)
    m.truncated = true;
  return true;
}

bool HeaderCursor::Advance() {
  FileOffset next = NextOffset();
  if (next < 0) return false;
  SeekArchive(archive_, next);
  return true;
}

}  // namespace lzh
