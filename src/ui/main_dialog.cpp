#include "ui/main_dialog.h"

#include "index/index_options.h"
#include "resource.h"
#include "ui/browse.h"
#include "ui/create_html.h"
#include "ui/help_text.h"
#include "ui/reset_dialog.h"

namespace quilldex::ui {

namespace {

IndexOptions& optionsOf(HWND dialog)
{
    return *reinterpret_cast<IndexOptions*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR onInitDialog(HWND dialog, LPARAM options)
{
    // Only the dialog's creation brings the record; the resets posted after
    // a successful run carry nothing.
    if (options != 0) {
        SetWindowLongPtrA(dialog, DWLP_USER, options);
    }
    resetDialog(dialog, optionsOf(dialog));
    return TRUE;
}

INT_PTR onClose(HWND dialog)
{
    EndDialog(dialog, 0);
    return TRUE;
}

INT_PTR onHelp(HWND dialog)
{
    MessageBoxA(dialog, helpText, kHelpCaption, MB_OK);
    return TRUE;
}

INT_PTR onCreate(HWND dialog)
{
    // Posted, so that the reset runs once the command has returned.
    if (onCreateHtml(dialog, optionsOf(dialog))) {
        PostMessageA(dialog, WM_INITDIALOG, 0, 0);
    }
    return TRUE;
}

INT_PTR onExit(HWND dialog)
{
    EndDialog(dialog, 0);
    return FALSE;
}

INT_PTR onBrowse(HWND dialog)
{
    browseForDirectory(dialog, optionsOf(dialog));
    return TRUE;
}

// Esc (IDCANCEL) is not handled, so it leaves the dialog open.
INT_PTR onCommand(HWND dialog, int control)
{
    switch (control) {
    case IDOK:
        return onCreate(dialog);
    case IDC_EXIT:
        return onExit(dialog);
    case IDC_HELP_BUTTON:
        return onHelp(dialog);
    case IDC_BROWSE:
        return onBrowse(dialog);
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog, lParam);
    case WM_CLOSE:
        return onClose(dialog);
    case WM_HELP:
        return onHelp(dialog);
    case WM_COMMAND:
        return onCommand(dialog, LOWORD(wParam));
    default:
        return FALSE;
    }
}

}  // namespace quilldex::ui
