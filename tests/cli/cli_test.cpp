// quilldex-cli as a user runs it: arguments, output, messages, exit codes.
#include <gtest/gtest.h>

#include <map>

#include "support/run_command.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::creditLine;
using testing::headerRow;
using testing::nameRow;
using testing::readFile;
using testing::runCommand;
using testing::TempTree;
namespace fs = std::filesystem;

const fs::path kProgram = QUILLDEX_CLI_PATH;
const std::string kUsageLine = "usage: quilldex-cli";

class CliTest : public ::testing::Test {
protected:
    CliTest()
    {
        tree.file("top/a.txt");
        tree.file("top/sub/b.txt");
    }
    testing::CommandResult run(const std::vector<std::string>& arguments, const std::string& where = "top")
    {
        return runCommand(kProgram, arguments, tree.path(where));
    }
    TempTree tree;
};

TEST_F(CliTest, WithoutArgumentsPrintsTheIndexOfTheCurrentDirectory)
{
    const auto result = run({"--no-size"});
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, headerRow(false, false, false) + nameRow("a.txt") + creditLine());
    EXPECT_EQ(result.standardError, "");
}

// On every system: a second run over an unchanged tree writes nothing, so
// no file and no directory changes its time, and --check agrees.
TEST_F(CliTest, ASecondRecursiveRunChangesNoTime)
{
    const std::vector<std::string> options{"-r", "-q", "-l", "--time", "--date"};
    auto result = run(options);
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
    std::map<std::string, fs::file_time_type> before;
    for (const auto& item : fs::recursive_directory_iterator(tree.root()))
        before[item.path().string()] = fs::last_write_time(item.path());

    result = run(options);
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
    for (const auto& item : fs::recursive_directory_iterator(tree.root()))
        EXPECT_TRUE(before.at(item.path().string()) == fs::last_write_time(item.path())) << item.path();

    auto check = options;
    check.push_back("--check");
    result = run(check);
    EXPECT_EQ(result.exitCode, 0) << result.standardOutput;
    EXPECT_EQ(result.standardOutput, "");
}

TEST_F(CliTest, ARelativeOutputIsRelativeToWhereTheCommandStarted)
{
    const auto result = run({"--no-size", "-o", "out.html", "top/sub"}, "");
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(readFile(tree.path("out.html")), headerRow(false, false, false) + nameRow("b.txt") + creditLine());
    EXPECT_FALSE(fs::exists(tree.path("top/sub/out.html")));
    EXPECT_EQ(result.standardOutput, "");
}

TEST_F(CliTest, ARecursiveRunWritesIndexHtmlEverywhereByDefault)
{
    const auto result = run({"-r", "--no-size", "-q"});
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(readFile(tree.path("top/index.html")),
              headerRow(false, false, false) + nameRow("..") + nameRow("a.txt") + nameRow("sub") + creditLine());
    EXPECT_TRUE(fs::exists(tree.path("top/sub/index.html")));
    // Progress goes only to a terminal.
    EXPECT_EQ(result.standardError, "");
}

TEST_F(CliTest, ARecursiveRunUsesOnlyTheFileNameOfTheOutput)
{
    const auto result = run({"--recursive", "--output=../elsewhere/list.htm"});
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_TRUE(fs::exists(tree.path("top/list.htm")));
    EXPECT_TRUE(fs::exists(tree.path("top/sub/list.htm")));
    EXPECT_FALSE(fs::exists(tree.path("elsewhere")));
}

TEST_F(CliTest, OptionsReachTheIndex)
{
    const auto result = run({"-m", "*.txt", "--no-size", "sub"});
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, headerRow(false, false, false) + nameRow("b.txt") + creditLine());
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndNameTheBadValue)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"--bogus"}, "unknown option: --bogus"},
        {{"-k"}, "unknown option: -k"},
        {{"-j", "0"}, "bad number of jobs: 0"},
        {{"--jobs=many"}, "bad number of jobs: many"},
        {{"-m"}, "option needs a value: -m"},
        {{"--output"}, "option needs a value: --output"},
        {{"-m", std::string(128, 'a')}, "mask longer than 127 characters"},
        {{"-m", "sub/*.txt"}, "mask must not name a directory: sub/*.txt"},
        {{"-m", "..\\*"}, "mask must not name a directory"},
        {{"-p", std::string(256, 'p')}, "prefix longer than 255 characters"},
        {{"-s", "gb"}, "bad size style: gb"},
        {{"--time=yes"}, "option takes no value: --time=yes"},
        {{"-r", "-o", "-"}, "needs a file name"},
        {{"-o", std::string(256, 'n')}, "output file name longer than 255 characters"},
        {{"one", "two"}, "more than one directory: two"},
    };
    for (const auto& c : cases) {
        const auto result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_NE(result.standardError.find(c.message), std::string::npos) << result.standardError;
        EXPECT_NE(result.standardError.find(kUsageLine), std::string::npos) << c.message;
        EXPECT_EQ(result.standardOutput, "") << c.message;
    }
}

TEST_F(CliTest, LongestMaskAndPrefixAreAccepted)
{
    const auto result = run({"-m", std::string(127, '*'), "-p", std::string(255, 'p'), "--no-size"});
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, headerRow(false, false, false) + nameRow("a.txt") + creditLine());
}

TEST_F(CliTest, RunFailuresExitWithOneAndSayWhy)
{
    tree.dir("top/taken.html");
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"-o", "taken.html"}, "Could not create output file"},
        {{"-r", "-o", "taken.html"}, "Could not create output file"},
        {{"no-such-directory"}, "no-such-directory"},
        // The site's files are read before anything is written.
        {{"-r", "--page", "--header", "no-such.html"}, "quilldex-cli: header(no-such.html): "},
        {{"-r", "--page", "--footer", "sub"}, "quilldex-cli: footer(sub): not a regular file"},
        {{"-r", "--page", "--css", "closes.css"},
         "quilldex-cli: css(closes.css): holds \"</style\", which would end the page's style element"},
    };
    tree.file("top/closes.css", "a { color: red } </STYLE><script>alert(1)</script>");
    for (const auto& c : cases) {
        const auto result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 1) << c.message;
        EXPECT_NE(result.standardError.find(c.message), std::string::npos) << result.standardError;
    }
    EXPECT_FALSE(fs::exists(tree.path("top/sub/taken.html")));
    EXPECT_FALSE(fs::exists(tree.path("top/sub/index.html")));
}

TEST_F(CliTest, HelpAndVersion)
{
    const auto version = run({"-V"});
    EXPECT_EQ(version.exitCode, 0);
    // Text on standard output: the Windows C runtime ends the line with CR LF.
    const bool crLf = version.standardOutput.ends_with("\r\n");
    EXPECT_EQ(version.standardOutput, crLf ? "quilldex-cli 1.0.7\r\n" : "quilldex-cli 1.0.7\n");
    const auto help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.standardOutput.rfind(kUsageLine, 0), 0u);
    EXPECT_NE(help.standardOutput.find("--size-style"), std::string::npos);
}

}  // namespace
}  // namespace quilldex
