// A file system that reads the real archive but writes no files: output
// files swallow their bytes (or pass them on to one stream, such as
// stdout), so a walk in extract mode only checks CRCs.
// The walk is given "." to extract into, which exists and is empty:
// directories the walk makes below it are remembered so that its existence
// tests agree with what it made, and no output file ever exists beforehand.
#pragma once

#include <cerrno>
#include <cstdio>
#include <set>
#include <string>

#include "layers/forwarding_file_system.h"

namespace lzhcli {

class NullOutputFileSystem : public ForwardingFileSystem {
 public:
  explicit NullOutputFileSystem(lzh::FileSystem& reads, std::FILE* copyTo = nullptr)
      : ForwardingFileSystem(reads), copyTo_(copyTo) {}

  lzh::FileHandle CreateOutput(const char*) override {
    sinkBytes_ = 0;
    return kSink;
  }
  std::int32_t Write(lzh::FileHandle, const void* buffer, std::int32_t count) override {
    if (count <= 0) return 0;
    if (copyTo_ != nullptr) {
      count = static_cast<std::int32_t>(
          std::fwrite(buffer, 1, static_cast<std::size_t>(count), copyTo_));
    }
    sinkBytes_ += static_cast<lzh::FileSize>(count);
    return count;
  }
  lzh::FileSize Size(lzh::FileHandle file) override {
    return file == kSink ? sinkBytes_ : Below().Size(file);
  }
  bool FindFirst(const char* path) override;
  bool MakeDirectory(const char* path) override {
    made_.insert(path);
    return true;
  }
  // Nothing is below "." but what the walk made, and no file is ever there.
  bool IsDirectory(const char* path) override { return FindFirst(path); }
  bool IsLink(const char*) override { return false; }
  bool CanReplace(const char*) override { return true; }
  bool Rename(const char*, const char*, bool) override { return true; }
  bool Remove(const char*) override { return true; }
  void SetDosTime(lzh::FileHandle, std::uint32_t) override {}
  void SetUnixTime(lzh::FileHandle, std::int64_t) override {}
  void SetUnixMode(lzh::FileHandle, std::uint32_t) override {}
  std::uint32_t LastError() override { return copyTo_ != nullptr ? lastError_ : 0; }
  bool Close(lzh::FileHandle file) override {
    if (file != kSink) return Below().Close(file);
    if (copyTo_ != nullptr && std::fflush(copyTo_) != 0) {
      lastError_ = static_cast<std::uint32_t>(errno);
      return false;
    }
    return true;
  }

  static constexpr const char* kExtractPath = ".";

 private:
  static constexpr lzh::FileHandle kSink = 0x51AC;
  std::set<std::string> made_;
  std::FILE* copyTo_;
  lzh::FileSize sinkBytes_ = 0;  // what the output file would hold
  std::uint32_t lastError_ = 0;
};

}  // namespace lzhcli
