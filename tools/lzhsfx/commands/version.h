// The version the tool reports, the same one the stub's version resource
// carries.
#pragma once

namespace lzhcli {

// "lzhsfx 0.1.0", say, on a line of its own on stdout: what `--version`
// prints, whichever command it is given to.
void PrintVersion();

}  // namespace lzhcli
