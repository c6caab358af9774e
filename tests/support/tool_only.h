// Tests of what holds for the command-line tool only (its sizes and
// positions past 2 GiB), in files that the program's configuration
// (program_unit_tests, on lzhprogramcore) runs too. There such a test
// skips, saying why.
#pragma once

#include <gtest/gtest.h>

#include "platform/file_system.h"

#define LZH_TOOL_ONLY(why)                                                  \
  do {                                                                      \
    if (lzh::kProgramCore) GTEST_SKIP() << "the command-line tool's: " why; \
  } while (0)
