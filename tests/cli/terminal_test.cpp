// quilldex-cli on a terminal: a recursive run shows its progress on one
// line of standard error, unless told to be quiet. script(1) gives the
// program a pseudo-terminal.
#include <gtest/gtest.h>

#include "support/run_command.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::runCommand;
using testing::TempTree;

TEST(CliOnATerminal, RecursiveProgressUnlessQuiet)
{
    TempTree tree;
    tree.file("top/a.txt");
    tree.file("top/sub/b.txt");
    struct Case {
        std::string options;
        std::string shown;
    } cases[] = {
        // Three entries at the top ("..", "a.txt", "sub"), two below.
        {"-r", "\r2 directories, 5 entries\r\n"},
        {"-r -q", ""},
        {"-o index.html", ""},  // a single run has no progress to show
    };
    for (const auto& c : cases) {
        const std::string command = std::string("'") + QUILLDEX_CLI_PATH + "' " + c.options + " top";
        const auto result = runCommand("script", {"-qec", command, "/dev/null"}, tree.root());
        EXPECT_EQ(result.exitCode, 0) << c.options;
        const auto& screen = result.standardOutput;
        EXPECT_EQ(screen.size() >= c.shown.size() ? screen.substr(screen.size() - c.shown.size()) : screen, c.shown)
            << c.options << ": " << ::testing::PrintToString(screen);
        if (c.shown.empty()) {
            EXPECT_EQ(screen.find("directories"), std::string::npos) << c.options;
        }
    }
}

}  // namespace
}  // namespace quilldex
