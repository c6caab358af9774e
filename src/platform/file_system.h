// The file and directory calls of the program: the only code that talks to
// the operating system about files. Everything above it (header reader,
// decoders, walk) is portable and is tested against fakes of this interface.
#pragma once

#include <cstdint>
#include <type_traits>

namespace lzh {

// Positions in a file, and sizes of files and members. The self-extracting
// program's build of the core (LZH_PROGRAM_CORE) counts them in 32 bits,
// which its code size affords and its archives need; every other build in
// 64, so that the command-line tool reads members over 4 GiB.
#ifdef LZH_PROGRAM_CORE
inline constexpr bool kProgramCore = true;
using FileOffset = std::int32_t;
#else
inline constexpr bool kProgramCore = false;
using FileOffset = std::int64_t;
#endif
using FileSize = std::make_unsigned_t<FileOffset>;
inline constexpr bool kWideOffsets = sizeof(FileOffset) == 8;

// An open file. Win32 keeps its HANDLE here, POSIX its descriptor.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens an existing file for reading only, shared for reading (the
  // program's own executable). kInvalidFile on failure.
  virtual FileHandle OpenRead(const char* path) = 0;

  // Creates a new, empty file for writing, exclusively: it fails when
  // anything has the name already (a file, a directory, a symbolic link),
  // so that no write ever goes through a link or into a file that was
  // there. kInvalidFile on failure.
  virtual FileHandle CreateOutput(const char* path) = 0;

  // Transfer up to count bytes; the result is the count actually
  // transferred (0 at the end of the file or on failure, never negative).
  virtual std::int32_t Read(FileHandle file, void* buffer, std::int32_t count) = 0;
  virtual std::int32_t Write(FileHandle file, const void* buffer, std::int32_t count) = 0;

  // Moves the position to offset bytes from the start. Returns the new
  // position, or -1 on failure; a negative offset fails, an offset past the
  // end succeeds.
  virtual FileOffset Seek(FileHandle file, FileOffset offset) = 0;

  // The file's size (all bits set when it cannot be told); the program's
  // build: its low 32 bits.
  virtual FileSize Size(FileHandle file) = 0;

  // False when the close failed.
  virtual bool Close(FileHandle file) = 0;

  // A directory search for the first match of path: any file or directory
  // of that name counts. A path ending in "\*.*" (or "/*.*") is true only
  // when the directory holds at least one entry. "\" and "/" both separate
  // components. An empty path does not exist.
  virtual bool FindFirst(const char* path) = 0;

  // Creates one directory (its parent must exist). False on failure.
  virtual bool MakeDirectory(const char* path) = 0;

  // True when path is a directory that can be reached, a drive's root
  // ("D:\\") too, which a directory search cannot find when it is empty.
  virtual bool IsDirectory(const char* path) = 0;

  // True when path itself, not what it leads to, is a symbolic link, a
  // junction or another reparse point that stands for a name elsewhere.
  // False when it is anything else or nothing.
  virtual bool IsLink(const char* path) = 0;

  // True when what is named path may be replaced: something this process
  // could write in place (a file that is not read-only, or a pipe or a
  // device it may write), not a directory and not a link. Nothing is
  // written. False, with LastError, otherwise.
  virtual bool CanReplace(const char* path) = 0;

  // Gives the closed file from the name to, in the same directory, in one
  // step. With replace a file of that name is replaced: the name then
  // stands for the new file, and other names of the old one keep its
  // bytes. Without, the call fails when the name is taken. False on
  // failure.
  virtual bool Rename(const char* from, const char* to, bool replace) = 0;

  // Removes a closed file. False on failure.
  virtual bool Remove(const char* path) = 0;

  // Gives an open file a time as last-write and last-access time; the
  // creation time is left alone. SetDosTime takes an MS-DOS date-time in
  // local time (date in the high 16 bits, time in the low 16 bits) and
  // converts it to UTC; one that names no real moment (IsValidDosDateTime)
  // leaves the file's time alone. SetUnixTime takes seconds since 1970 in
  // UTC.
  virtual void SetDosTime(FileHandle file, std::uint32_t dosDateTime) = 0;
  virtual void SetUnixTime(FileHandle file, std::int64_t seconds) = 0;
#ifndef LZH_PROGRAM_CORE
  // The command-line tool's: gives an open file a member's Unix mode, its
  // permission bits alone (never set-user-id, set-group-id or sticky) as
  // the umask allows them. Where there are no such bits it does nothing.
  virtual void SetUnixMode(FileHandle /*file*/, std::uint32_t /*mode*/) {}
#endif

  // The system's error code (GetLastError, errno) of the last CreateOutput,
  // Write, Close, MakeDirectory, CanReplace or Rename that failed or fell
  // short; 0 before any did. Calls that succeed leave it as it was.
  virtual std::uint32_t LastError() = 0;
};

// The real file system of the machine the program runs on. Paths are in
// the form the system's byte calls take: on Windows the ANSI code page (not
// in the self-extracting program, which names files in UTF-8 alone).
FileSystem& HostFileSystem();

#ifdef _WIN32
// The same with paths in UTF-8, which Windows takes through its wide calls:
// names in any script, whatever the system's ANSI code page.
FileSystem& Utf8HostFileSystem();
#endif

}  // namespace lzh
