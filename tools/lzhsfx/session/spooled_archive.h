// An archive read from a stream: standard input ("-") or a pipe, such as a
// shell's <(...). The walk seeks from header to header, which a stream
// cannot do, so the stream is copied to a temporary file that the commands
// then read like any other. The file is removed when the object goes, and
// by an interruption at any time before.
#pragma once

#include <string>

#include "system/interrupt_registry.h"

namespace lzhcli {

class SpooledArchive {
 public:
  SpooledArchive() = default;
  ~SpooledArchive();
  SpooledArchive(const SpooledArchive&) = delete;
  SpooledArchive& operator=(const SpooledArchive&) = delete;

  // Copies source ("-" for standard input), named shown in messages; false
  // with a message in error, and no file left.
  bool Spool(const std::string& source, const std::string& shown, std::string& error);
  const std::string& Path() const { return path_; }

 private:
  void Remove();
  std::string path_;
  InterruptRemovals removal_;
};

}  // namespace lzhcli
