#include "session/archive_file.h"

#include <algorithm>
#include <vector>

#include "archive/header_cursor.h"
#include "commands/commands.h"
#include "session/member_names.h"
#include "sfx/pe_resources.h"
#include "system/tool_platform.h"

namespace lzhcli {

namespace {

constexpr std::int32_t kProgramProbeBytes = 1 << 20;  // the stub's resources lie well inside
// How far after the image an appended archive is looked for: other makers
// put a little data of their own between.
constexpr std::int32_t kScanBytes = 1 << 20;

bool HeaderAt(lzh::HeaderCursor& cursor, lzh::FileOffset offset) {
  return cursor.Seek(offset) && cursor.Read() && !cursor.Member().truncated;
}

// The first offset at or after from where a whole member header reads, or
// -1. Only places whose method bytes look like "-l??-" are tried.
lzh::FileOffset ScanForHeader(lzh::FileSystem& fs, lzh::FileHandle file, std::uint32_t from) {
  lzh::FileSize size = fs.Size(file);
  if (from >= size) return -1;
  std::vector<std::uint8_t> window(std::min<lzh::FileSize>(size - from, kScanBytes));
  if (fs.Seek(file, from) < 0) return -1;
  window.resize(static_cast<std::size_t>(
      std::max(0, fs.Read(file, window.data(), static_cast<std::int32_t>(window.size())))));
  lzh::ArchiveReader reader{fs, file, 0, {}};
  lzh::HeaderCursor cursor(reader);
  for (std::size_t i = 0; i + 7 <= window.size(); ++i) {
    if (window[i + 2] != '-' || window[i + 3] != 'l' || window[i + 6] != '-') continue;
    auto offset = static_cast<lzh::FileOffset>(from + i);
    if (HeaderAt(cursor, offset)) return offset;
  }
  return -1;
}

}  // namespace

bool OpenArchive(lzh::FileSystem& fs, const std::string& path, OpenedArchive& archive,
                 std::string& error, const std::string& shownName) {
  const std::string shown = shownName.empty() ? Printable(path) : shownName;
  ClearSystemError();
  archive.handle = fs.OpenRead(path.c_str());
  if (archive.handle == lzh::kInvalidFile) {
    error = "cannot open " + shown + SystemReason(LastSystemError());
    return false;
  }
  // Only a program is probed further: an archive's first header is read
  // without the megabyte before it (a read, and as much memory to clear).
  std::uint8_t magic[2] = {};
  archive.start = 0;
  archive.isProgram = fs.Read(archive.handle, magic, 2) == 2 && magic[0] == 'M' && magic[1] == 'Z';
  std::vector<std::uint8_t> head;
  if (archive.isProgram) {
    head.resize(kProgramProbeBytes);
    const std::int32_t got = fs.Seek(archive.handle, 0) == 0
                                 ? fs.Read(archive.handle, head.data(), kProgramProbeBytes)
                                 : 0;
    head.resize(static_cast<std::size_t>(std::max(0, got)));
  }
  lzh::ArchiveReader probe{fs, archive.handle, 0, {}};
  probe.anyMethod = true;  // an archive of methods nothing here decodes is still one
  lzh::HeaderCursor cursor(probe);
  bool found;
  if (archive.isProgram) {
    std::uint32_t offset = 0, imageEnd = 0;
    found = lzh::sfx::ReadArchiveOffset(head, offset) && offset != 0 &&
            offset < fs.Size(archive.handle) && HeaderAt(cursor, offset);
    if (found) {
      archive.start = offset;
    } else if (lzh::sfx::ImageEnd(head, imageEnd)) {
      lzh::FileOffset scanned = ScanForHeader(fs, archive.handle, imageEnd);
      found = archive.foundByScan = scanned >= 0;
      archive.start = scanned;
    }
    if (!found) error = shown + " is a program without an attached archive";
  } else {
    found = cursor.Seek(0) && cursor.Read();
    if (!found) error = shown + " holds no LHA archive";
  }
  if (!found) {
    fs.Close(archive.handle);
    archive.handle = lzh::kInvalidFile;
  }
  return found;
}

lzh::FileSize ArchiveEnd(lzh::FileSystem& fs, const OpenedArchive& archive) {
  lzh::ArchiveReader reader{fs, archive.handle, 0, {}};
  lzh::HeaderCursor cursor(reader);
  lzh::FileOffset end = archive.start;
  if (!cursor.Seek(archive.start)) return static_cast<lzh::FileSize>(end);
  while (cursor.Read()) {
    lzh::FileOffset next = cursor.NextOffset();
    if (next < 0) break;
    end = next;
    if (!cursor.Advance()) break;
  }
  lzh::FileSize size = fs.Size(archive.handle);
  auto at = static_cast<lzh::FileSize>(end);
  std::uint8_t marker = 1;
  if (at < size && fs.Seek(archive.handle, end) == end &&
      fs.Read(archive.handle, &marker, 1) == 1 && marker == 0)
    ++at;
  return at > size ? size : at;
}

}  // namespace lzhcli
