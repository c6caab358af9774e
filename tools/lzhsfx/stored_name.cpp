#include "stored_name.h"

namespace lzhcli {

namespace {

bool IsAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

bool KnownCharset(const std::string& charset) { return charset == "auto" || charset == "raw"; }

bool MakeStoredName(const std::string& utf8, const std::string& charset, int headerLevel,
                    StoredName& out, std::string& error) {
  (void)headerLevel;
  out = StoredName{};
  if (charset == "raw" || IsAscii(utf8)) {
    out.bytes = utf8;
    return true;
  }
  error = "its name is not ASCII; store it with --charset raw";
  return false;
}

}  // namespace lzhcli
