#include "charset_option.h"

namespace lzhcli {

bool CharsetOfLine(const CommandLine& line, lzhnames::NameCharset& charset, std::string& error) {
  charset = {};
  return !line.Has("--charset") || lzhnames::ParseCharset(line.Value("--charset"), charset, error);
}

}  // namespace lzhcli
