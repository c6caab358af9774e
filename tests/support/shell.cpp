#include "support/shell.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

namespace lzhtest {

Ran Shell(const std::string& command) {
  Ran run;
  FILE* pipe = popen(("exec </dev/null 2>&1; " + command).c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string MakeScratchDirectory(const std::string& prefix) {
  std::string pattern = "/tmp/" + prefix + "-XXXXXX";
  return mkdtemp(pattern.data()) != nullptr ? pattern : "";
}

}  // namespace lzhtest
