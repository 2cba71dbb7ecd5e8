#include "wine_setup.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

namespace quilldex::testing::ui {

namespace fs = std::filesystem;

bool runningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string windowsPath(const std::string& path)
{
    if (path.empty() || path.front() != '/' || !runningUnderWine()) {
        return path;
    }
    using DosName = WCHAR* (*)(const char*);
    const auto toDosName = reinterpret_cast<DosName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    WCHAR* wide = toDosName != nullptr ? toDosName(path.c_str()) : nullptr;
    if (wide == nullptr) {
        return path;
    }
    char converted[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, converted, sizeof converted, nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, wide);
    return converted;
}

void prepareWine(const std::string& wineFontDirectory)
{
    if (!runningUnderWine()) {
        return;
    }
    RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", "Managed", REG_SZ, "N", 2);

    char windows[MAX_PATH] = {};
    if (wineFontDirectory.empty() || GetWindowsDirectoryA(windows, MAX_PATH) == 0) {
        return;
    }
    const fs::path fonts = fs::path(windows) / "Fonts";
    std::error_code error;
    fs::create_directories(fonts, error);
    for (const auto& entry : fs::directory_iterator(wineFontDirectory, error)) {
        const auto target = fonts / entry.path().filename();
        if (!fs::exists(target, error)) {
            fs::copy_file(entry.path(), target, error);
        }
    }
}

}  // namespace quilldex::testing::ui
