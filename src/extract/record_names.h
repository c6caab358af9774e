// The self-extracting program's reading of member names: a member's UTF-16
// names (record 0x44 its file's, 0x45 its directory's) where its header has
// them, else its stored bytes as the system reads them (its ANSI code page);
// UTF-8 either way, "\" separated, for the wide calls to show and write, so
// that a name made on any system shows and extracts as named. A member
// without UTF-16 names reads exactly as the system's byte calls would read
// it.
#pragma once

#include <cstdint>

#include "extract/walk.h"

namespace lzh {

class RecordNames final : public RecordObserver, public MemberNameReader {
 public:
  // Reads the records of every header that reader reads from now on.
  void Observe(ArchiveReader& reader) { reader.recordObserver = this; }

  void HeaderStarts() override;
  void Record(std::uint8_t type, const std::uint8_t* data, std::uint32_t size) override;
  // The walk checks the text it gets as the path it is: no refusal here.
  NameRefusal ReadName(const MemberHeader& member, const char* name,
                       char (&memberName)[kPathBytes]) override;
  bool HasOwnName() const override { return name_[0] != 0; }

 private:
  // The UTF-8 of each record of the header being read; empty when it has
  // none, or one that is not UTF-16.
  char name_[kPathBytes] = {};
  char directory_[kPathBytes] = {};
};

// size bytes of UTF-16LE, cut at the first zero unit, as UTF-8 in out;
// separator units become "\". False, out empty, when they are not UTF-16
// (a lone surrogate) or do not fit.
bool Utf16LeToUtf8(const std::uint8_t* data, std::uint32_t size, std::uint16_t separator, char* out,
                   std::size_t capacity);

}  // namespace lzh
