// Asking for the output file with the system's save dialog.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace quilldex::ui {

struct ChosenOutput {
    std::string path;  // the full path, as the dialog returned it
    std::string name;  // its file-name part
};

// Nothing when the user cancels or the dialog fails. The dialog leaves the
// process's current directory as it was.
std::optional<ChosenOutput> askOutputFile(HWND dialog);

}  // namespace quilldex::ui
