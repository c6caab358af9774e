// What the tool prints about members and failures: every message on stderr
// in one form, and names made safe to show on a terminal.
#pragma once

#include <string>

namespace lzhcli {

// Prints "lzhsfx: message" on stderr.
void PrintError(const std::string& message);

// Bytes outside printable ASCII shown as \xNN, so names cannot drive the
// terminal; separators shown as "/".
std::string Printable(const std::string& name);

}  // namespace lzhcli
