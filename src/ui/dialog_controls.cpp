#include "ui/dialog_controls.h"

#include <vector>

namespace quilldex::ui {

bool isChecked(HWND dialog, int control)
{
    return SendDlgItemMessageA(dialog, control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void setChecked(HWND dialog, int control, bool checked)
{
    SendDlgItemMessageA(dialog, control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string controlText(HWND dialog, int control, std::size_t maxLength)
{
    // WM_GETTEXT copies at most buffer size - 1 characters, which is the cut.
    std::vector<char> buffer(maxLength + 1, '\0');
    SendDlgItemMessageA(dialog, control, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data());
}

void setControlText(HWND dialog, int control, const std::string& text)
{
    SendDlgItemMessageA(dialog, control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void showMessage(HWND dialog, const char* text, const char* caption, UINT icon)
{
    MessageBoxA(dialog, text, caption, MB_OK | icon);
}

void showError(HWND dialog, const std::string& text)
{
    showMessage(dialog, text.c_str(), "Error", MB_ICONERROR);
}

}  // namespace quilldex::ui
