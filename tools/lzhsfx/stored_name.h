// The bytes a member's name is stored as, from the UTF-8 name the tree walk
// found, by the --charset choice of `lzhsfx create`.
#pragma once

#include <string>

namespace lzhcli {

struct StoredName {
  std::string bytes;     // the name in the header's name and directory fields
  std::u16string utf16;  // also as UTF-16 (records 0x44/0x45), or empty
};

// charset: "auto", "cp932", "raw" or an iconv name. False, with the reason
// in plain words, when the name cannot be stored so at headerLevel.
bool MakeStoredName(const std::string& utf8, const std::string& charset, int headerLevel,
                    StoredName& out, std::string& error);

// True for a --charset value this system can convert to.
bool KnownCharset(const std::string& charset);

}  // namespace lzhcli
