// --charset NAME, which list, test and extract share: taken out of the
// arguments before each command reads the rest.
#pragma once

#include <string>

#include "commands.h"
#include "names/name_charset.h"

namespace lzhcli {

// The lines the commands' --help show for it.
inline constexpr char kCharsetHelp[] =
    "  --charset NAME  read stored names in NAME (any charset iconv knows, such as\n"
    "               CP932 or CP437), or: auto (the default: UTF-8 and ASCII kept,\n"
    "               else Shift-JIS when the name is valid as such, else the bytes;\n"
    "               a header's code page decides), raw (the bytes as stored).\n"
    "               UTF-16 names in a header are read in preference, except raw.\n";

// Removes "--charset NAME" (also "--charset=NAME") from args into charset.
// False, with the reason in error, for a missing or unknown NAME.
bool TakeCharsetOption(Arguments& args, lzhnames::NameCharset& charset, std::string& error);

}  // namespace lzhcli
