#include "archive_file.h"

#include <vector>

#include "archive/header_cursor.h"
#include "sfx/pe_resources.h"

namespace lzhcli {

namespace {
constexpr std::int32_t kProgramProbeBytes = 1 << 20;  // the stub's resources lie well inside
}

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
  if (archive.isProgram) {
    std::uint32_t offset = 0;
    if (!lzh::sfx::ReadArchiveOffset(head, offset) || offset == 0 ||
        offset >= fs.Size(archive.handle) || offset > 0x7FFFFFFFu) {
      error = path + " is a program without an attached archive";
      fs.Close(archive.handle);
      archive.handle = lzh::kInvalidFile;
      return false;
    }
    archive.start = static_cast<std::int32_t>(offset);
  }
  lzh::ArchiveReader probe{fs, archive.handle, 0, 0, {}};
  probe.anyMethod = true;  // an archive of methods nothing here decodes is still one
  lzh::HeaderCursor cursor(probe);
  if (!cursor.Seek(archive.start) || !cursor.Read()) {
    error = path + " holds no LHA archive";
    fs.Close(archive.handle);
    archive.handle = lzh::kInvalidFile;
    return false;
  }
  return true;
}

}  // namespace lzhcli
