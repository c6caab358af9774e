// The overwrite question: names an existing output file and asks whether to
// replace it. "Don't &ask again" turns the answer into the overwrite policy
// and moves the tick in the main dialog's policy buttons to match.
#pragma once

#include <windows.h>

#include "ui/dialog_context.h"

namespace lzh {

INT_PTR CALLBACK FileExistProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Asks about context.existingFileName and returns when the question is
// answered. The answer is left in context.overwriteAnswer (0 skip, other
// values overwrite); when the dialog cannot be shown, the answer recorded
// last stands.
void AskAboutExistingFile(DialogContext& context);

}  // namespace lzh
