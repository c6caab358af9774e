#include "archive_file.h"

#include <algorithm>
#include <vector>

#include "archive/header_cursor.h"
#include "sfx/pe_resources.h"

namespace lzhcli {

namespace {

constexpr std::int32_t kProgramProbeBytes = 1 << 20;  // the stub's resources lie well inside
// How far after the image an appended archive is looked for: other makers
// put a little data of their own between.
constexpr std::int32_t kScanBytes = 1 << 20;

bool HeaderAt(lzh::HeaderCursor& cursor, std::int32_t offset) {
  return cursor.Seek(offset) && cursor.Read() && !cursor.Member().truncated;
}

// The first offset at or after from where a whole member header reads, or
// -1. Only places whose method bytes look like "-l??-" are tried.
std::int32_t ScanForHeader(lzh::FileSystem& fs, lzh::FileHandle file, std::uint32_t from) {
  std::uint32_t size = fs.Size(file);
  if (from >= size || from > 0x7FFFFFFFu) return -1;
  std::vector<std::uint8_t> window(std::min<std::uint32_t>(size - from, kScanBytes));
  if (fs.Seek(file, static_cast<std::int32_t>(from)) < 0) return -1;
  window.resize(static_cast<std::size_t>(
      std::max(0, fs.Read(file, window.data(), static_cast<std::int32_t>(window.size())))));
  lzh::ArchiveReader reader{fs, file, 0, 0, {}};
  lzh::HeaderCursor cursor(reader);
  for (std::size_t i = 0; i + 7 <= window.size(); ++i) {
    if (window[i + 2] != '-' || window[i + 3] != 'l' || window[i + 6] != '-') continue;
    auto offset = static_cast<std::int32_t>(from + i);
    if (HeaderAt(cursor, offset)) return offset;
  }
  return -1;
}

}  // namespace

bool OpenArchive(lzh::FileSystem& fs, const std::string& path, OpenedArchive& archive,
                 std::string& error) {
  archive.handle = fs.OpenRead(path.c_str());
  if (archive.handle == lzh::kInvalidFile) {
    error = "cannot open " + path;
    return false;
  }
  std::vector<std::uint8_t> head(kProgramProbeBytes);
  head.resize(static_cast<std::size_t>(fs.Read(archive.handle, head.data(), kProgramProbeBytes)));
  archive.start = 0;
  archive.isProgram = head.size() >= 2 && head[0] == 'M' && head[1] == 'Z';
  lzh::ArchiveReader probe{fs, archive.handle, 0, 0, {}};
  lzh::HeaderCursor cursor(probe);
  bool found;
  if (archive.isProgram) {
    std::uint32_t offset = 0, imageEnd = 0;
    found = lzh::sfx::ReadArchiveOffset(head, offset) && offset != 0 &&
            offset < fs.Size(archive.handle) && offset <= 0x7FFFFFFFu &&
            HeaderAt(cursor, static_cast<std::int32_t>(offset));
    if (found) {
      archive.start = static_cast<std::int32_t>(offset);
    } else if (lzh::sfx::ImageEnd(head, imageEnd)) {
      std::int32_t scanned = ScanForHeader(fs, archive.handle, imageEnd);
      found = archive.foundByScan = scanned >= 0;
      archive.start = scanned;
    }
    if (!found) error = path + " is a program without an attached archive";
  } else {
    found = cursor.Seek(0) && cursor.Read();
    if (!found) error = path + " holds no LHA archive";
  }
  if (!found) {
    fs.Close(archive.handle);
    archive.handle = lzh::kInvalidFile;
  }
  return found;
}

std::uint32_t ArchiveEnd(lzh::FileSystem& fs, const OpenedArchive& archive) {
  lzh::ArchiveReader reader{fs, archive.handle, 0, 0, {}};
  lzh::HeaderCursor cursor(reader);
  std::int32_t end = archive.start;
  if (!cursor.Seek(archive.start)) return static_cast<std::uint32_t>(end);
  while (cursor.Read()) {
    std::int32_t next = cursor.NextOffset();
    if (next < 0) break;
    end = next;
    if (!cursor.Advance()) break;
  }
  std::uint32_t size = fs.Size(archive.handle);
  auto at = static_cast<std::uint32_t>(end);
  std::uint8_t marker = 1;
  if (at < size && fs.Seek(archive.handle, end) == end &&
      fs.Read(archive.handle, &marker, 1) == 1 && marker == 0)
    ++at;
  return at > size ? size : at;
}

bool EndsInsideMember(const std::string& path, std::int32_t start, const std::string& storedName) {
  lzh::FileSystem& fs = lzh::HostFileSystem();
  lzh::FileHandle file = fs.OpenRead(path.c_str());
  if (file == lzh::kInvalidFile) return false;
  lzh::ArchiveReader reader{fs, file, 0, 0, {}};
  lzh::HeaderCursor cursor(reader);
  std::string last;
  std::int64_t lastEnd = 0;
  if (cursor.Seek(start)) {
    while (cursor.Read()) {
      char name[lzh::kPathBytes];
      lzh::ComposeMemberName(cursor.Member(), cursor.Name(), name);
      last = name;
      lastEnd = static_cast<std::int64_t>(cursor.HeaderOffset()) + cursor.Member().headerBytes +
                cursor.Member().packedSize;
      if (!cursor.Advance()) break;
    }
  }
  bool cut = last == storedName && lastEnd > static_cast<std::int64_t>(fs.Size(file));
  fs.Close(file);
  return cut;
}

}  // namespace lzhcli
