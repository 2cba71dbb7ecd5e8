// The dialog procedure of the program's one dialog.
#pragma once

#include <windows.h>

namespace quilldex::ui {

// Expects the IndexOptions record of the process as the creation parameter
// of the dialog.
INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace quilldex::ui
