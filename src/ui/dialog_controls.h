// Reading and setting the dialog's controls by their identifiers.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace quilldex::ui {

bool isChecked(HWND dialog, int control);
void setChecked(HWND dialog, int control, bool checked);

// The control's text, cut to at most `maxLength` characters.
std::string controlText(HWND dialog, int control, std::size_t maxLength);
void setControlText(HWND dialog, int control, const std::string& text);

// Message boxes owned by the dialog.
void showMessage(HWND dialog, const char* text, const char* caption, UINT icon);
void showError(HWND dialog, const std::string& text);

}  // namespace quilldex::ui
