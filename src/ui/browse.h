// Choosing the directory to index with the system's folder picker.
#pragma once

#include <windows.h>

#include "index/index_options.h"

namespace quilldex::ui {

// Shows the folder picker; a confirmed folder becomes `options.directory`
// and is shown in the dialog. Cancelling changes nothing.
void browseForDirectory(HWND dialog, IndexOptions& options);

}  // namespace quilldex::ui
