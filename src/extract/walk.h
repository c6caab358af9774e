// The archive walk: one pass over the member headers from archiveStart to
// the end of the archive, listing the members into the dialog's list or
// extracting the ones whose entries are selected and reporting what became
// of each.
#pragma once

#include <cstdint>

#include "archive/member_header.h"
#include "codec/decoder.h"
#include "extract/paths.h"
#include "extract/walk_dialog.h"
#include "platform/file_system.h"

namespace lzh {

// A reading of names: turns a member's stored name into the text it is
// listed, extracted and checked under (the tool's, in the charset it was
// told; the program's, RecordNames). Without one the walk takes the bytes
// as they stand.
class MemberNameReader {
 public:
  virtual ~MemberNameReader() = default;
  // memberName holds the stored name with its directory (ComposeMemberName)
  // and receives the text. Returns why the stored bytes themselves cannot
  // be used as a path (as other programs would read them), or None.
  virtual NameRefusal ReadName(const MemberHeader& member, const char* name,
                               char (&memberName)[kPathBytes]) = 0;
  // The member just read has a file name of the reader's own (from a
  // record of names in UTF-16), which stands in for missing stored bytes.
  virtual bool HasOwnName() const = 0;
};

// The program-wide state the walk reads and keeps between walks.
struct WalkSession {
  explicit WalkSession(FileSystem& fileSystem)
      : fs(fileSystem), archive{fileSystem, kInvalidFile, 0, {}} {}

  FileSystem& fs;
  ArchiveReader archive;  // archiveHandle, archivePosition, currentMember
  FileOffset archiveStart = 0;
  // The extraction directory: at most 255 characters as typed, and room for
  // the "\" the walk adds.
  char extractPath[kPathBytes] = {};
  std::int32_t listIndex = -1;
  bool archiveHasPaths = false;
  // The methods this program decodes.
  DecoderLookup decoderForMethod = DecoderForMethod;
  // The command-line tool's: a member of a method it cannot decode is
  // reported and the walk goes on (the program stops with a box). And the
  // reading of names, where there is one.
  bool passOverUnsupported = false;
  MemberNameReader* nameReader = nullptr;
};

enum class WalkMode : std::uint8_t {
  List,     // empty the member list and add one entry per member
  Extract,  // extract the members whose entries are selected
};

void WalkArchive(WalkSession& session, WalkDialog& dialog, WalkMode mode);

// memberName of the member just read: its stored directory (from the
// directory record) followed by name. False when it does not fit.
bool ComposeMemberName(const MemberHeader& member, const char* name,
                       char (&memberName)[kPathBytes]);

// Finds the member's entry after listIndex (wrapping), stores it in
// listIndex, and tells whether it is selected.
bool IsMemberSelected(WalkSession& session, WalkDialog& dialog, const char* name);

}  // namespace lzh
