// The bytes a member's name is stored as, from the UTF-8 name the tree walk
// found, by the --charset choice of `lzhsfx create`.
#pragma once

#include <string>

#include "extract/paths.h"
#include "names/name_charset.h"

namespace lzhcli {

struct StoredName {
  std::string bytes;     // the name in the header's name and directory fields
  std::u16string utf16;  // also as UTF-16 (records 0x44/0x45), or empty
  // For a double-byte code page, whose trail bytes may be "\": its lead
  // bytes, so that the name is split as a system of that code page splits it.
  lzh::LeadByteTest leadByteTest = nullptr;
};

// auto: ASCII as it is, else code page 932 when it has every character,
// else at level 2 UTF-16 beside a code-page fallback ("_" for what it
// lacks); raw: the bytes as given; a named charset: converted to it. With
// withUtf16 (a self-extracting program, which shows and writes a UTF-16
// name as it is on any system) every name that is not ASCII gets its UTF-16
// at level 2, whatever the charset. False, with the reason in plain words,
// when the name cannot be stored so at headerLevel.
bool MakeStoredName(const std::string& utf8, const lzhnames::NameCharset& charset, int headerLevel,
                    bool withUtf16, StoredName& out, std::string& error);

}  // namespace lzhcli
