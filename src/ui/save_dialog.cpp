#include "ui/save_dialog.h"

#include <commdlg.h>

namespace quilldex::ui {

std::optional<ChosenOutput> askOutputFile(HWND dialog)
{
    char path[256] = {};
    OPENFILENAMEA request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = dialog;
    request.lpstrFilter = "HTML document (*.html,*.htm)\0*.html;*.htm\0";
    request.nFilterIndex = 1;
    request.lpstrFile = path;
    request.nMaxFile = sizeof path;
    request.lpstrTitle = "Export to file";
    request.lpstrDefExt = ".html";
    request.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;

    if (!GetSaveFileNameA(&request)) {
        return std::nullopt;
    }
    ChosenOutput chosen;
    chosen.path = path;
    if (request.nFileOffset < chosen.path.size()) {
        chosen.name = chosen.path.substr(request.nFileOffset);
    }
    return chosen;
}

}  // namespace quilldex::ui
