// The program's switches as command lines give them.
#include "startup/switches.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Switches, CommandLinesToSwitches) {
  const std::wstring longFolder(lzh::kDirectoryUnits, L'x');
  struct {
    std::wstring line;
    bool silent, overwrite, help, bad;
    std::wstring directory;
  } cases[] = {
      {L"setup.exe", false, false, false, false, L""},
      {L"\"C:\\a /S b\\setup.exe\"", false, false, false, false, L""},
      {L"\"C:\\a b\\setup.exe\" -s /O", true, true, false, false, L""},
      {L"setup.exe /S /D=C:\\Program Files\\My App /O  ", true, false, false, false,
       L"C:\\Program Files\\My App /O"},
      {L"setup.exe /d=\u00e9t\u00e9", false, false, false, false, L"\u00e9t\u00e9"},
      {L"setup.exe /? ", false, false, true, false, L""},
      {L"setup.exe -H", false, false, true, false, L""},
      {L"setup.exe /X /S", true, false, false, true, L""},
      {L"setup.exe word /S", true, false, false, true, L""},
      {L"setup.exe /SO", false, false, false, true, L""},
      {L"setup.exe /S /D=", true, false, false, true, L""},
      {L"setup.exe /D=" + longFolder, false, false, false, true, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
    lzh::Switches s;
    lzh::ReadSwitches(c.line.c_str(), s);
    EXPECT_EQ(s.silent, c.silent);
    EXPECT_EQ(s.overwrite, c.overwrite);
    EXPECT_EQ(s.help, c.help);
    EXPECT_EQ(s.bad, c.bad);
    EXPECT_EQ(std::wstring(s.directory), c.directory);
  }
}

}  // namespace
