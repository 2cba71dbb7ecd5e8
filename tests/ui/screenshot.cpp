#include "screenshot.h"

#include <chrono>
#include <thread>

#include "wine_setup.h"

namespace quilldex::testing::ui {

namespace {

// `text` as one word of the shell, in single quotes.
std::string shellWord(const std::string& text)
{
    std::string word = "'";
    for (const char c : text) {
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return word + "'";
}

}  // namespace

bool saveScreenshot(HWND window, const std::string& pngPath)
{
    RECT frame = {};
    if (!runningUnderWine() || !GetWindowRect(window, &frame)) {
        return false;
    }
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    const std::string saved = windowsPath(pngPath);
    DeleteFileA(saved.c_str());

    // Wine hands back no handle to wait on for a Unix program, so the driver
    // waits for the file; import writes beside it and the picture is moved
    // into place whole.
    const std::string part = pngPath + ".part";
    const std::string geometry = std::to_string(width) + "x" + std::to_string(height) + "+" +
                                 std::to_string(frame.left) + "+" + std::to_string(frame.top);
    std::string command = windowsPath("/bin/sh") + " -c \"/usr/bin/import -window root -crop " + geometry +
                          " +repage png:" + shellWord(part) + " && /bin/mv " + shellWord(part) + " " +
                          shellWord(pngPath) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    if (process.hThread != nullptr) {
        CloseHandle(process.hThread);
    }
    if (process.hProcess != nullptr) {
        CloseHandle(process.hProcess);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (GetFileAttributesA(saved.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

}  // namespace quilldex::testing::ui
