#include "archive/header_cursor.h"

namespace lzh {

bool HeaderCursor::Seek(std::int32_t offset) {
  SeekArchive(archive_, offset);
  return archive_.archivePosition != -1;
}

bool HeaderCursor::Read() {
  if (!ReadMemberHeader(archive_)) return false;
  // Reading the fixed part does not move archivePosition: it still holds
  // where the last seek went, the header's start.
  headerOffset_ = archive_.archivePosition;
  ReadVariablePart(archive_, headerOffset_, nameBuffer_, name_);
  return true;
}

bool HeaderCursor::Advance() {
  std::int32_t next = NextOffset();
  if (next < 0) return false;
  SeekArchive(archive_, next);
  return true;
}

}  // namespace lzh
