// The base of the tool's file-system layers: every call goes on to the file
// system below unchanged, so that a layer overrides only the calls it
// changes or watches.
#pragma once

#include "platform/file_system.h"

namespace lzhcli {

class ForwardingFileSystem : public lzh::FileSystem {
 public:
  explicit ForwardingFileSystem(lzh::FileSystem& below) : below_(below) {}

  lzh::FileHandle OpenRead(const char* path) override { return below_.OpenRead(path); }
  lzh::FileHandle CreateOutput(const char* path) override { return below_.CreateOutput(path); }
  std::int32_t Read(lzh::FileHandle file, void* buffer, std::int32_t count) override {
    return below_.Read(file, buffer, count);
  }
  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override {
    return below_.Write(file, buffer, count);
  }
  lzh::FileOffset Seek(lzh::FileHandle file, lzh::FileOffset offset) override {
    return below_.Seek(file, offset);
  }
  lzh::FileSize Size(lzh::FileHandle file) override { return below_.Size(file); }
  bool Close(lzh::FileHandle file) override { return below_.Close(file); }
  bool FindFirst(const char* path) override { return below_.FindFirst(path); }
  bool MakeDirectory(const char* path) override { return below_.MakeDirectory(path); }
  bool IsDirectory(const char* path) override { return below_.IsDirectory(path); }
  bool IsLink(const char* path) override { return below_.IsLink(path); }
  bool CanReplace(const char* path) override { return below_.CanReplace(path); }
  bool Rename(const char* from, const char* to, bool replace) override {
    return below_.Rename(from, to, replace);
  }
  bool Remove(const char* path) override { return below_.Remove(path); }
  void SetDosTime(lzh::FileHandle file, std::uint32_t dosDateTime) override {
    below_.SetDosTime(file, dosDateTime);
  }
  void SetUnixTime(lzh::FileHandle file, std::int64_t seconds) override {
    below_.SetUnixTime(file, seconds);
  }
  void SetUnixMode(lzh::FileHandle file, std::uint32_t mode) override {
    below_.SetUnixMode(file, mode);
  }
  std::uint32_t LastError() override { return below_.LastError(); }

 protected:
  lzh::FileSystem& Below() { return below_; }

 private:
  lzh::FileSystem& below_;
};

}  // namespace lzhcli
