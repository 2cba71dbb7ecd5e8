// Puts the dialog's controls back to their defaults.
#pragma once

#include <windows.h>

#include "index/index_options.h"

namespace quilldex::ui {

// Takes the process's current directory as the directory to index and shows
// it; sets every other control to its default.
void resetDialog(HWND dialog, IndexOptions& options);

}  // namespace quilldex::ui
