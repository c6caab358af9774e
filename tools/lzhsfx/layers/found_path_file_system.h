// The command-line tool's searches for paths that exist: the walk asks for
// every member whether its directory exists, twice, after the search for
// the file itself, and in an archive of many files in one directory the
// answer is the same each time. The last path found is remembered and found
// again without a search: while lzhsfx extracts, nothing it found goes away
// but what it removes or renames itself (its temporary files), which it
// forgets.
#pragma once

#include <string>

#include "layers/forwarding_file_system.h"

namespace lzhcli {

class FoundPathFileSystem final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;

  bool FindFirst(const char* path) override {
    if (anyFound_ && lastFound_ == path) return true;
    if (!Below().FindFirst(path)) return false;
    lastFound_ = path;
    anyFound_ = true;
    return true;
  }
  bool Rename(const char* from, const char* to, bool replace) override {
    Forget(from);
    return Below().Rename(from, to, replace);
  }
  bool Remove(const char* path) override {
    Forget(path);
    return Below().Remove(path);
  }

 private:
  void Forget(const char* path) { anyFound_ = anyFound_ && lastFound_ != path; }

  std::string lastFound_;
  bool anyFound_ = false;  // lastFound_ holds a path found
};

}  // namespace lzhcli
