#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

void ClearSystemError() { errno = 0; }

std::uint32_t LastSystemError() { return static_cast<std::uint32_t>(errno); }

std::string SystemErrorText(std::uint32_t code) { return std::strerror(static_cast<int>(code)); }

bool IsNameSurrogate(const std::filesystem::path&) { return false; }

std::uint16_t UnixModeToStore(const std::filesystem::file_status& status) {
  const auto permissions =
      static_cast<unsigned>(status.permissions() & std::filesystem::perms::mask);
  const unsigned type = status.type() == std::filesystem::file_type::directory ? S_IFDIR : S_IFREG;
  return static_cast<std::uint16_t>(type | permissions);
}

void PrepareConsole() {}

}  // namespace lzhcli
