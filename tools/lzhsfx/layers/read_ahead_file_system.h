// The command-line tool's reads of an archive, in blocks of 256 KiB: the walk
// reads each member header in five or six small reads after a seek, which
// cost one system call each and dominate an archive of many small members.
// Seeks within the block and small reads are served from memory, and so is
// the file's size, asked once per header, until the next read from the file
// below; every other call goes to the file system below, whose results
// these match.
#pragma once

#include "layers/forwarding_file_system.h"
#include "system/large_buffer.h"

namespace lzhcli {

class ReadAheadFileSystem : public ForwardingFileSystem {
 public:
  explicit ReadAheadFileSystem(lzh::FileSystem& below) : ForwardingFileSystem(below) {}

  // The file opened for reading last is the one read ahead.
  lzh::FileHandle OpenRead(const char* path) override;
  std::int32_t Read(lzh::FileHandle file, void* buffer, std::int32_t count) override;
  lzh::FileOffset Seek(lzh::FileHandle file, lzh::FileOffset offset) override;
  bool Close(lzh::FileHandle file) override;
  lzh::FileSize Size(lzh::FileHandle file) override;

  // Where the next read of file starts, or -1 when file is not the one
  // read ahead.
  std::int64_t Position(lzh::FileHandle file) const {
    return file == file_ && file_ != lzh::kInvalidFile ? position_ : -1;
  }

 private:
  static constexpr std::int32_t kBlockBytes = 1 << 18;

  // Reads at position_ from the file below, seeking it first when its own
  // position differs.
  std::int32_t ReadBelow(void* buffer, std::int32_t count);

  lzh::FileHandle file_ = lzh::kInvalidFile;  // the file read ahead
  LargeBuffer block_;
  std::int64_t blockStart_ = 0;  // the file offset of block_[0]
  std::int32_t blockCount_ = 0;  // bytes the block holds
  std::int64_t position_ = 0;    // where the next read starts
  std::int64_t belowAt_ = 0;     // where the file below stands, or -1 when not known
  bool sizeKnown_ = false;       // size_ was told since the last read below
  lzh::FileSize size_ = 0;
};

}  // namespace lzhcli
