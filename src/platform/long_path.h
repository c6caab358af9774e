// The form of a path that opens at any length: Win32 opens a path of
// MAX_PATH characters or more only in its "\\?\" form.
#pragma once

#include <cstddef>

namespace lzh {

inline constexpr std::size_t kMaxPath = 260;            // MAX_PATH, in UTF-16 units
inline constexpr std::size_t kLongPathPrefixUnits = 8;  // the most units the long form adds

// The name under which path (length units) opens: path itself when it is
// short or already in a "\\?\" or "\\.\" form, else its "\\?\" form
// ("\\?\UNC\server\share\..." for "\\server\share\...") written into out,
// which holds length + kLongPathPrefixUnits + 1 units. path is not changed.
inline const wchar_t* OpenableName(const wchar_t* path, std::size_t length, wchar_t* out) {
  bool prefixed = path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.');
  if (length < kMaxPath || prefixed) return path;
  bool unc = path[0] == L'\\' && path[1] == L'\\';
  const wchar_t* prefix = unc ? L"\\\\?\\UNC" : L"\\\\?\\";
  wchar_t* at = out;
  while (*prefix != 0) *at++ = *prefix++;
  // A UNC path keeps one of its two leading "\".
  for (std::size_t i = unc ? 1 : 0; i <= length; ++i) *at++ = path[i];
  return out;
}

}  // namespace lzh
