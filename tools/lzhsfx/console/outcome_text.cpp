#include "console/outcome_text.h"

#include "commands/commands.h"
#include "system/tool_platform.h"

namespace lzhcli {

namespace {

using lzh::OutcomeKind;

const char* RefusalText(lzh::NameRefusal refusal) {
  switch (refusal) {
    case lzh::NameRefusal::ParentDirectory:
      return "refused: name leaves the extraction directory (..)";
    case lzh::NameRefusal::Rooted:
      return "refused: its name is a drive, network or rooted path";
    case lzh::NameRefusal::Device:
      return "refused: its name is a Windows device name";
    case lzh::NameRefusal::TooLong:
      return "refused: its path is too long";
    case lzh::NameRefusal::BadCharacter:
      return "refused: its name holds a character file names cannot hold";
    case lzh::NameRefusal::ThroughLink:
      return "refused: a symbolic link or junction stands in its path (nothing is written "
             "through one)";
    case lzh::NameRefusal::NoFileName:
    case lzh::NameRefusal::None:
      break;
  }
  return "refused: its name names no file";
}

const char* DamageText(lzh::Damage damage) {
  switch (damage) {
    case lzh::Damage::Size:
      return "damaged: it does not decode to the size its header gives";
    case lzh::Damage::CutHeader:
      return "damaged: archive ends inside this member's header";
    case lzh::Damage::MissingName:
      return "damaged: its header holds no name";
    case lzh::Damage::TooLarge:
      return "damaged: its header gives a size of 2^63 bytes or more; the members after it "
             "cannot be reached";
    case lzh::Damage::LongHeader:
      return "damaged: its header's extension records run on past 1 MiB, so where its data "
             "start is not known";
    case lzh::Damage::Crc:
    case lzh::Damage::None:
      break;
  }
  return "damaged: CRC mismatch";
}

const char* PassText(lzh::PassReason reason) {
  switch (reason) {
    case lzh::PassReason::SymbolicLink:
      return "passed over: a symbolic link";
    case lzh::PassReason::Nameless:
      return "passed over: a directory entry without a name";
    case lzh::PassReason::DirectoryEntry:
    case lzh::PassReason::None:
      break;
  }
  return "passed over: a directory entry, and stored paths are not used";
}

// "could not create PATH: the system's reason".
std::string FileFailure(const char* what, const lzh::MemberOutcome& outcome) {
  std::string text = std::string("could not ") + what + " " + Printable(outcome.outputPath);
  text += SystemReason(outcome.systemError);
  return text;
}

std::string KindText(const lzh::MemberOutcome& outcome) {
  switch (outcome.kind) {
    case OutcomeKind::Extracted:
      return "extracted";
    case OutcomeKind::SkippedExisting:
      return outcome.byAnswer ? "skipped: the file exists and was not to be replaced"
                              : "skipped: the file exists";
    case OutcomeKind::RefusedName:
      return RefusalText(outcome.refusal);
    case OutcomeKind::UnsupportedMethod:
      return "unsupported method " + Printable(outcome.method);
    case OutcomeKind::Damaged:
      // A cut archive shows as a member that decodes short.
      if (outcome.damage == lzh::Damage::Size && outcome.cutShort)
        return "damaged: archive ends inside this member";
      return DamageText(outcome.damage);
    case OutcomeKind::CouldNotCreate:
      return FileFailure("create", outcome);
    case OutcomeKind::CouldNotWrite:
      return FileFailure("write", outcome);
    case OutcomeKind::CouldNotClose:
      return FileFailure("close", outcome) + " (its data may not be on disk)";
    case OutcomeKind::CouldNotRename:
      return FileFailure("put in place", outcome) + " (the file there stays as it was)";
    case OutcomeKind::DirectoryNotMade:
      return FileFailure("make the directory", outcome) + "; extraction stops here";
    case OutcomeKind::PassedOver:
      return PassText(outcome.passReason);
  }
  return "unknown outcome";
}

}  // namespace

std::string MemberLabel(const lzh::MemberOutcome& outcome) {
  if (outcome.storedName[0] == 0) return "(no name)";
  const std::string name = Printable(outcome.storedName);
  return outcome.passReason == lzh::PassReason::SymbolicLink ? LinkShown(name) : name;
}

std::string Reason(const lzh::MemberOutcome& outcome) {
  std::string text = KindText(outcome);
  switch (outcome.leftover) {
    case lzh::Leftover::DamagedFile:
      return text + "; the damaged file was left in place";
    case lzh::Leftover::ExistingKept:
      return text + "; the existing file was kept as it was";
    case lzh::Leftover::None:
      break;
  }
  return text;
}

}  // namespace lzhcli
