// Feeds a Progress display from the walk's own file calls: the archive's
// read position tells how far the whole archive is, the bytes written to
// the output file how far the member is. Forwards every call unchanged.
#pragma once

#include "archive/member_header.h"
#include "commands.h"
#include "platform/file_system.h"
#include "progress.h"

namespace lzhcli {

class ProgressFileSystem final : public lzh::FileSystem {
 public:
  ProgressFileSystem(lzh::FileSystem& inner, Progress& progress)
      : inner_(inner), progress_(progress) {}

  // The walk's current member header, for the size of each output.
  void Watch(const lzh::MemberHeader& member) { member_ = &member; }

  lzh::FileHandle OpenRead(const char* path) override {
    archive_ = inner_.OpenRead(path);
    return archive_;
  }
  lzh::FileHandle CreateOutput(const char* path) override {
    lzh::FileHandle file = inner_.CreateOutput(path);
    written_ = 0;
    progress_.StartItem(Printable(path),
                        member_ ? static_cast<std::uint64_t>(member_->originalSize) : 0);
    return file;
  }
  std::int32_t Read(lzh::FileHandle file, void* buffer, std::int32_t count) override {
    std::int32_t n = inner_.Read(file, buffer, count);
    if (file == archive_ && n > 0) position_ += static_cast<std::uint32_t>(n);
    return n;
  }
  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override {
    std::int32_t n = inner_.Write(file, buffer, count);
    if (n > 0) written_ += static_cast<std::uint32_t>(n);
    progress_.Update(written_, position_);
    return n;
  }
  lzh::FileOffset Seek(lzh::FileHandle file, lzh::FileOffset offset) override {
    lzh::FileOffset at = inner_.Seek(file, offset);
    if (file == archive_ && at >= 0) position_ = static_cast<std::uint64_t>(at);
    return at;
  }
  lzh::FileSize Size(lzh::FileHandle file) override { return inner_.Size(file); }
  bool Close(lzh::FileHandle file) override { return inner_.Close(file); }
  bool FindFirst(const char* path) override { return inner_.FindFirst(path); }
  bool MakeDirectory(const char* path) override { return inner_.MakeDirectory(path); }
  void SetDosTime(lzh::FileHandle file, std::uint32_t dosDateTime) override {
    inner_.SetDosTime(file, dosDateTime);
  }
  void SetUnixTime(lzh::FileHandle file, std::int64_t seconds) override {
    inner_.SetUnixTime(file, seconds);
  }
  std::uint32_t LastError() override { return inner_.LastError(); }

 private:
  lzh::FileSystem& inner_;
  Progress& progress_;
  const lzh::MemberHeader* member_ = nullptr;
  lzh::FileHandle archive_ = lzh::kInvalidFile;
  std::uint64_t position_ = 0, written_ = 0;
};

}  // namespace lzhcli
