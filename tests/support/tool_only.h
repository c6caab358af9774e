// Tests of what only the command-line tool does, in files that the program's
// configuration (program_unit_tests, on lzhprogramcore) runs too: sizes and
// positions past 2 GiB, -lh6- and -lh7-, the tool's decoders and its reading
// of names. There such a test skips, saying why.
#pragma once

#include <gtest/gtest.h>

#include "platform/file_system.h"

#define LZH_TOOL_ONLY(why)                                                  \
  do {                                                                      \
    if (lzh::kProgramCore) GTEST_SKIP() << "the command-line tool's: " why; \
  } while (0)
