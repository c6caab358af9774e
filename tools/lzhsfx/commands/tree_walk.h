// The files and directories that `lzhsfx create` archives: the paths it is
// given, directories walked recursively in sorted order, so that the same
// tree always gives the same members in the same order. Each path is stored
// from its last name down ("/home/me/myapp" as "myapp/..."), or as given
// when it is taken relative to a base directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lzhcli {

struct TreeEntry {
  std::string sourcePath;    // the file to read, as the system names it
  std::string storedPath;    // relative, "/" separated, UTF-8 (POSIX: the name's own bytes)
  bool isDirectory = false;  // an empty directory: stored as a directory entry
  std::int64_t unixTime = 0;
  std::uint64_t size = 0;      // a file's, when it was walked
  std::uint16_t unixMode = 0;  // st_mode's type and permission bits; 0 where none
};

// Something left out, and why, in plain words for the user.
struct TreeNotice {
  std::string path;
  std::string reason;
  bool failed = true;  // false: skipped as the options say (a link, a device, a loop)
};

struct TreeWalkOptions {
  std::string baseDirectory;              // paths are taken relative to it and stored as given
                                          // ("": each stored under its last name)
  std::vector<std::string> excludes;      // wildcards against the stored path or its last name
  std::optional<std::int64_t> fixedTime;  // every time stamp, when set
  std::string skipFile;                   // not archived (the archive being written)
  bool followLinks = false;               // else links (and junctions) are skipped
};

// Collects the entries for paths; what is left out goes to skipped.
// Excluded paths are left out silently.
std::vector<TreeEntry> CollectTree(const std::vector<std::string>& paths,
                                   const TreeWalkOptions& options,
                                   std::vector<TreeNotice>& skipped);

}  // namespace lzhcli
