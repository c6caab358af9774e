#include "charset_option.h"

namespace lzhcli {

bool TakeCharsetOption(Arguments& args, lzhnames::NameCharset& charset, std::string& error) {
  const std::string kOption = "--charset";
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string value;
    std::size_t taken = 1;
    if (args[i] == kOption) {
      if (i + 1 == args.size()) {
        error = "--charset needs a charset name, auto or raw";
        return false;
      }
      value = args[i + 1];
      taken = 2;
    } else if (args[i].rfind(kOption + "=", 0) == 0) {
      value = args[i].substr(kOption.size() + 1);
    } else {
      continue;
    }
    if (!lzhnames::ParseCharset(value, charset, error)) return false;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i + taken));
    --i;
  }
  return true;
}

}  // namespace lzhcli
