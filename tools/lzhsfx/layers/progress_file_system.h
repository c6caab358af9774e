// Feeds a Progress display from the walk's own file calls: the archive's
// read position tells how far the whole archive is, the bytes written to
// the output file how far the member is. Forwards every call unchanged.
#pragma once

#include "archive/member_header.h"
#include "commands/commands.h"
#include "console/console_dialog.h"
#include "console/progress.h"
#include "layers/forwarding_file_system.h"

namespace lzhcli {

class ProgressFileSystem final : public ForwardingFileSystem {
 public:
  ProgressFileSystem(lzh::FileSystem& inner, Progress& progress)
      : ForwardingFileSystem(inner), progress_(progress) {}

  // The walk's current member header, for the size of each output, and
  // its dialog, whose entry the walk looked up last names the output (the
  // file created is a temporary one).
  void Watch(const lzh::MemberHeader& member, const ConsoleDialog& dialog) {
    member_ = &member;
    dialog_ = &dialog;
  }

  lzh::FileHandle OpenRead(const char* path) override {
    archive_ = Below().OpenRead(path);
    return archive_;
  }
  lzh::FileHandle CreateOutput(const char* path) override {
    lzh::FileHandle file = Below().CreateOutput(path);
    written_ = 0;
    bool named = dialog_ != nullptr && dialog_->current >= 0;
    progress_.StartItem(
        Printable(named ? dialog_->entries[static_cast<std::size_t>(dialog_->current)].name : path),
        member_ ? static_cast<std::uint64_t>(member_->originalSize) : 0);
    return file;
  }
  std::int32_t Read(lzh::FileHandle file, void* buffer, std::int32_t count) override {
    std::int32_t n = Below().Read(file, buffer, count);
    if (file == archive_ && n > 0) position_ += static_cast<std::uint32_t>(n);
    return n;
  }
  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override {
    std::int32_t n = Below().Write(file, buffer, count);
    if (n > 0) written_ += static_cast<std::uint32_t>(n);
    progress_.Update(written_, position_);
    return n;
  }
  lzh::FileOffset Seek(lzh::FileHandle file, lzh::FileOffset offset) override {
    lzh::FileOffset at = Below().Seek(file, offset);
    if (file == archive_ && at >= 0) position_ = static_cast<std::uint64_t>(at);
    return at;
  }

 private:
  Progress& progress_;
  const lzh::MemberHeader* member_ = nullptr;
  const ConsoleDialog* dialog_ = nullptr;
  lzh::FileHandle archive_ = lzh::kInvalidFile;
  std::uint64_t position_ = 0, written_ = 0;
};

}  // namespace lzhcli
