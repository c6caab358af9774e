// What the tool prints about members and failures: every message on stderr
// in one form, and names made safe to show on a terminal.
#pragma once

#include <string>
#include <vector>

#include "archive/member_header.h"

namespace lzhcli {

// Prints "lzhsfx: message" on stderr.
void PrintError(const std::string& message);

// Bytes outside printable ASCII shown as \xNN, so names cannot drive the
// terminal; separators shown as "/".
std::string Printable(const std::string& name);

// A symbolic link's entry, stored as "name|target", as "name -> target".
std::string LinkShown(const std::string& printable);

// "no member matches PATTERN" on stderr for each pattern; false when there
// is none.
bool PrintUnmatched(const std::vector<std::string>& patterns);

// The gaps the last walk of the reader met in the archive's chain of
// headers (ArchiveReader::gaps), in one message on stderr; false when
// there were none.
bool PrintHeaderGaps(const lzh::ArchiveReader& reader, const std::string& shown);

}  // namespace lzhcli
