// Writes an LHA archive: members from files and directories, each header
// at the chosen level, each file packed with the chosen method, or stored
// when packing would not make it smaller, then the end marker.
//
// The archive is written under a temporary name beside its final one (a
// new file of its own: temporary_file.h) and renamed over it only by
// Finish, so a failed or abandoned archive leaves nothing half-written
// behind, an existing file stays as it was until the new one is complete,
// and the final name takes this archive whole. A member that fails (a file
// that cannot be read, or that changes size while it is read) is taken out
// again: the archive goes on as if it had never been added, and the caller
// chooses whether to continue or to abandon.
//
// Each file is read once while it is packed, straight into the archive; a
// member that does not shrink is read a second time to be stored. Memory
// stays bounded by the encoder's segments, whatever the file's size. Small
// files may be packed ahead, two at once, into memory (PackAhead).
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive_writer/member_header_writer.h"
#include "archive_writer/pack_ahead.h"
#include "archive_writer/thread_pair_runner.h"
#include "codec/crc16.h"
#include "encoder/lh5_encoder.h"

namespace lzhwrite {

enum class Method { Lh0, Lh5, Lh6, Lh7 };

struct WriterOptions {
  Method method = Method::Lh5;
  int effort = lzh::kDefaultEffort;  // 1 .. 9
  int headerLevel = 2;               // 0, 1 or 2
  bool twoThreads = true;            // pack two segments of a member at once
  // Files larger are refused (WriteError::OverLimit): a self-extracting
  // program's stub counts sizes in 31 bits.
  std::uint64_t largestFile = UINT64_MAX;
  // Told how many bytes of the member being added have been read, as they
  // are read: one call at a time, not always from the caller's thread.
  std::function<void(std::int64_t bytesRead)> onRead;
};

enum class WriteError {
  None,
  BadOptions,        // an effort, level or method outside its range
  NotOpen,           // no archive is open (or it was finished or abandoned)
  CannotCreate,      // the temporary archive file could not be created
  CannotOpenSource,  // the file to add could not be opened
  ReadFailed,        // reading the file to add failed
  ChangedWhileRead,  // the file's size changed while it was read
  TooLarge,          // the file is too large for the header level's 32-bit sizes (4 GiB or more)
  OverLimit,         // the file is larger than WriterOptions::largestFile
  NameTooLong,       // the stored path does not fit the header of the level
  WriteFailed,       // writing the archive failed (a full disk, say)
  CannotRename,      // the finished archive could not take its final name
};

// What went wrong, with the file concerned (the member's source path, or
// the archive's) and the system's error number (errno; 0 where none
// applies), for the caller to word.
struct WriteStatus {
  WriteError error = WriteError::None;
  std::string path;
  int systemError = 0;
  bool Ok() const { return error == WriteError::None; }
};

// A member to add: where its bytes come from and how it is stored.
struct MemberSource {
  std::string sourcePath;      // the file to read (unused for a directory entry); see utf8_path.h
  std::string storedPath;      // "/" separated, relative, in the stored code page
  std::u16string utf16Path;    // optional: the same as UTF-16 (records 0x44/0x45, level 2)
  std::int64_t unixTime = 0;   // modification time, seconds since 1970 UTC
  std::uint16_t unixMode = 0;  // st_mode's type and permission bits (levels 1, 2); 0: none
};

// What a member came to, for listings and tests.
struct MemberSummary {
  char method[6] = {};
  std::uint64_t originalSize = 0;
  std::uint64_t packedSize = 0;
  std::uint16_t crc = 0;
};

class ArchiveWriter {
 public:
  explicit ArchiveWriter(const WriterOptions& options);
  ~ArchiveWriter();  // abandons an archive not finished
  ArchiveWriter(const ArchiveWriter&) = delete;
  ArchiveWriter& operator=(const ArchiveWriter&) = delete;

  // Starts the archive that Finish will put at path.
  WriteStatus Open(const std::string& path);

  // Adds a file as a member; on failure the archive is as before the call.
  WriteStatus AddFile(const MemberSource& member, MemberSummary* summary = nullptr);

  // Reads and packs the files now, two at once, into memory, where AddFile
  // takes each from (those under a segment's size; the caller keeps them
  // few: their bytes are held until then). Files packed ahead and not
  // added are dropped when a later one is added or more are packed ahead.
  // Nothing without two threads, or for stored members.
  void PackAhead(const std::vector<std::string>& sourcePaths);

  // Adds a directory entry (-lhd-), for directories that would otherwise
  // not appear (empty ones) or whose time stamp matters.
  WriteStatus AddDirectory(const MemberSource& member);

  // Appends a member copied whole from another archive: its header and
  // data, count bytes, as they stand.
  WriteStatus AddCopied(const std::uint8_t* member, std::size_t count);

  // The header level of the members added from now on (0, 1 or 2).
  void SetHeaderLevel(int level) { options_.headerLevel = level; }

  // Writes the end marker and gives the archive its final name.
  WriteStatus Finish();

  // Writes the end marker and closes the archive, which stays under
  // TemporaryPath() for the caller to read (a program's archive, copied
  // behind the stub); Abandon, or the destructor, removes it.
  WriteStatus Complete();

  // Removes the temporary archive; the final path stays as it was.
  void Abandon();

  // The name the archive is written under until Finish renames it or
  // Abandon removes it; "" before and after.
  const std::string& TemporaryPath() const { return temporaryPath_; }

  // The bytes written so far, the end marker not counted.
  std::int64_t Size() const { return end_; }

 private:
  WriteStatus WriteMember(MemberFields& fields, const MemberSource& member,
                          const PackedFile* ahead);
  WriteStatus PutAhead(const PackedFile& file, const MemberSource& member, MemberFields& fields);
  // The file packed ahead for sourcePath, those before it dropped.
  std::optional<PackedFile> TakeAhead(const std::string& sourcePath);
  lzh::EncoderOptions BaseEncoderOptions();
  WriteStatus PackInto(const MemberSource& member, std::FILE* source, MemberFields& fields,
                       bool& shrank);
  WriteStatus StoreInto(const MemberSource& member, std::FILE* source, MemberFields& fields);
  WriteStatus PutHeader(const MemberFields& fields, std::int64_t at);
  WriteStatus Fail(WriteError error, const std::string& path, int systemError = 0);

  WriterOptions options_;
  ThreadPairRunner runner_;
  lzh::CrcTableScope crcTable_;
  std::FILE* file_ = nullptr;
  std::string finalPath_;
  std::string temporaryPath_;
  std::int64_t end_ = 0;  // where the next member starts
  std::vector<std::uint8_t> header_;
  std::deque<PackedFile> ahead_;  // in the order they were given
};

// Dictionary bits of a method (0 for -lh0-), and its five bytes.
int DictionaryBitsOf(Method method);
const char* MethodText(Method method);

}  // namespace lzhwrite
