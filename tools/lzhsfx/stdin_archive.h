// An archive given as "-": standard input copied to a temporary file, which
// the commands then read like any other (the walk seeks from header to
// header). The file is removed when the object goes.
#pragma once

#include <string>

namespace lzhcli {

class StdinArchive {
 public:
  StdinArchive() = default;
  ~StdinArchive();
  StdinArchive(const StdinArchive&) = delete;
  StdinArchive& operator=(const StdinArchive&) = delete;

  // Copies standard input; false with a message in error.
  bool Spool(std::string& error);
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace lzhcli
