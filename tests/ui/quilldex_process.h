// One run of the real quilldex.exe, started in a chosen directory.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

#include "remote_windows.h"

namespace quilldex::testing::ui {

// The path of quilldex.exe and how long to wait for its first dialog (the
// first program of a fresh Wine prefix starts slowly).
struct ProgramUnderTest {
    std::string path;
    Timeout startTimeout{60000};
};
ProgramUnderTest& programUnderTest();

class QuilldexProcess {
public:
    // Starts the program with `directory` as its current directory and waits
    // for its dialog. dialog() is nullptr if it did not appear.
    explicit QuilldexProcess(const std::filesystem::path& directory);
    // Ends the program if it is still running, so that a failed test leaves
    // nothing behind.
    ~QuilldexProcess();
    QuilldexProcess(const QuilldexProcess&) = delete;
    QuilldexProcess& operator=(const QuilldexProcess&) = delete;

    HWND dialog() const { return dialog_; }
    DWORD id() const { return info_.dwProcessId; }

    // A dialog-class window of this process with the given caption.
    HWND waitFor(const std::string& caption, Timeout timeout = kShortWait, HWND except = nullptr) const;
    bool shows(const std::string& caption) const;

    // The exit code once the process has ended, or nothing if it is still
    // running after `timeout`.
    std::optional<DWORD> waitForExit(Timeout timeout = kShortWait) const;

private:
    PROCESS_INFORMATION info_ = {};
    HWND dialog_ = nullptr;
};

}  // namespace quilldex::testing::ui
