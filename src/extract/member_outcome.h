// What became of one member in an extracting walk. The walk hands one to the
// dialog (WalkDialog::MemberFinished) as it finishes each member it handles:
// every selected member, and every member it passes over. Unselected members
// and those after the point where a walk stops get none.
#pragma once

#include <cstdint>

namespace lzh {

enum class OutcomeKind : std::uint8_t {
  Extracted,          // written and checked; a directory entry: made
  SkippedExisting,    // its file exists: the policy Skip, or the answer No
  RefusedName,        // refusal tells why; nothing was written
  UnsupportedMethod,  // method holds the header's five method bytes
  Damaged,            // damage tells how
  CouldNotCreate,     // the output file; systemError
  CouldNotWrite,      // a write fell short; systemError
  CouldNotClose,      // the data may not be on disk; systemError
  CouldNotRename,     // written, but it could not take its name; systemError
  DirectoryNotMade,   // outputPath is the directory; the walk stops
  PassedOver,         // passReason tells why; nothing was written
};

// Why a stored name is not used as a path.
enum class NameRefusal : std::uint8_t {
  None,
  ParentDirectory,  // a ".." component (also "...", ". .")
  Rooted,           // a drive, a UNC or doubly rooted form, or a root with nothing before it
  Device,           // CON, NUL, AUX, PRN, COM1-9, LPT1-9 and the like
  TooLong,          // the path does not fit the walk's buffers
  BadCharacter,     // a control character, ":" or another character Win32 refuses
  NoFileName,       // empty, or ends in a separator
  ThroughLink,      // a symbolic link or junction stands in its path, or where it would go
};

enum class Damage : std::uint8_t {
  None,
  Crc,          // the decoded bytes do not match the header's CRC-16
  Size,         // the member decoded to another size than its header gives
  CutHeader,    // the file ends inside the member's header
  MissingName,  // the header holds no name
  TooLarge,     // 64-bit sizes (over 4 GiB): beyond the walk's counts and positions
  LongHeader,   // level-1 records past their bound: where the data start is not known
};

enum class PassReason : std::uint8_t {
  None,
  DirectoryEntry,  // a directory entry while stored paths are not used
  SymbolicLink,    // "link|target": Windows has no such file to make
  Nameless,        // a directory entry without any name
};

// What a member that was written and failed left under its name. Every
// member is written under a temporary name first and takes its own name
// only once it has passed, so that a file it was to replace stays as it was.
enum class Leftover : std::uint8_t {
  None,
  DamagedFile,   // no file had the name: the damaged output stands under it
  ExistingKept,  // the file that had the name is as it was; the output is gone
};

struct MemberOutcome {
  OutcomeKind kind = OutcomeKind::Extracted;
  const char* storedName = "";  // the name with its stored directory
  const char* outputPath = "";  // where it went or would have gone ("" when not formed)
  NameRefusal refusal = NameRefusal::None;
  Damage damage = Damage::None;
  PassReason passReason = PassReason::None;
  Leftover leftover = Leftover::None;
  bool byAnswer = false;          // SkippedExisting: the question was asked
  char method[6] = {};            // UnsupportedMethod: e.g. "-lh6-"
  std::uint32_t systemError = 0;  // GetLastError or errno; 0 when not known
  // The command-line tool's (the program leaves them be): the size the
  // header gives, for Damage::Size whether the file ends inside the
  // member's data, cut short there, and whether the header holds no CRC to
  // check the member by.
  std::int64_t originalSize = 0;
  bool cutShort = false;
  bool crcUnchecked = false;

  // Counts as done: the entry is deselected.
  bool Passed() const {
    return kind == OutcomeKind::Extracted || kind == OutcomeKind::SkippedExisting;
  }
  // Counts as failed: passed-over members do neither.
  bool Failed() const { return !Passed() && kind != OutcomeKind::PassedOver; }
};

}  // namespace lzh
