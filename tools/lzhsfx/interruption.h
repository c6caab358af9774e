// Ctrl-C or SIGTERM (on Windows the console's Ctrl-C, Ctrl-Break and close
// events) while lzhsfx extracts: the output file being written is removed,
// only that file, which this run created or replaced; the user is told; and
// the process ends with the signal's conventional status, as if it had not
// been caught.
#pragma once

#include "platform/file_system.h"

namespace lzhcli {

// Forwards every call to another file system and keeps note of the output
// file open between CreateOutput and Close, for the handler it installs.
// One at a time; the handlers are removed again when it goes.
class InterruptibleOutputs final : public lzh::FileSystem {
 public:
  explicit InterruptibleOutputs(lzh::FileSystem& inner);
  ~InterruptibleOutputs() override;
  InterruptibleOutputs(const InterruptibleOutputs&) = delete;
  InterruptibleOutputs& operator=(const InterruptibleOutputs&) = delete;

  lzh::FileHandle OpenRead(const char* path) override { return inner_.OpenRead(path); }
  lzh::FileHandle CreateOutput(const char* path) override;
  std::int32_t Read(lzh::FileHandle file, void* buffer, std::int32_t count) override {
    return inner_.Read(file, buffer, count);
  }
  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override;
  lzh::FileOffset Seek(lzh::FileHandle file, lzh::FileOffset offset) override {
    return inner_.Seek(file, offset);
  }
  lzh::FileSize Size(lzh::FileHandle file) override { return inner_.Size(file); }
  bool Close(lzh::FileHandle file) override;
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
};

}  // namespace lzhcli
