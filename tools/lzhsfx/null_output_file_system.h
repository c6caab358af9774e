// A file system that reads the real archive but writes nowhere: output
// files swallow their bytes, so a walk in extract mode only checks CRCs.
// The walk is given "." to extract into, which exists and is empty:
// directories the walk makes below it are remembered so that its existence
// tests agree with what it made, and no output file ever exists beforehand.
#pragma once

#include <set>
#include <string>

#include "platform/file_system.h"

namespace lzhcli {

class NullOutputFileSystem : public lzh::FileSystem {
 public:
  explicit NullOutputFileSystem(lzh::FileSystem& reads) : reads_(reads) {}

  lzh::FileHandle OpenRead(const char* path) override { return reads_.OpenRead(path); }
  lzh::FileHandle CreateOutput(const char*) override {
    sinkBytes_ = 0;
    return kSink;
  }
  std::int32_t Read(lzh::FileHandle file, void* buffer, std::int32_t count) override {
    return reads_.Read(file, buffer, count);
  }
  std::int32_t Write(lzh::FileHandle, const void*, std::int32_t count) override {
    if (count <= 0) return 0;
    sinkBytes_ += static_cast<std::uint32_t>(count);
    return count;
  }
  std::int32_t Seek(lzh::FileHandle file, std::int32_t offset) override {
    return reads_.Seek(file, offset);
  }
  std::uint32_t Size(lzh::FileHandle file) override {
    return file == kSink ? sinkBytes_ : reads_.Size(file);
  }
  bool Close(lzh::FileHandle file) override { return file == kSink || reads_.Close(file); }
  bool FindFirst(const char* path) override;
  bool MakeDirectory(const char* path) override {
    made_.insert(path);
    return true;
  }
  void SetDosTime(lzh::FileHandle, std::uint32_t) override {}
  void SetUnixTime(lzh::FileHandle, std::int64_t) override {}
  std::uint32_t LastError() override { return 0; }

  static constexpr const char* kExtractPath = ".";

 private:
  static constexpr lzh::FileHandle kSink = 0x51AC;
  lzh::FileSystem& reads_;
  std::set<std::string> made_;
  std::uint32_t sinkBytes_ = 0;  // what the output file would hold
};

}  // namespace lzhcli
