// The dialog itself: defaults, help, keys, the folder picker and the ways
// the program ends.
#include <thread>

#include "dialog_fixture.h"
#include "screenshot.h"
#include "screenshot_target.h"
#include "ui/help_text.h"

namespace quilldex::testing::ui {
namespace {

TEST_F(DialogTest, StartsWithTheStartDirectoryAndTheDefaults)
{
    start();
    EXPECT_EQ(windowText(dialog()), "QUILLDEX 1.0.7");
    EXPECT_EQ(readState(dialog()), defaultState(tree.root().string()));

    if (!screenshotTarget().empty()) {
        // Let the dialog finish painting before the screen is read.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(dialog(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_TRUE(saveScreenshot(dialog(), screenshotTarget()));
    }
}

TEST_F(DialogTest, HelpButtonAndF1ShowTheSameHelpText)
{
    start();
    pressButton(dialog(), IDC_HELP_BUTTON);
    expectMessage("Help for QUILLDEX", ::quilldex::ui::helpText, false);

    typeKey(dialog(), VK_F1);
    expectMessage("Help for QUILLDEX", ::quilldex::ui::helpText, false);

    // A few landmarks of the text, against a help text gone wrong as a whole.
    const std::string text = ::quilldex::ui::helpText;
    EXPECT_EQ(text.rfind("QUILLDEX 1.0.7: Freeware utility for Win32\n", 0), 0u);
    EXPECT_NE(text.find("\nE-mail:\t"), std::string::npos);
    EXPECT_NE(text.find("\nWeb:\t"), std::string::npos);
    EXPECT_NE(text.find("X/HTML table.  The resulting code"), std::string::npos);
    EXPECT_NE(text.find("\"Read <title> tag\" box. (7) Choose"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 11), "click Save.");
}

TEST_F(DialogTest, EscapeKeepsTheDialogOpen)
{
    start();
    typeKey(dialog(), VK_ESCAPE);
    // Keys are handled in order: once the help box for F1 is up, Esc has
    // been handled too.
    typeKey(dialog(), VK_F1);
    expectMessage("Help for QUILLDEX", ::quilldex::ui::helpText, false);
    EXPECT_TRUE(IsWindow(dialog()));
    EXPECT_FALSE(program->waitForExit(std::chrono::milliseconds(200)).has_value());
}

TEST_F(DialogTest, CancellingTheFolderPickerKeepsTheDirectory)
{
    start();
    pressButton(dialog(), IDC_BROWSE);
    const HWND picker = expectWindow("Browse for Folder");
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(holdsText(picker, "Select the directory that you wish to build an HTML index of"));
    press(picker, IDCANCEL);
    EXPECT_EQ(readState(dialog()), defaultState(tree.root().string()));
}

struct EndingCase {
    const char* name;
    void (*end)(HWND dialog);
};

class DialogEndTest : public DialogTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(DialogEndTest, EndsTheProgramWithZero)
{
    start();
    GetParam().end(dialog());
    EXPECT_EQ(program->waitForExit(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(Commands, DialogEndTest,
                         ::testing::Values(EndingCase{"ExitButton", [](HWND dialog) { pressButton(dialog, IDC_EXIT); }},
                                           EndingCase{
                                               "CloseCommand",
                                               [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quilldex::testing::ui
