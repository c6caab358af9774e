#include "archive/header_cursor.h"

namespace lzh {

bool HeaderCursor::Seek(FileOffset offset) {
  if constexpr (!kProgramCore) archive_.gaps = 0;
  SeekArchive(archive_, offset);
  return archive_.archivePosition != -1;
}

bool HeaderCursor::Read() {
  if (!ReadMemberHeader(archive_)) {
    if constexpr (kProgramCore) return false;
    if (!archive_.findsLostHeaders || !Resume()) return false;
  }
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

// The tool's: at bytes that are neither a header nor the archive's end
// (its end marker, a zero byte, or the file's end), goes on at the next
// header after them, if any, and notes the gap.
bool HeaderCursor::Resume() {
  const FileOffset at = archive_.archivePosition;
  if (at < 0) return false;
  std::uint8_t first = 0;
  SeekArchive(archive_, at);
  if (archive_.fs.Read(archive_.archiveHandle, &first, 1) != 1 || first == 0) {
    SeekArchive(archive_, at);
    return false;
  }
  const FileOffset found = FindHeaderFrom(archive_, at + 1);
  ++archive_.gaps;
  archive_.lastGapAt = at;
  archive_.lastGapResumedAt = found;
  SeekArchive(archive_, found < 0 ? at : found);
  return found >= 0 && ReadMemberHeader(archive_);
}

bool HeaderCursor::Advance() {
  FileOffset next = NextOffset();
  if (next < 0) return false;
  SeekArchive(archive_, next);
  return true;
}

}  // namespace lzh
