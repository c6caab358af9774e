// Commands run as their users run them, for the end-to-end tests of the
// command-line tool: through the shell, in a directory of their own.
#pragma once

#include <chrono>
#include <string>
#include <thread>

namespace lzhtest {

struct Ran {
  int status = -1;  // the exit status; -1 when ended by a signal
  std::string out;  // stdout and stderr together
};

// Runs command under /bin/sh with stdin from /dev/null and stderr joined to
// stdout, unless command's own redirections say otherwise.
Ran Shell(const std::string& command);

// A new, empty directory under /tmp whose name starts with prefix.
std::string MakeScratchDirectory(const std::string& prefix);

// Polls ready every millisecond until it holds (true) or 20 s have passed.
template <typename Ready>
bool WaitUntil(Ready ready) {
  for (int i = 0; i < 20000; ++i) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

}  // namespace lzhtest
