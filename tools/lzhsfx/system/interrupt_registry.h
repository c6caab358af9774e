// What an interruption does: SIGINT, SIGTERM or SIGHUP, and on Windows the
// console's Ctrl-C, Ctrl-Break and close events. A run notes here the files
// it has made and not yet given their own names: the copy of an archive
// read from a pipe, the member extract is writing, the temporary files of
// create and build. Interrupted, it removes every file noted, says on
// stderr what became of each (or only that it was interrupted), and ends
// as the signal would have ended it (on Windows with
// STATUS_CONTROL_C_EXIT). One handler does all of it, caught while anything
// here needs it.
//
// The handler runs inside a signal handler (POSIX) or on a thread of its
// own (Windows): each file takes one of a fixed set of slots, filled
// beforehand with the path as the removing call takes it (UTF-16 on
// Windows) and the words that name it.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace lzhcli {

// Catches the signals for its lifetime, so that an interruption is told
// even when no file is noted; nested freely.
class InterruptsCaught {
 public:
  InterruptsCaught();
  ~InterruptsCaught();
  InterruptsCaught(const InterruptsCaught&) = delete;
  InterruptsCaught& operator=(const InterruptsCaught&) = delete;
};

// Keeps the handler waiting for its lifetime, so that it never sees a
// change half made, nor a file made but not yet noted; nested freely.
// POSIX: a signal that comes meanwhile is noted and handled when the last
// hold ends (a flag, not a blocked signal mask, which would cost two
// system calls per file); only the main thread holds. Windows: the
// handler's thread waits on a lock, which any thread may hold.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

// Files removed if the run is interrupted, each from Note until Drop or the
// end of this object; while one is noted the signals are caught.
class InterruptRemovals {
 public:
  InterruptRemovals() = default;
  ~InterruptRemovals() { Drop(); }
  InterruptRemovals(const InterruptRemovals&) = delete;
  InterruptRemovals& operator=(const InterruptRemovals&) = delete;

  // Notes the file at path (UTF-8 on Windows; bytes as the system takes
  // them on POSIX), which the message calls what, then the path ("the
  // partly written"). A file made just before should be made and noted
  // under one InterruptsHeld. open, on Windows: the file's handle, which
  // the handler closes first, as a file open without delete sharing cannot
  // be removed; its writes must then be made under InterruptsHeld. False,
  // and nothing noted, when every slot is taken or the path does not fit.
  bool Note(const std::string& path, const char* what, lzh::FileHandle open = lzh::kInvalidFile);
  // The file handle given to Note is closed: not the handler's to close.
  void Closed(lzh::FileHandle file);
  // Forgets every file noted here.
  void Drop();

 private:
  unsigned slots_ = 0;  // a bit for each slot that holds a file noted here
};

}  // namespace lzhcli
