// Ctrl-C or SIGTERM (on Windows the console's Ctrl-C, Ctrl-Break and close
// events) while `create` or `build` write: the temporary files named here
// are removed, the user is told, and the process ends with the signal's
// conventional status. Without this, an interrupted run would leave its
// partly written archive beside OUT.
#pragma once

#include <string>

namespace lzhcli {

// Installs the handlers for its lifetime; one at a time.
class RemovalOnInterrupt {
 public:
  RemovalOnInterrupt();
  ~RemovalOnInterrupt();
  RemovalOnInterrupt(const RemovalOnInterrupt&) = delete;
  RemovalOnInterrupt& operator=(const RemovalOnInterrupt&) = delete;

  // Adds a file to remove (up to four; a path too long for the handler's
  // buffers is not kept).
  void Add(const std::string& path);
};

}  // namespace lzhcli
