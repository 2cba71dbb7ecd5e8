#include "ui/browse.h"

#include <shlobj.h>

#include <memory>

#include "resource.h"
#include "ui/dialog_controls.h"

namespace quilldex::ui {

namespace {

struct ItemListFree {
    void operator()(ITEMIDLIST* item) const { CoTaskMemFree(item); }
};

}  // namespace

void browseForDirectory(HWND dialog, IndexOptions& options)
{
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info = {};
    info.hwndOwner = dialog;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = "Select the directory that you wish to build an HTML index of";
    info.ulFlags = BIF_RETURNONLYFSDIRS;

    const std::unique_ptr<ITEMIDLIST, ItemListFree> item(SHBrowseForFolderA(&info));
    if (!item) {
        return;
    }
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(item.get(), path)) {
        return;
    }
    options.directory = path;
    setControlText(dialog, IDC_DIRECTORY, options.directory);
}

}  // namespace quilldex::ui
