// Modes of the driver that bench/program_speed.sh times with: the program
// extracting through its dialog, and any other program run to its end,
// both timed from inside Wine so that Wine's own start (a few hundred
// milliseconds for the driver) stays out of the figures.
#pragma once

namespace wine_e2e {

// --time-extract SFX OUTDIR: starts SFX in its own folder, extracts every
// member into OUTDIR through the dialog and leaves. Prints
// "start MS extract MS": from starting the process to its dialog showing,
// and from the click on Extract to the walk's end (Extract enabled again).
// Exit code 0 for the success verdict, no box and a clean end.
int TimeExtractMode(const char* exe, const char* outDir);

// --time-run EXE [ARGUMENT...]: runs EXE with the arguments and prints
// "run MS exit CODE", from starting the process to its end.
int TimeRunMode(int argc, char** argv);

}  // namespace wine_e2e
