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

// The first directory's progress is always shown, in its singular; the
// summary of the run replaces the line at the end.
TEST(CliOnATerminal, RecursiveProgressAndSummaryUnlessQuiet)
{
    TempTree tree;
    tree.file("top/a.txt");
    tree.file("top/sub/b.txt");
    tree.file("top/sub/hand.html", "written by hand");
    struct Case {
        std::string options;
        int exitCode;
        std::string firstShown;
        std::string summary;
    } cases[] = {
        // Three entries at the top ("..", "a.txt", "sub"), three below.
        {"-r top", 0, "\r1 directory, 3 entries",
         "\r2 directories indexed: 2 files written, 0 unchanged, 0 kept, 0 failed\r\n"},
        {"-r top", 0, "\r1 directory, 3 entries",
         "\r2 directories indexed: 0 files written, 2 unchanged, 0 kept, 0 failed\r\n"},
        {"-r top/sub", 0, "\r1 directory, 3 entries",
         "\r1 directory indexed: 0 files written, 1 unchanged, 0 kept, 0 failed\r\n"},
        // index.html is listed now; a kept file is no failure.
        {"-r -o hand.html top", 0, "\r1 directory, 4 entries",
         "\r2 directories indexed: 1 file written, 0 unchanged, 1 kept, 0 failed\r\n"},
        {"-r -q top", 0, "", ""},
        {"-o index.html top", 0, "", ""},  // a single run has no progress to show
    };
    for (const auto& c : cases) {
        const std::string command = std::string("'") + QUILLDEX_CLI_PATH + "' " + c.options;
        const auto result = runCommand("script", {"-qec", command, "/dev/null"}, tree.root());
        EXPECT_EQ(result.exitCode, c.exitCode) << c.options;
        const auto& screen = result.standardOutput;
        if (c.summary.empty()) {
            EXPECT_EQ(screen.find("director"), std::string::npos) << c.options;
            continue;
        }
        EXPECT_NE(screen.find(c.firstShown), std::string::npos)
            << c.options << ": " << ::testing::PrintToString(screen);
        EXPECT_NE(screen.find(c.summary), std::string::npos) << c.options << ": " << ::testing::PrintToString(screen);
    }
}

}  // namespace
}  // namespace quilldex
