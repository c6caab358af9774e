// Program-wide state of the Windows program's dialogs: what the main dialog
// and the overwrite question write, and the walk state the main dialog drives.
#pragma once

#include <windows.h>

#include <cstdint>

#include "extract/paths.h"
#include "extract/walk.h"

namespace lzh {

// The walk's state; the program body points it at its session before the
// main dialog opens.
extern WalkSession* walkSession;

extern HWND mainDialogHandle;
extern std::uint8_t overwritePolicy;  // an OverwritePolicyValue
// The last answer to the overwrite question: 0 skip, other values overwrite.
extern std::uint8_t overwriteAnswer;
extern char existingFileName[kFileNameMax + 1];

}  // namespace lzh
