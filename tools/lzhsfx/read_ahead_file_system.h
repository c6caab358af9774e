// The command-line tool's reads of an archive, in blocks of 256 KiB: the walk
// reads each member header in five or six small reads after a seek, which
// cost one system call each and dominate an archive of many small members.
// Seeks within the block and small reads are served from memory; every
// other call goes to the file system below, whose results these match.
#pragma once

#include <vector>

#include "platform/file_system.h"

namespace lzhcli {

class ReadAheadFileSystem : public lzh::FileSystem {
 public:
  explicit ReadAheadFileSystem(lzh::FileSystem& below) : below_(below) {}

  // The file opened for reading last is the one read ahead.
  lzh::FileHandle OpenRead(const char* path) override;
  std::int32_t Read(lzh::FileHandle file, void* buffer, std::int32_t count) override;
  lzh::FileOffset Seek(lzh::FileHandle file, lzh::FileOffset offset) override;
  bool Close(lzh::FileHandle file) override;

  lzh::FileHandle CreateOutput(const char* path) override { return below_.CreateOutput(path); }
  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override {
    return below_.Write(file, buffer, count);
  }
  lzh::FileSize Size(lzh::FileHandle file) override { return below_.Size(file); }
  bool FindFirst(const char* path) override { return below_.FindFirst(path); }
  bool MakeDirectory(const char* path) override { return below_.MakeDirectory(path); }
  void SetDosTime(lzh::FileHandle file, std::uint32_t dosDateTime) override {
    below_.SetDosTime(file, dosDateTime);
  }
  void SetUnixTime(lzh::FileHandle file, std::int64_t seconds) override {
    below_.SetUnixTime(file, seconds);
  }
  std::uint32_t LastError() override { return below_.LastError(); }

 private:
  static constexpr std::int32_t kBlockBytes = 1 << 18;

  // Reads at position_ from the file below, seeking it first when its own
  // position differs.
  std::int32_t ReadBelow(void* buffer, std::int32_t count);

  lzh::FileSystem& below_;
  lzh::FileHandle file_ = lzh::kInvalidFile;  // the file read ahead
  std::vector<std::uint8_t> block_;
  std::int64_t blockStart_ = 0;  // the file offset of block_[0]
  std::int32_t blockCount_ = 0;  // bytes the block holds
  std::int64_t position_ = 0;    // where the next read starts
  std::int64_t belowAt_ = 0;     // where the file below stands, or -1 when not known
};

}  // namespace lzhcli
