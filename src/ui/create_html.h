// The Create HTML command.
#pragma once

#include <windows.h>

#include "index/index_options.h"

namespace quilldex::ui {

// Fills `options` from the dialog, asks for the output file and runs the
// export, telling the user the outcome. True after a successful run; false
// when the user cancelled the save dialog or nothing could be written.
bool onCreateHtml(HWND dialog, IndexOptions& options);

}  // namespace quilldex::ui
