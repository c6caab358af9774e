#include "layers/null_output_file_system.h"

namespace lzhcli {

bool NullOutputFileSystem::FindFirst(const char* path) {
  std::string p = path;
  if (p.size() >= 4 && p.compare(p.size() - 4, 4, "\\*.*") == 0) {
    std::string dir = p.substr(0, p.size() - 4);
    return dir == kExtractPath || made_.count(dir) != 0;
  }
  return p == kExtractPath || made_.count(p) != 0;
}

}  // namespace lzhcli
