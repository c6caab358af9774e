// The guard that keeps every output file inside the extraction directory.
#pragma once

#include "extract/member_outcome.h"

namespace lzh {

// Why memberName (the part of an output path that comes from the archive,
// "\" or "/" separated) cannot be used, or None when it stays inside the
// directory it is joined to and names an ordinary file on every system: no
// ".." component (also in its Win32 forms with trailing dots or spaces), no
// drive letter, no rooted or UNC form beyond a single leading "\", no
// device name (CON, NUL, AUX, PRN, COM1-9, LPT1-9, also with the
// superscript digits 1-3 Windows counts among them, with or without an
// extension), no ":" (alternate streams), control characters or characters
// Win32 refuses in names, and not empty.
NameRefusal MemberPathRefusal(const char* memberName);

}  // namespace lzh
