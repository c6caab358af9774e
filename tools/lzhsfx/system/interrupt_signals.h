// The signals that interrupt a run: SIGINT, SIGTERM and SIGHUP, and on
// Windows the console's Ctrl-C, Ctrl-Break and close events. A handler
// cleans up, and the process then ends as the signal would have ended it
// (on Windows with STATUS_CONTROL_C_EXIT).
#pragma once

namespace lzhcli {

// Runs in a signal handler (POSIX) or on a thread of its own (Windows):
// only calls that are safe there, on data prepared beforehand.
using InterruptHandler = void (*)();

// Catches the signals with handler until UninstallInterruptHandler; one
// handler at a time. Without a handler, but with a file to remove, an
// interruption says so and ends the process.
void InstallInterruptHandler(InterruptHandler handler);
void UninstallInterruptHandler();

// A file that every interruption removes, before the installed handler
// runs or when none is: the copy of an archive read from a pipe, which
// outlives the handlers the commands install and remove. One at a time;
// false, and nothing noted, when the path is too long to keep.
bool RemoveWhenInterrupted(const char* path);
void KeepWhenInterrupted();

// Writes line to stderr, from within a handler.
void SayFromHandler(const char* line);

#ifndef _WIN32
// Keeps the signals waiting for its lifetime, so that a handler never sees
// a change half made, nor a file made but not yet noted for removal. A
// signal that comes meanwhile is noted and handled when the last hold
// ends: a flag, not a blocked signal mask, which would cost two system
// calls per file.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};
#endif

}  // namespace lzhcli
