#include "platform/long_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A long path opens in its "\\?\" form, built beside it: the path itself,
// which the box shows when the open fails, keeps every character.
TEST(LongPath, LongFormIsBuiltBesideThePath) {
  const std::wstring tail(300, L'x');
  const struct {
    std::wstring path, opened;
  } cases[] = {
      {L"C:\\short.exe", L"C:\\short.exe"},
      {L"C:\\" + tail, L"\\\\?\\C:\\" + tail},
      {L"\\\\server\\share\\" + tail, L"\\\\?\\UNC\\server\\share\\" + tail},
      {L"\\\\?\\C:\\" + tail, L"\\\\?\\C:\\" + tail},
      {L"\\\\.\\C:\\" + tail, L"\\\\.\\C:\\" + tail},
  };
  for (const auto& c : cases) {
    std::wstring path = c.path;
    std::vector<wchar_t> out(path.size() + lzh::kLongPathPrefixUnits + 1);
    EXPECT_EQ(std::wstring(lzh::OpenableName(path.c_str(), path.size(), out.data())), c.opened);
    EXPECT_EQ(path, c.path);
  }
}

}  // namespace
