#include "quilldex_process.h"

#include <vector>

namespace quilldex::testing::ui {

namespace {

constexpr char kDialogCaption[] = "QUILLDEX 1.0.7";

}  // namespace

ProgramUnderTest& programUnderTest()
{
    static ProgramUnderTest program;
    return program;
}

QuilldexProcess::QuilldexProcess(const std::filesystem::path& directory)
{
    const auto& program = programUnderTest();
    std::string commandLine = "\"" + program.path + "\"";
    std::vector<char> mutableCommandLine(commandLine.begin(), commandLine.end());
    mutableCommandLine.push_back('\0');
    const std::string startDirectory = directory.string();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(program.path.c_str(), mutableCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        startDirectory.c_str(), &startup, &info_)) {
        info_ = {};
        return;
    }
    dialog_ = waitFor(kDialogCaption, program.startTimeout);
    // Later starts are quick: only the first one pays for setting up Wine.
    if (dialog_ != nullptr) {
        programUnderTest().startTimeout = kShortWait;
    }
}

QuilldexProcess::~QuilldexProcess()
{
    if (info_.hProcess == nullptr) {
        return;
    }
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

HWND QuilldexProcess::waitFor(const std::string& caption, Timeout timeout, HWND except) const
{
    return waitForDialog(id(), caption, timeout, except);
}

bool QuilldexProcess::shows(const std::string& caption) const
{
    return dialogExists(id(), caption);
}

std::optional<DWORD> QuilldexProcess::waitForExit(Timeout timeout) const
{
    if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

}  // namespace quilldex::testing::ui
