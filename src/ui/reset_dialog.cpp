#include "ui/reset_dialog.h"

#include "resource.h"
#include "ui/dialog_controls.h"

namespace quilldex::ui {

namespace {

// The current directory, or an empty text when it does not fit MAX_PATH;
// the Create HTML command then reports that it cannot open it.
std::string currentDirectory()
{
    char buffer[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    return length > 0 && length < MAX_PATH ? std::string(buffer, length) : std::string();
}

}  // namespace

void resetDialog(HWND dialog, IndexOptions& options)
{
    options.directory = currentDirectory();
    setControlText(dialog, IDC_DIRECTORY, options.directory);

    setChecked(dialog, IDC_SHOW_SIZE, true);
    setChecked(dialog, IDC_SHOW_TIME, false);
    setChecked(dialog, IDC_SHOW_DATE, false);
    setChecked(dialog, IDC_MAKE_LINKS, false);
    setChecked(dialog, IDC_STYLE_AUTO, true);
    setChecked(dialog, IDC_STYLE_BYTES, false);
    setChecked(dialog, IDC_STYLE_KB, false);
    setChecked(dialog, IDC_STYLE_MB, false);
    setChecked(dialog, IDC_RECURSIVE, false);
    setChecked(dialog, IDC_SINGLE, true);
    setChecked(dialog, IDC_READ_TITLES, false);

    setControlText(dialog, IDC_PREFIX, "");
    setControlText(dialog, IDC_MASK, "*.*");
}

}  // namespace quilldex::ui
