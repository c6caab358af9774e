// --charset NAME, which list, test and extract share.
#pragma once

#include <string>

#include "command_line.h"
#include "names/name_charset.h"

namespace lzhcli {

// The charset a parsed command line asks for (auto when none). False, with
// the reason in error, for a NAME the system cannot convert.
bool CharsetOfLine(const CommandLine& line, lzhnames::NameCharset& charset, std::string& error);

}  // namespace lzhcli
