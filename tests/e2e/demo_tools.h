// Modes of the driver that the demo and the shell-driven tests use:
// building a program, extracting one through its dialog, checking its PE
// checksum.
#pragma once

#include <windows.h>

namespace wine_e2e {

// --build STUB ARCHIVE OUT: the stub with the archive attached.
int BuildMode(const char* stub, const char* archive, const char* out);

// --extract-all SFX OUTDIR [HOLD-MS]: everything through the dialog into
// OUTDIR, answering every box with OK. Prints the dialog's place on the
// screen (as WxH+X+Y), the list, the boxes and the verdict; keeps the
// dialog open HOLD-MS milliseconds after the verdict (for a screenshot),
// then leaves with Exit. The first box (an overwrite question, say) is
// printed with its place and held as long before it is answered. Exit code 0 for the success
// verdict and a clean end.
int ExtractAllMode(const char* exe, const char* outDir, DWORD holdMs);

// --checksum FILE: the PE checksum in FILE's header against the one the
// system's imagehlp computes. Exit code 0 when they agree.
int ChecksumMode(const char* file);

}  // namespace wine_e2e
