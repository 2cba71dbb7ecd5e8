#include "remote_windows.h"

#include <thread>
#include <vector>

namespace quilldex::testing::ui {

namespace {

// Messages sent to another process wait at most this long, so that a hung
// program fails the test instead of hanging it.
constexpr UINT kSendTimeoutMs = 5000;
constexpr Timeout kPollInterval{20};

LRESULT sendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

std::string className(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct Search {
    DWORD processId;
    const std::string* caption;
    HWND except;
    HWND found = nullptr;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM param)
{
    auto& search = *reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || window == search.except || !IsWindowVisible(window) ||
        className(window) != "#32770" || windowText(window) != *search.caption) {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

struct TextSearch {
    const std::string* text;
    bool found = false;
};

BOOL CALLBACK matchText(HWND window, LPARAM param)
{
    auto& search = *reinterpret_cast<TextSearch*>(param);
    if (windowText(window) == *search.text) {
        search.found = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool dialogExists(DWORD processId, const std::string& caption, HWND except)
{
    Search search{processId, &caption, except};
    EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
}

HWND waitForDialog(DWORD processId, const std::string& caption, Timeout timeout, HWND except)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        Search search{processId, &caption, except};
        EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return search.found;
        }
        std::this_thread::sleep_for(kPollInterval);
    } while (std::chrono::steady_clock::now() < deadline);
    return nullptr;
}

bool waitUntilGone(HWND window, Timeout timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (IsWindow(window)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

std::string windowText(HWND window)
{
    // WM_GETTEXT, unlike GetWindowText, reads an edit control of another
    // process too.
    const auto length = sendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0);
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
    sendWithTimeout(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return buffer.data();
}

std::string controlText(HWND dialog, int control)
{
    return windowText(GetDlgItem(dialog, control));
}

void setControlText(HWND dialog, int control, const std::string& text)
{
    sendWithTimeout(GetDlgItem(dialog, control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool isChecked(HWND dialog, int control)
{
    return sendWithTimeout(GetDlgItem(dialog, control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void click(HWND dialog, int control)
{
    sendWithTimeout(GetDlgItem(dialog, control), BM_CLICK, 0, 0);
}

void pressButton(HWND dialog, int control)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, control)));
}

std::string messageBoxText(HWND box)
{
    return controlText(box, 0xFFFF);
}

bool messageBoxHasIcon(HWND box)
{
    // The icon is the image of a static control (0x0440 under Wine, 20 on
    // Windows), which holds none when the box has no icon.
    for (const int control : {0x0440, 20}) {
        if (const HWND icon = GetDlgItem(box, control)) {
            return sendWithTimeout(icon, STM_GETICON, 0, 0) != 0;
        }
    }
    return false;
}

bool holdsText(HWND window, const std::string& text)
{
    TextSearch search{&text};
    EnumChildWindows(window, matchText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void typeKey(HWND window, WORD virtualKey)
{
    SetForegroundWindow(window);
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = virtualKey;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

}  // namespace quilldex::testing::ui
