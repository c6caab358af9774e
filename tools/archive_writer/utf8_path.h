// File names as the writing tools pass them: the system's bytes on POSIX,
// UTF-8 on Windows, where they reach files through the wide calls, so that
// no name is lost to the ANSI code page.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace lzhwrite {

std::filesystem::path Utf8Path(const std::string& name);

// The name of path in the same form.
std::string Utf8Name(const std::filesystem::path& path);

// std::fopen for such a name: "rb", or "wb+" when forWriting.
std::FILE* OpenUtf8(const std::string& name, bool forWriting);

}  // namespace lzhwrite
