#include "commands/version.h"

#include <cstdio>

#include "lzhsfx_version.h"

namespace lzhcli {

void PrintVersion() { std::fputs("lzhsfx " LZHSFX_VERSION_TEXT "\n", stdout); }

}  // namespace lzhcli
