// The fixture of the end-to-end tests: a fresh directory tree, the real
// program started in it, and the steps a user takes in the dialog.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>
#include <string>

#include "quilldex_process.h"
#include "remote_windows.h"
#include "resource.h"
#include "support/temp_tree.h"

namespace quilldex::testing::ui {

namespace fs = std::filesystem;

inline constexpr std::array<int, 11> kCheckControls = {
    IDC_SHOW_SIZE,   IDC_SHOW_TIME, IDC_SHOW_DATE, IDC_MAKE_LINKS, IDC_READ_TITLES, IDC_STYLE_AUTO,
    IDC_STYLE_BYTES, IDC_STYLE_KB,  IDC_STYLE_MB,  IDC_SINGLE,     IDC_RECURSIVE,
};

// Everything the dialog shows that a user can change.
struct DialogState {
    std::string directory;
    std::string mask;
    std::string prefix;
    std::set<int> checked;  // the identifiers of the checked buttons

    bool operator==(const DialogState&) const = default;
};
std::ostream& operator<<(std::ostream& out, const DialogState& state);

DialogState readState(HWND dialog);
// What a reset leaves in the dialog.
DialogState defaultState(const std::string& directory);

// The file names below `root`, relative to it.
std::set<std::string> listTree(const fs::path& root);

class DialogTest : public ::testing::Test {
protected:
    // Starts the program in `directory` (a path below the tree).
    void start(const fs::path& directory);
    void start() { start(tree.root()); }

    HWND dialog() const { return program->dialog(); }

    // Waits for a message box or dialog of the program; fails the test if
    // none comes.
    HWND expectWindow(const std::string& caption, HWND except = nullptr);
    // Waits for a message box, checks its text and whether it has an icon,
    // and presses OK.
    void expectMessage(const std::string& caption, const std::string& text, bool icon);
    // Presses a button of a modal window and waits until it has gone.
    void press(HWND window, int button);

    // In the save dialog: types `path` as the file name and presses Save.
    HWND typeOutputPath(const fs::path& path);

    TempTree tree;
    std::unique_ptr<QuilldexProcess> program;
};

}  // namespace quilldex::testing::ui
