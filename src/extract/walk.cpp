#include "extract/walk.h"

#include <cstring>

#include "archive/header_cursor.h"
#include "codec/decoder.h"
#include "extract/member_outcome.h"
#include "extract/safe_names.h"

namespace lzh {

namespace {

constexpr char kCaptionArchiveError[] = "Archive error..";
constexpr char kSuccess[] = "CRC validation passed on all file( s )... extraction successful";
constexpr char kFailure[] = "The remaining hilited file( s ) failed CRC validation";

// How a walk left its member loop.
enum class WalkEnd {
  Normal,   // no further header: verdict follows
  Stopped,  // a directory could not be made, or a header was cut: verdict follows
  Aborted,  // empty name or unsupported method: no verdict
};

// Symbolic links are stored as directory entries "link|target"; Windows
// has no such file to make, so they are passed over.
bool IsSymbolicLink(const MemberHeader& member, const char* memberName) {
  return member.IsDirectoryEntry() && HasCharacterOf(memberName, "|");
}

// The entry of a member that passed or was skipped is deselected, so that the
// entries left selected are the members that failed; then the dialog learns
// what became of the member.
void Report(WalkSession& session, WalkDialog& dialog, const MemberOutcome& outcome) {
  if (outcome.Passed()) dialog.Deselect(session.listIndex);
  dialog.MemberFinished(outcome);
}

// Gives the file the member's time and closes it; false when the close
// failed (the box has been shown).
bool FinishOutputFile(WalkSession& session, WalkDialog& dialog, FileHandle output,
                      const char* outputPath) {
  const MemberHeader& member = session.archive.currentMember;
  if (member.hasUnixTime) {
    session.fs.SetUnixTime(output, member.unixTime);
  } else {
    session.fs.SetDosTime(output, member.timeStamp);
  }
#ifndef LZH_PROGRAM_CORE
  if (member.hasUnixMode) session.fs.SetUnixMode(output, member.unixMode);
#endif
  if (session.fs.Close(output)) return true;
  dialog.ShowMessage(outputPath, "Error Closing...");
  return false;
}

void DropTrailingBackslash(char* text) {
  if (EndsInBackslash(text)) text[std::strlen(text) - 1] = 0;
}

// The refusal for a name joined to the extraction directory: one leading
// "\" is allowed only where a directory precedes it, since it would
// otherwise root the path (or, after a lone "\", make it a UNC name).
NameRefusal JoinedNameRefusal(const char* extractPath, const char* memberName, bool nameFits) {
  if (!nameFits) return NameRefusal::TooLong;
  bool nothingBefore = extractPath[std::strspn(extractPath, "\\/")] == 0;
  if (nothingBefore && (memberName[0] == '\\' || memberName[0] == '/')) return NameRefusal::Rooted;
  return MemberPathRefusal(memberName);
}

// How many temporary names beside an output file are tried before its
// directory is taken to refuse new files.
constexpr unsigned kTemporaryNames = 64;

// Creates the member's output under the first temporary name beside
// outputPath that nothing has; kInvalidFile, with the file system's error,
// when none can be made.
FileHandle CreateTemporary(FileSystem& fs, const char* outputPath, char (&temporary)[kPathBytes]) {
  bool again = false;
  for (unsigned n = 0;
       n < kTemporaryNames && TemporaryPath(outputPath, n, temporary, kPathBytes);) {
    FileHandle file = fs.CreateOutput(temporary);
    if (file != kInvalidFile) return file;
    // Taken (a leftover, a link, another run's file): the next name. Gone
    // again at once, it was another run's, renamed meanwhile: the same name
    // once more. A second failure on a free name meets every name.
    if (fs.FindFirst(temporary)) {
      ++n;
      again = false;
    } else if (again) {
      break;
    } else {
      again = true;
    }
  }
  return kInvalidFile;
}

// Gives the written member its name, or drops it. A member that passed
// takes its name, replacing the file there with the user's leave; one that
// failed leaves a file that was there as it was, and stays under its name
// only where there was none. Where nothing was there, nothing that came
// meanwhile is replaced unless the policy is to replace.
void PutInPlace(WalkSession& session, WalkDialog& dialog, const char* temporary,
                const char* outputPath, bool existed, MemberOutcome& outcome) {
  FileSystem& fs = session.fs;
  bool passed = outcome.kind == OutcomeKind::Extracted;
  if (!passed && existed) {
    fs.Remove(temporary);
    outcome.leftover = Leftover::ExistingKept;
    return;
  }
  bool replace = existed || dialog.OverwritePolicy() == Overwrite;
  if (std::strcmp(temporary, outputPath) == 0 || fs.Rename(temporary, outputPath, replace)) {
    if (!passed) outcome.leftover = Leftover::DamagedFile;
    return;
  }
  std::uint32_t error = fs.LastError();
  fs.Remove(temporary);
  dialog.ShowMessage(outputPath, "Error Closing...");
  if (passed) {
    outcome.kind = OutcomeKind::CouldNotRename;
    outcome.systemError = error;
  }
}

// The texts a member's outcome points at, held by the walk's loop so that
// they outlive the member's handling.
struct OutcomePaths {
  char output[kPathBytes];
  char directory[kPathBytes];
};

// A directory entry is made, not written: the directory and its parents
// are created, and the entry counts as extracted once a directory (not a
// file) of that name is there.
WalkEnd MakeDirectoryEntry(WalkSession& session, WalkDialog& dialog, OutcomePaths& paths,
                           MemberOutcome& outcome) {
  CopyText(paths.directory, sizeof paths.directory, paths.output);
  DropTrailingBackslash(paths.directory);
  MakeDirectories(session.fs, paths.directory);
  // A directory, not a file of that name: it is searched through its entries.
  AddTrailingBackslash(paths.output, sizeof paths.output);
  if (!PathExists(session.fs, paths.output)) {
    dialog.ShowMessage(paths.directory, "Error Changing Dir");
    outcome.kind = OutcomeKind::DirectoryNotMade;
    outcome.outputPath = paths.directory;
    return WalkEnd::Stopped;
  }
  return WalkEnd::Normal;
}

[[gnu::always_inline]] inline bool TakesMethod(const MemberHeader& member,
                                               const MemberDecoder& decoders) {
  return decoders.Takes(MethodIdOf(member.method));
}

// A level-0 header of the tool's may hold no CRC; the program's always does.
bool ChecksCrc(const MemberHeader& member) { return kProgramCore || member.hasCrc; }

// Decodes the member into its created output file and finishes the file.
void DecodeMember(WalkSession& session, WalkDialog& dialog, FileHandle output,
                  MemberOutcome& outcome) {
  ArchiveReader& archive = session.archive;
  const MemberHeader& member = archive.currentMember;
  MemberStream stream{session.fs,        archive.archiveHandle, output,
                      member.DataSize(), member.originalSize,   MethodIdOf(member.method)};
  session.decoders->Decode(stream);
  std::uint32_t writeError = session.fs.LastError();
  // A member passes on its CRC, and only when it decoded to the size the
  // header gives: the CRC-16 of zeros is 0 whatever their number, so a cut
  // stream of zeros would otherwise pass. A stream whose last match ran past
  // that size is damaged however its first bytes read.
  bool wholeSize =
      session.fs.Size(output) == static_cast<FileSize>(member.originalSize) && !stream.overran;
  bool closed = FinishOutputFile(session, dialog, output, outcome.outputPath);
  // After a failed write or close the file's bytes are not known, so its
  // CRC says nothing.
  if (stream.writeFellShort) {
    outcome.kind = OutcomeKind::CouldNotWrite;
    outcome.systemError = writeError;
  } else if (!closed) {
    outcome.kind = OutcomeKind::CouldNotClose;
    outcome.systemError = session.fs.LastError();
  } else if (!wholeSize || (ChecksCrc(member) && member.memberCrc != stream.runningCrc)) {
    outcome.kind = OutcomeKind::Damaged;
    outcome.damage = wholeSize ? Damage::Crc : Damage::Size;
  }
}

void NoteUnsupported(const MemberHeader& member, MemberOutcome& outcome) {
  outcome.kind = OutcomeKind::UnsupportedMethod;
  std::memcpy(outcome.method, member.method, sizeof member.method);
}

WalkEnd Refuse(WalkDialog& dialog, const char* outputPath, MemberOutcome& outcome) {
  dialog.ShowMessage(outputPath, "Couldn't open...");
  outcome.kind = OutcomeKind::RefusedName;
  return WalkEnd::Normal;
}

WalkEnd CouldNotCreate(WalkSession& session, WalkDialog& dialog, MemberOutcome& outcome) {
  dialog.ShowMessage(outcome.outputPath, "Couldn't open...");
  outcome.kind = OutcomeKind::CouldNotCreate;
  outcome.systemError = session.fs.LastError();
  return WalkEnd::Normal;
}

// The tool's alone: the program's build leaves its call out.
[[maybe_unused]] void NoteExtent(WalkSession& session, const HeaderCursor& cursor,
                                 MemberOutcome& outcome) {
  outcome.originalSize = cursor.Member().originalSize;
  outcome.crcUnchecked = !cursor.Member().hasCrc;
  if (outcome.damage != Damage::Size) return;
  // An end beyond the counts lies past the file's end all the more.
  const FileOffset end = cursor.NextOffset();
  outcome.cutShort =
      end < 0 || static_cast<FileSize>(end) > session.fs.Size(session.archive.archiveHandle);
}

// Extracts one selected member: from the output path to the closed file,
// and fills in what became of it. Returns how the walk goes on.
WalkEnd ExtractMember(WalkSession& session, WalkDialog& dialog, char (&memberName)[kPathBytes],
                      OutcomePaths& paths, MemberOutcome& outcome, bool storedPaths,
                      bool nameFits) {
  const MemberHeader& member = session.archive.currentMember;
  AddTrailingBackslash(session.extractPath, sizeof session.extractPath);
  char* outputPath = paths.output;
  CopyText(outputPath, kPathBytes, session.extractPath);
  if (storedPaths) SlashesToBackslashes(memberName);
  nameFits = AppendText(outputPath, kPathBytes, memberName) && nameFits;
  outcome.outputPath = outputPath;

  // A header the file ends inside holds fields of no member: nothing is
  // touched or asked, and no member can follow it.
  if (member.truncated) {
    outcome.kind = OutcomeKind::Damaged;
    outcome.damage = Damage::CutHeader;
    return WalkEnd::Stopped;
  }
  // A member whose sizes this build cannot count is refused rather than cut
  // to what it can; the header after it lies beyond the positions the walk
  // can reach.
  if (member.hasLargeSizes) {
    outcome.kind = OutcomeKind::Damaged;
    outcome.damage = Damage::TooLarge;
    return WalkEnd::Stopped;
  }
  // Its data would start inside the records not read; the next header is
  // found from packedSize as ever.
  if (member.recordsTooLong) {
    outcome.kind = OutcomeKind::Damaged;
    outcome.damage = Damage::LongHeader;
    return WalkEnd::Normal;
  }

  // A name that would leave the extraction directory is refused like a
  // file that cannot be created. A directory entry's name ends in "\".
  bool directoryEntry = member.IsDirectoryEntry();
  if (directoryEntry) DropTrailingBackslash(memberName);
  // outcome.refusal may already hold the stored bytes' own refusal.
  NameRefusal refusal = JoinedNameRefusal(session.extractPath, memberName, nameFits);
  if (refusal != NameRefusal::None) outcome.refusal = refusal;
  // Nothing is made or written through a link below the extraction
  // directory, and nothing is asked about what one leads to. A directory
  // entry is made where its own name stands, a file replaced as a name.
  std::size_t below = std::strlen(session.extractPath);
  if (outcome.refusal == NameRefusal::None &&
      LinkInPath(session.fs, outputPath, below, directoryEntry))
    outcome.refusal = NameRefusal::ThroughLink;
  if (outcome.refusal != NameRefusal::None) return Refuse(dialog, outputPath, outcome);
  if (directoryEntry) return MakeDirectoryEntry(session, dialog, paths, outcome);
  // Output paths are shown with "\" wherever a "/" stood, also in the
  // extraction directory's part.
  SlashesToBackslashes(outputPath);

  char status[kPathBytes + 16] = "Extracting: ";
  AppendText(status, sizeof status, outputPath);
  // The header's own faults were judged above.
  const bool decodable = TakesMethod(member, *session.decoders);
  // The tool asks nothing about a member it cannot decode.
  if (!decodable && session.passOverUnsupported) {
    NoteUnsupported(member, outcome);
    return WalkEnd::Normal;
  }

  bool existed = PathExists(session.fs, outputPath);
  if (existed) {
    std::uint8_t policy = dialog.OverwritePolicy();
    if (policy != Skip && session.fs.IsLink(outputPath)) {
      outcome.refusal = NameRefusal::ThroughLink;
      return Refuse(dialog, outputPath, outcome);
    }
    if (policy == Confirm) {
      char existing[kFileNameMax + 1];
      FileNamePart(outputPath, existing);
      dialog.AskOverwrite(existing);
      outcome.byAnswer = true;
    }
    if (policy == Skip || (policy == Confirm && dialog.OverwriteAnswer() == 0)) {
      outcome.kind = OutcomeKind::SkippedExisting;
      return WalkEnd::Normal;
    }
    // What could not be replaced in place is not replaced by name either.
    if (!session.fs.CanReplace(outputPath)) return CouldNotCreate(session, dialog, outcome);
  }
  // Once the policy has spoken and before anything is made, so that a
  // member to be skipped is skipped, and no file is made or emptied for one
  // that cannot be decoded.
  if (!decodable) {
    dialog.SetStatus(status);
    dialog.PumpOneMessage();
    dialog.ShowMessage("Unsupported compression method", "Unable to extract...");
    NoteUnsupported(member, outcome);
    return WalkEnd::Aborted;
  }
  if (!existed) {
    DirectoryPart(outputPath, paths.directory, kPathBytes);
    MakeDirectories(session.fs, paths.directory);
    if (!DirectoryExists(session.fs, paths.directory)) {
      dialog.ShowMessage(paths.directory, "Error Changing Dir");
      outcome.kind = OutcomeKind::DirectoryNotMade;
      outcome.outputPath = paths.directory;
      return WalkEnd::Stopped;
    }
  }

  char temporary[kPathBytes];
  FileHandle output = CreateTemporary(session.fs, outputPath, temporary);
  if (output == kInvalidFile) return CouldNotCreate(session, dialog, outcome);
  dialog.SetStatus(status);
  dialog.PumpOneMessage();
  DecodeMember(session, dialog, output, outcome);
  PutInPlace(session, dialog, temporary, outputPath, existed, outcome);
  return WalkEnd::Normal;
}

}  // namespace

bool DecodesData(const MemberHeader& member, const MemberDecoder& decoders) {
  return !member.truncated && !member.hasLargeSizes && !member.recordsTooLong &&
         TakesMethod(member, decoders);
}

bool ComposeMemberName(const MemberHeader& member, const char* name,
                       char (&memberName)[kPathBytes]) {
  memberName[0] = 0;
  bool fits = !member.textTooLong;
  if (member.extensionText[0] != 0) {
    DirectoryFromExtension(member.extensionText, memberName, sizeof memberName);
    fits = AddTrailingBackslash(memberName, sizeof memberName) && fits;
  }
  return AppendText(memberName, sizeof memberName, name) && fits;
}

bool IsMemberSelected(WalkSession& session, WalkDialog& dialog, const char* name) {
  session.listIndex = dialog.FindEntry(session.listIndex, name);
  return dialog.IsSelected(session.listIndex) > 0;
}

void WalkArchive(WalkSession& session, WalkDialog& dialog, WalkMode mode) {
  HeaderCursor cursor(session.archive);
  if (!cursor.Seek(session.archiveStart)) {
    dialog.ShowMessage("Error finding attached archive.", kCaptionArchiveError);
    return;
  }
  bool listOnly = mode == WalkMode::List;
  session.listIndex = -1;
  session.archiveHasPaths = false;
  if (listOnly) dialog.ResetList();
  // An empty path would put the files at the root of the current drive.
  if (!listOnly && session.extractPath[0] == 0)
    CopyText(session.extractPath, sizeof session.extractPath, ".");
  // The check box cannot change during a walk (the dialog disables it), so
  // one reading serves every member.
  bool storedPaths = dialog.StoredPathsTicked();

  OutcomePaths paths;
  WalkEnd end = WalkEnd::Normal;
  while (end == WalkEnd::Normal && cursor.Read()) {
    const char* name = cursor.Name();
    const MemberHeader& member = cursor.Member();
    MemberOutcome outcome;

    // A directory entry may carry its whole path in the directory record;
    // one without any name leaves nothing to make and is passed over. The
    // tool's name reader may have a name where the header has no bytes.
    bool ownName = session.nameReader != nullptr && session.nameReader->HasOwnName();
    bool nameless = name[0] == 0 && member.extensionText[0] == 0 && !ownName;
    if (name[0] == 0 && !member.IsDirectoryEntry() && !ownName) {
      dialog.ShowMessage("Error retreiving filename.", kCaptionArchiveError);
      if (!listOnly) {
        outcome.kind = OutcomeKind::Damaged;
        outcome.damage = member.truncated ? Damage::CutHeader : Damage::MissingName;
        Report(session, dialog, outcome);
      }
      end = WalkEnd::Aborted;
      break;
    }
    char storedName[kPathBytes], memberName[kPathBytes];
    bool nameFits = ComposeMemberName(member, name, storedName);
    if (session.nameReader != nullptr)
      outcome.refusal = session.nameReader->ReadName(member, name, storedName);
    CopyText(memberName, sizeof memberName, storedName);
    outcome.storedName = storedName;
    if (HasCharacterOf(memberName, "\\/")) session.archiveHasPaths = true;
    if (!storedPaths) {
      char fileName[kFileNameMax + 1];
      FileNamePart(memberName, fileName);
      CopyText(memberName, sizeof memberName, fileName);
    }

    // Directory entries matter only where stored paths are used.
    outcome.passReason = nameless                                    ? PassReason::Nameless
                         : IsSymbolicLink(member, memberName)        ? PassReason::SymbolicLink
                         : member.IsDirectoryEntry() && !storedPaths ? PassReason::DirectoryEntry
                                                                     : PassReason::None;
    if (outcome.passReason != PassReason::None) {
      if (!listOnly) {
        outcome.kind = OutcomeKind::PassedOver;
        Report(session, dialog, outcome);
      }
    } else if (listOnly) {
      dialog.AddEntry(memberName);
    } else if (IsMemberSelected(session, dialog, memberName)) {
      end = ExtractMember(session, dialog, memberName, paths, outcome, storedPaths, nameFits);
      if constexpr (!kProgramCore) NoteExtent(session, cursor, outcome);
      Report(session, dialog, outcome);
    }
    if (end != WalkEnd::Normal) break;

    // A packedSize that points back or overflows ends the archive.
    if (!cursor.Advance()) break;
  }

  if (end != WalkEnd::Aborted) {
    if (!listOnly) dialog.SetStatus(dialog.SelectedCount() == 0 ? kSuccess : kFailure);
    if (listOnly && dialog.EntryCount() == 0)
      dialog.ShowMessage("Can't read archive header", "Error...");
  }
  if (!session.archiveHasPaths) dialog.TurnOffStoredPaths();
}

}  // namespace lzh
