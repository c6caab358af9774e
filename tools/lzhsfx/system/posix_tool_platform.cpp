#include <unistd.h>

#include "system/tool_platform.h"

namespace lzhcli {

lzh::FileSystem& ToolFileSystem() { return lzh::HostFileSystem(); }

Arguments ToolArguments(int argc, char** argv) {
  return Arguments(argv + (argc > 1 ? 2 : 1), argv + argc);
}

bool CurrentDirectory(std::string& path) {
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return false;
  path = cwd;
  return true;
}

bool IsNameSurrogate(const std::filesystem::path&) { return false; }

void PrepareConsole() {}

}  // namespace lzhcli
