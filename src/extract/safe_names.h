// The guard that keeps every output file inside the extraction directory.
#pragma once

namespace lzh {

// True when memberName (the part of an output path that comes from the
// archive, "\" or "/" separated) stays inside the directory it is joined
// to and names an ordinary file on every system: no ".." component (also
// in its Win32 forms with trailing dots or spaces), no ":" (drive letters,
// alternate streams), no rooted or UNC form beyond a single leading "\",
// no device name (CON, NUL, AUX, PRN, COM1-9, LPT1-9, with or without an
// extension), no control characters or characters Win32 refuses in names,
// and not empty.
bool IsSafeMemberPath(const char* memberName);

}  // namespace lzh
