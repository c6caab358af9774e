// Repacking for `lzhsfx build --repack`: the same archive, but members the
// self-extracting program cannot decode (-lh6-, -lh7-) are decoded and packed
// again as -lh5-, at their own header level with their stored names and
// time stamps. Every other member, directory entries included, is copied
// byte for byte.
#pragma once

#include <string>
#include <vector>

namespace lzhcli {

struct RepackedMember {
  std::string name;  // printable stored path
  char method[6];    // the method it had
};

// Writes the repacked copy of the plain archive at archivePath to outPath.
// False, with the reason, when a member cannot be decoded or outPath cannot
// be written; outPath is then not written.
bool RepackArchive(const std::string& archivePath, const std::string& outPath,
                   std::vector<RepackedMember>& repacked, std::string& error);

// True when the archive holds a member that repacking would re-encode.
bool NeedsRepacking(const std::string& archivePath);

}  // namespace lzhcli
