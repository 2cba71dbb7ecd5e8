// quilldex-cli when its output or its tree works against it: the exit code
// and the message a script sees.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>

#include <set>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::CommandResult;
using testing::runCommand;
using testing::TempTree;
namespace fs = std::filesystem;

const fs::path kProgram = QUILLDEX_CLI_PATH;

// Runs quilldex-cli through the shell so that its standard output can be
// redirected, and under a time limit so that a run that hangs fails (124).
CommandResult runCli(const std::string& redirect, const std::vector<std::string>& arguments, const fs::path& where)
{
    std::vector<std::string> shellArguments{"20", "/bin/sh", "-c", "exec \"$0\" \"$@\" " + redirect, kProgram.string()};
    shellArguments.insert(shellArguments.end(), arguments.begin(), arguments.end());
    return runCommand("/usr/bin/timeout", shellArguments, where);
}

TEST(CliFaults, OutputThatCannotBeWrittenExitsWithOne)
{
    // A full-device node of the test's own, never the system's.
    TempTree devices;
    const std::string full = devices.path("full").string();
    if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    struct Case {
        const char* what;
        std::string redirect;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {"standard output on a full device", ">'" + full + "'", {}},
        {"output file on a full device", "", {"-o", full}},
        {"output file where a directory stands", "", {"-o", "blocked"}},
        {"recursive, top index where a directory stands", "", {"-r", "-o", "blocked"}},
    };
    for (const auto& c : cases) {
        TempTree tree;
        tree.file("top/a.txt");
        tree.dir("top/blocked/keep");
        const auto result = runCli(c.redirect, c.arguments, tree.path("top"));
        EXPECT_EQ(result.exitCode, 1) << c.what;
        EXPECT_NE(result.standardError.find("Could not create output file"), std::string::npos)
            << c.what << ": " << result.standardError;
        EXPECT_EQ(result.standardOutput, "") << c.what;
        std::set<std::string> left;
        for (const auto& item : fs::recursive_directory_iterator(tree.root()))
            left.insert(item.path().lexically_relative(tree.root()).string());
        EXPECT_EQ(left, (std::set<std::string>{"top", "top/a.txt", "top/blocked", "top/blocked/keep"})) << c.what;
    }
}

// Every other index is written; the one directory whose index could not be
// is named, and the exit status tells the run was partial.
TEST(CliFaults, TreeFaultsBelowTheTopAreReportedAndTheRestIsIndexed)
{
    TempTree tree;
    tree.file("top/page.html", "<title>Page</title>");
    tree.dir("top/blocked/index.html");
    tree.file("top/blocked/below/file.txt");
    ASSERT_EQ(mkfifo(tree.path("top/pipe.html").c_str(), 0600), 0);
    fs::create_directory_symlink("..", tree.path("top/loop"));
    const auto result = runCli("", {"-r", "-t", "-l", "--date"}, tree.path("top"));
    EXPECT_EQ(result.exitCode, 1) << result.standardError;
    EXPECT_EQ(result.standardError, "quilldex-cli: open(blocked/index.html): Is a directory\n");
    EXPECT_TRUE(fs::is_regular_file(tree.path("top/index.html")));
    EXPECT_FALSE(fs::exists(tree.path("top/blocked/below/index.html")));
    EXPECT_FALSE(fs::exists(tree.path("index.html")));
}

TEST(CliFaults, ADirectoryThatCannotBeEnteredIsNamedAndExitsWithOne)
{
    TempTree tree;
    tree.file("plain.txt");
    fs::create_symlink("missing", tree.path("dangling"));
    for (const char* directory : {"plain.txt", "dangling"}) {
        const auto result = runCli("", {directory}, tree.root());
        EXPECT_EQ(result.exitCode, 1) << directory;
        EXPECT_NE(result.standardError.find(directory), std::string::npos) << result.standardError;
        EXPECT_EQ(result.standardOutput, "") << directory;
    }
}

}  // namespace
}  // namespace quilldex
