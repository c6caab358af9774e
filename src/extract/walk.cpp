#include "extract/walk.h"

#include <cstring>
#include <initializer_list>

#include "archive/header_cursor.h"
#include "codec/decoder.h"
#include "extract/safe_names.h"

namespace lzh {

namespace {

constexpr char kCaptionArchiveError[] = "Archive error..";
constexpr char kSuccess[] = "CRC validation passed on all file( s )... extraction successful";
constexpr char kFailure[] = "The remaining hilited file( s ) failed CRC validation";

// How a walk left its member loop.
enum class WalkEnd {
  Normal,   // no further header: verdict follows
  Stopped,  // a directory could not be made: verdict follows
  Aborted,  // empty name or unsupported method: no verdict
};

// An MS-DOS date-time the conversion accepts: months 1-12, days that exist
// in their month, hours below 24, minutes below 60, seconds below 60.
bool IsValidDosDateTime(std::uint32_t stamp) {
  unsigned date = stamp >> 16, time = stamp & 0xFFFF;
  unsigned year = 1980 + (date >> 9), month = (date >> 5) & 0x0F, day = date & 0x1F;
  unsigned hour = time >> 11, minute = (time >> 5) & 0x3F, second2 = time & 0x1F;
  static const unsigned char kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap) return false;
  return hour < 24 && minute < 60 && second2 < 30;
}

// Symbolic links are stored as directory entries "link|target"; Windows
// has no such file to make, so they are passed over.
bool IsSymbolicLink(const MemberHeader& member, const char* memberName) {
  return member.IsDirectoryEntry() && std::strchr(memberName, '|') != nullptr;
}

void FinishOutputFile(WalkSession& session, WalkDialog& dialog, FileHandle output,
                      const char* outputPath) {
  const MemberHeader& member = session.archive.currentMember;
  if (member.hasUnixTime) {
    session.fs.SetUnixTime(output, member.unixTime);
  } else if (IsValidDosDateTime(member.timeStamp)) {
    session.fs.SetDosTime(output, member.timeStamp);
  }
  if (!session.fs.Close(output)) dialog.ShowMessage(outputPath, "Error Closing...");
}

// A directory entry is made, not written: the directory and its parents
// are created and the entry counts as extracted.
WalkEnd MakeDirectoryEntry(WalkSession& session, WalkDialog& dialog, const char* memberName,
                           const char* outputPath, bool nameFits) {
  char relative[kPathBytes], directory[kPathBytes];
  CopyText(relative, sizeof relative, memberName);
  CopyText(directory, sizeof directory, outputPath);
  for (char* text : {relative, directory}) {
    if (EndsInBackslash(text)) text[std::strlen(text) - 1] = 0;
  }
  if (!nameFits || !IsSafeMemberPath(relative)) {
    dialog.ShowMessage(outputPath, "Couldn't open...");
    return WalkEnd::Normal;
  }
  MakeDirectories(session.fs, directory);
  if (!PathExists(session.fs, directory)) {
    dialog.ShowMessage(directory, "Error Changing Dir");
    return WalkEnd::Stopped;
  }
  dialog.Deselect(session.listIndex);
  return WalkEnd::Normal;
}

// Extracts one selected member: steps from the output path to the closed
// file. Returns how the walk goes on.
WalkEnd ExtractMember(WalkSession& session, WalkDialog& dialog, char (&memberName)[kPathBytes],
                      bool storedPaths, bool nameFits) {
  ArchiveReader& archive = session.archive;
  const MemberHeader& member = archive.currentMember;
  AddTrailingBackslash(session.extractPath, sizeof session.extractPath);
  char outputPath[kPathBytes];
  CopyText(outputPath, sizeof outputPath, session.extractPath);
  if (storedPaths) SlashesToBackslashes(memberName);
  nameFits = AppendText(outputPath, sizeof outputPath, memberName) && nameFits;

  if (member.IsDirectoryEntry())
    return MakeDirectoryEntry(session, dialog, memberName, outputPath, nameFits);

  // A name that would leave the extraction directory is refused like a
  // file that cannot be created.
  if (!nameFits || !IsSafeMemberPath(memberName)) {
    dialog.ShowMessage(outputPath, "Couldn't open...");
    return WalkEnd::Normal;
  }

  if (PathExists(session.fs, outputPath)) {
    std::uint8_t policy = dialog.OverwritePolicy();
    if (policy == Skip) {
      dialog.Deselect(session.listIndex);
      return WalkEnd::Normal;
    }
    if (policy == Confirm) {
      char existing[kFileNameMax + 1];
      FileNamePart(outputPath, existing);
      dialog.AskOverwrite(existing);
      if (dialog.OverwriteAnswer() == 0) {
        dialog.Deselect(session.listIndex);
        return WalkEnd::Normal;
      }
    }
  } else {
    char directory[kPathBytes];
    DirectoryPart(outputPath, directory, sizeof directory);
    MakeDirectories(session.fs, directory);
    if (!PathExists(session.fs, directory)) {
      dialog.ShowMessage(directory, "Error Changing Dir");
      return WalkEnd::Stopped;
    }
  }

  FileHandle output = session.fs.CreateOutput(outputPath);
  if (output == kInvalidFile) {
    dialog.ShowMessage(outputPath, "Couldn't open...");
    return WalkEnd::Normal;
  }

  char status[kPathBytes + 16] = "Extracting: ";
  AppendText(status, sizeof status, outputPath);
  dialog.SetStatus(status);
  dialog.PumpOneMessage();

  Decoder decoder = session.decoderForMethod(member.MethodDigit());
  if (decoder == nullptr) {
    dialog.ShowMessage("Unsupported compression method", "Unable to extract...");
    FinishOutputFile(session, dialog, output, outputPath);
    return WalkEnd::Aborted;
  }
  MemberStream stream{session.fs,        archive.archiveHandle, output,
                      member.DataSize(), member.originalSize,   member.MethodDigit()};
  archive.packedLeft = stream.packedLeft;
  decoder(stream);
  archive.packedLeft = stream.packedLeft;
  // A member passes on its CRC, and only when its header was whole and it
  // decoded to the size the header gives: the CRC-16 of zeros is 0 whatever
  // their number, so a cut stream of zeros would otherwise pass. A stream
  // that ran past that size is damaged however its first bytes read.
  bool wholeSize = session.fs.Size(output) == static_cast<std::uint32_t>(member.originalSize);
  if (member.memberCrc == stream.runningCrc && !member.truncated && wholeSize && !stream.overran)
    dialog.Deselect(session.listIndex);
  FinishOutputFile(session, dialog, output, outputPath);
  return WalkEnd::Normal;
}

}  // namespace

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

void WalkArchive(WalkSession& session, WalkDialog& dialog, bool listOnly) {
  HeaderCursor cursor(session.archive);
  if (!cursor.Seek(session.archiveStart)) {
    dialog.ShowMessage("Error finding attached archive.", kCaptionArchiveError);
    return;
  }
  session.listIndex = -1;
  session.archiveHasPaths = false;
  if (listOnly) dialog.ResetList();
  // The check box cannot change during a walk (the dialog disables it), so
  // one reading serves every member.
  bool storedPaths = dialog.StoredPathsTicked();

  WalkEnd end = WalkEnd::Normal;
  while (end == WalkEnd::Normal && cursor.Read()) {
    const char* name = cursor.Name();
    const MemberHeader& member = cursor.Member();

    // A directory entry may carry its whole path in the directory record;
    // one without any name leaves nothing to make and is passed over.
    bool nameless = name[0] == 0 && member.extensionText[0] == 0;
    if (name[0] == 0 && !member.IsDirectoryEntry()) {
      dialog.ShowMessage("Error retreiving filename.", kCaptionArchiveError);
      end = WalkEnd::Aborted;
      break;
    }
    char memberName[kPathBytes];
    bool nameFits = ComposeMemberName(member, name, memberName);
    if (std::strpbrk(memberName, "\\/") != nullptr) session.archiveHasPaths = true;
    if (!storedPaths) {
      char fileName[kFileNameMax + 1];
      FileNamePart(memberName, fileName);
      CopyText(memberName, sizeof memberName, fileName);
    }

    // Directory entries matter only where stored paths are used.
    bool passOver = nameless || IsSymbolicLink(member, memberName) ||
                    (member.IsDirectoryEntry() && !storedPaths);
    if (!passOver) {
      if (listOnly) {
        dialog.AddEntry(memberName);
      } else if (IsMemberSelected(session, dialog, memberName)) {
        end = ExtractMember(session, dialog, memberName, storedPaths, nameFits);
      }
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
