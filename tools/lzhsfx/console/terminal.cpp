#include "console/terminal.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace lzhcli {

namespace {
#ifdef _WIN32
bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}
#endif
}  // namespace

bool StdinIsTerminal() {
#ifdef _WIN32
  return IsConsole(STD_INPUT_HANDLE);
#else
  return isatty(0) != 0;
#endif
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return IsConsole(STD_ERROR_HANDLE);
#else
  return isatty(2) != 0;
#endif
}

}  // namespace lzhcli
