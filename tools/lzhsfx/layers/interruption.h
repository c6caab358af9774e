// Ctrl-C or SIGTERM (on Windows the console's Ctrl-C, Ctrl-Break and close
// events) while lzhsfx extracts: the output file being written is removed,
// only that file, which this run created under a temporary name and has
// not yet given its own (a file it replaces stays as it was); the user is
// told; and
// the process ends with the signal's conventional status, as if it had not
// been caught.
#pragma once

#include <string>

#include "layers/forwarding_file_system.h"

namespace lzhcli {

// Forwards every call to another file system and keeps note of the output
// file from CreateOutput until it is renamed or removed, for the handler
// it installs.
// One at a time; the handlers are removed again when it goes.
class InterruptibleOutputs final : public ForwardingFileSystem {
 public:
  explicit InterruptibleOutputs(lzh::FileSystem& inner);
  ~InterruptibleOutputs() override;
  InterruptibleOutputs(const InterruptibleOutputs&) = delete;
  InterruptibleOutputs& operator=(const InterruptibleOutputs&) = delete;

  lzh::FileHandle CreateOutput(const char* path) override;
  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override;
  bool Close(lzh::FileHandle file) override;
  bool Rename(const char* from, const char* to, bool replace) override;
  bool Remove(const char* path) override;

 private:
  std::string noted_;  // the path the handler would remove
};

}  // namespace lzhcli
