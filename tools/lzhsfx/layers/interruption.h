// An interruption (system/interrupt_registry.h) while lzhsfx extracts: the output
// file being written is removed, only that file, which this run created
// under a temporary name and has not yet given its own (a file it replaces
// stays as it was); the user is told; and the process ends with the
// signal's conventional status, as if it had not been caught.
#pragma once

#include <string>

#include "layers/forwarding_file_system.h"
#include "system/interrupt_registry.h"

namespace lzhcli {

// Forwards every call to another file system and notes the output file
// from CreateOutput until it is renamed or removed, for the interrupt
// registry; the signals are caught while it lives.
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
  void Forget();

  InterruptsCaught caught_;
  InterruptRemovals removal_;
  std::string noted_;  // the path noted in removal_, as given
};

}  // namespace lzhcli
