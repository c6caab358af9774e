// The program's command-line switches, for running it without anyone at the
// screen: /S (silent), /O (overwrite), /D=DIR (the folder), /? and /H.
#pragma once

namespace lzh {

inline constexpr int kDirectoryUnits = 256;  // the path edit's 255 characters and a NUL

struct Switches {
  bool silent = false;
  bool overwrite = false;
  bool help = false;
  bool bad = false;  // an unknown switch, a stray word, or a /D= that is empty or too long
  wchar_t directory[kDirectoryUnits] = {};  // /D=: empty when not given
};

// Reads the switches that follow the program's own name on commandLine (as
// GetCommandLineW gives it). A switch starts with "/" or "-" and its letter
// is taken in either case; /D= is the last and takes the rest of the line,
// spaces included, without quotes.
void ReadSwitches(const wchar_t* commandLine, Switches& switches);

}  // namespace lzh
