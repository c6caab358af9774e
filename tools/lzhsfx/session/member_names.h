// How the tool reads member names: the stored bytes in the charset chosen
// with --charset, or the UTF-16 names of records 0x44 (name) and 0x45
// (directory) where a header has them, in preference; the code page of
// record 0x46 decides --charset auto. Names come out as UTF-8, "\"
// separated like the bytes. The stored bytes are checked as paths as well
// as the text, read in the code page they were converted from, so that a
// name refused as bytes (as another program would read it) stays refused.
#pragma once

#include <cstdint>
#include <string>

#include "extract/walk.h"
#include "names/name_charset.h"

namespace lzhcli {

class MemberNames final : public lzh::RecordObserver, public lzh::MemberNameReader {
 public:
  explicit MemberNames(lzhnames::NameCharset charset) : charset_(std::move(charset)) {}

  // Reads the records of every header that reader reads from now on.
  void Observe(lzh::ArchiveReader& reader) { reader.recordObserver = this; }

  // Whether paths are used in extraction: without them only the file name
  // part of the bytes is checked, as the walk checks the text.
  bool storedPaths = true;

  // The text of the member just read: its directory and name. bytesCharset,
  // when given, receives the charset its bytes were read in ("" kept).
  std::string Text(const lzh::MemberHeader& member, const char* name,
                   std::string* bytesCharset = nullptr) const;

  // How the name of the member just read was read, as people know charsets:
  // "utf-16" (its records), "ascii", "utf-8", "shift-jis", "cp437", another
  // charset's name, or "raw" (the bytes as they are).
  std::string Reading(const lzh::MemberHeader& member, const char* name) const;

  // True when the member just read has names in a UTF-16 record.
  bool HasUtf16Names() const { return hasUtf16Name_ || hasUtf16Directory_; }
  // The charset the bytes of the member ReadName read last were read in
  // ("" when they were kept as they are).
  const std::string& LastBytesCharset() const { return lastBytesCharset_; }

  void HeaderStarts() override;
  void Record(std::uint8_t type, const std::uint8_t* data, std::uint32_t size) override;
  lzh::NameRefusal ReadName(const lzh::MemberHeader& member, const char* name,
                            char (&memberName)[lzh::kPathBytes]) override;
  // A UTF-16 name that is read (not --charset raw).
  bool HasOwnName() const override;

 private:
  // The text of bytes, and the charset they were read in ("" kept).
  std::string BytesText(const std::string& bytes, std::string& usedCharset) const;
  // Why the composed stored bytes cannot be a path, read in charset.
  lzh::NameRefusal BytesRefusal(const lzh::MemberHeader& member, const char* bytes,
                                const std::string& charset) const;

  lzhnames::NameCharset charset_;
  bool hasUtf16Name_ = false;
  bool hasUtf16Directory_ = false;
  std::u16string utf16Name_;
  std::u16string utf16Directory_;  // components separated by "\"
  std::uint32_t codePage_ = lzhnames::kNoCodePage;
  std::string lastBytesCharset_;
};

}  // namespace lzhcli
