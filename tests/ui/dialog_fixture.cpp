#include "dialog_fixture.h"

namespace quilldex::testing::ui {

namespace {

// The file-name box of the save dialog.
constexpr int kFileNameBox = 0x47c;

}  // namespace

std::ostream& operator<<(std::ostream& out, const DialogState& state)
{
    out << "{directory \"" << state.directory << "\", mask \"" << state.mask << "\", prefix \"" << state.prefix
        << "\", checked";
    for (const int control : state.checked) {
        out << ' ' << control;
    }
    return out << '}';
}

DialogState readState(HWND dialog)
{
    DialogState state{
        controlText(dialog, IDC_DIRECTORY), controlText(dialog, IDC_MASK), controlText(dialog, IDC_PREFIX), {}};
    for (const int control : kCheckControls) {
        if (isChecked(dialog, control)) {
            state.checked.insert(control);
        }
    }
    return state;
}

DialogState defaultState(const std::string& directory)
{
    return {directory, "*.*", "", {IDC_SHOW_SIZE, IDC_STYLE_AUTO, IDC_SINGLE}};
}

std::set<std::string> listTree(const fs::path& root)
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        names.insert(entry.path().lexically_relative(root).generic_string());
    }
    return names;
}

void DialogTest::start(const fs::path& directory)
{
    program = std::make_unique<QuilldexProcess>(directory);
    ASSERT_NE(program->dialog(), nullptr) << "the dialog did not appear";
}

HWND DialogTest::expectWindow(const std::string& caption, HWND except)
{
    const HWND window = program->waitFor(caption, kShortWait, except);
    EXPECT_NE(window, nullptr) << "no window \"" << caption << "\" appeared";
    return window;
}

void DialogTest::expectMessage(const std::string& caption, const std::string& text, bool icon)
{
    const HWND box = expectWindow(caption);
    if (box == nullptr) {
        return;
    }
    EXPECT_EQ(messageBoxText(box), text);
    EXPECT_EQ(messageBoxHasIcon(box), icon) << caption << " box";
    press(box, IDOK);
}

void DialogTest::press(HWND window, int button)
{
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    EXPECT_TRUE(waitUntilGone(window)) << "the window stayed open";
}

HWND DialogTest::typeOutputPath(const fs::path& path)
{
    const HWND save = expectWindow("Export to file");
    if (save != nullptr) {
        setControlText(save, kFileNameBox, fs::path(path).make_preferred().string());
        PostMessageA(save, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    return save;
}

}  // namespace quilldex::testing::ui
