// Repacking for `lzhsfx build --repack`: the same archive, but members the
// self-extracting program cannot decode (-lh6-, -lh7-) are decoded and packed
// again as -lh5-, at their own header level with their stored names and
// time stamps. Every other member, directory entries included, is copied
// byte for byte.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "archive_writer/archive_writer.h"

namespace lzhcli {

struct RepackedMember {
  std::string name;  // printable stored path
  char method[6];    // the method it had
};

// Writes the repacked copy of the plain archive at archivePath with writer,
// opened beside besidePath (both in the system's names), and completes it
// (ArchiveWriter::Complete): the copy lies under writer.TemporaryPath() until
// the writer is abandoned. Members are decoded into a temporary file beside
// it too; onTemporary learns each temporary name as soon as it is made,
// under the same InterruptsHeld.
// False, with the reason, when a member cannot be decoded or the copy cannot
// be written; nothing is then left behind.
bool RepackArchive(const std::string& archivePath, const std::string& besidePath,
                   lzhwrite::ArchiveWriter& writer, std::vector<RepackedMember>& repacked,
                   std::string& error, const std::function<void(const std::string&)>& onTemporary);

// True when the archive holds a member that repacking would re-encode.
bool NeedsRepacking(const std::string& archivePath);

}  // namespace lzhcli
