#include "layers/read_ahead_file_system.h"

#include <cstring>

namespace lzhcli {

lzh::FileHandle ReadAheadFileSystem::OpenRead(const char* path) {
  lzh::FileHandle file = Below().OpenRead(path);
  if (file != lzh::kInvalidFile) {
    file_ = file;
    if (!block_) block_.Allocate(kBlockBytes);
    blockStart_ = position_ = belowAt_ = 0;
    blockCount_ = 0;
    sizeKnown_ = false;
  }
  return file;
}

std::int32_t ReadAheadFileSystem::ReadBelow(void* buffer, std::int32_t count) {
  if (belowAt_ != position_) {
    if (Below().Seek(file_, position_) != position_) {
      belowAt_ = -1;
      return 0;
    }
  }
  // A file that grows or shrinks meanwhile is seen as the read finds it.
  sizeKnown_ = false;
  std::int32_t got = Below().Read(file_, buffer, count);
  belowAt_ = position_ + got;
  return got;
}

std::int32_t ReadAheadFileSystem::Read(lzh::FileHandle file, void* buffer, std::int32_t count) {
  if (file != file_ || file_ == lzh::kInvalidFile) return Below().Read(file, buffer, count);
  if (count <= 0) return 0;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::int32_t done = 0;
  while (done < count) {
    const std::int64_t inBlock = position_ - blockStart_;
    if (inBlock >= 0 && inBlock < blockCount_) {
      std::int32_t take = blockCount_ - static_cast<std::int32_t>(inBlock);
      if (take > count - done) take = count - done;
      std::memcpy(out + done, block_.Get() + inBlock, static_cast<std::size_t>(take));
      done += take;
      position_ += take;
      continue;
    }
    // Large reads go straight to the caller's buffer.
    if (count - done >= kBlockBytes) {
      std::int32_t got = ReadBelow(out + done, count - done);
      done += got;
      position_ += got;
      break;
    }
    blockStart_ = position_;
    blockCount_ = ReadBelow(block_.Get(), kBlockBytes);
    if (blockCount_ == 0) break;
  }
  return done;
}

lzh::FileOffset ReadAheadFileSystem::Seek(lzh::FileHandle file, lzh::FileOffset offset) {
  if (file != file_ || file_ == lzh::kInvalidFile) return Below().Seek(file, offset);
  // As the file systems below: a negative offset fails, any other succeeds.
  if (offset < 0) return -1;
  position_ = offset;
  return offset;
}

lzh::FileSize ReadAheadFileSystem::Size(lzh::FileHandle file) {
  if (file != file_ || file_ == lzh::kInvalidFile) return Below().Size(file);
  if (!sizeKnown_) {
    size_ = Below().Size(file);
    sizeKnown_ = true;
  }
  return size_;
}

bool ReadAheadFileSystem::Close(lzh::FileHandle file) {
  if (file == file_) {
    file_ = lzh::kInvalidFile;
    blockCount_ = 0;
  }
  return Below().Close(file);
}

}  // namespace lzhcli
