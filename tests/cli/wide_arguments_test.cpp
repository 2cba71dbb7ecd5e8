// quilldex-cli.exe started with a wide command line, as a Windows shell
// starts it: a directory, an output file, a mask and a prefix with
// characters that the code page (1252 under Wine) cannot hold.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::TempTree;
namespace fs = std::filesystem;

// Runs the program in `where` with `arguments` and returns its exit code.
DWORD runWide(const std::wstring& arguments, const fs::path& where)
{
    const fs::path program = QUILLDEX_CLI_PATH;
    std::wstring commandLine = L"\"" + program.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, where.wstring().c_str(),
                        &startup, &process))
        return static_cast<DWORD>(-1);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(WideArguments, DirectoryOutputMaskAndPrefixArriveExactly)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the expected bytes are those of code page 1252, not " << GetACP();
    TempTree tree;
    // A directory in Japanese holding a file in Cyrillic and one in ASCII.
    tree.utf8File("\xe6\x97\xa5\xe6\x9c\xac/\xd0\x9a\xd0\xb8\xd0\xb5\xd0\xb2.txt");
    tree.utf8File("\xe6\x97\xa5\xe6\x9c\xac/a.txt");
    const std::string cyrillicRow =
        "<tr><td><a href=\"%d0%9a%d0%b8%d0%b5%d0%b2.txt\">&#1050;&#1080;&#1077;&#1074;.txt</a></td></tr>\r\n";
    const std::string asciiRow = "<tr><td><a href=\"a.txt\">a.txt</a></td></tr>\r\n";
    const std::string header = testing::headerRow(false, false, false);
    const struct {
        std::wstring arguments;
        const char* output;  // in UTF-8, relative to the tree
        std::string index;
    } cases[] = {
        {L"-l --no-size -o \u76ee\u9332.html \u65e5\u672c", "\xe7\x9b\xae\xe9\x8c\xb2.html",
         header + asciiRow + cyrillicRow + testing::creditLine()},
        {L"-l --no-size -m \u041a\u0438* -o mask.html \u65e5\u672c", "mask.html",
         header + cyrillicRow + testing::creditLine()},
        {L"-l --no-size -m a.txt -p \u6587/ -o prefix.html \u65e5\u672c", "prefix.html",
         header + "<tr><td><a href=\"%e6%96%87/a.txt\">a.txt</a></td></tr>\r\n" + testing::creditLine()},
        // An absolute output path, into the indexed directory: the index
        // file is not listed.
        {L"-l --no-size -o \"" + tree.root().wstring() + L"\\\u65e5\u672c\\\u7d76\u5bfe.html\" \u65e5\u672c",
         "\xe6\x97\xa5\xe6\x9c\xac/\xe7\xb5\xb6\xe5\xaf\xbe.html",
         header + asciiRow + cyrillicRow + testing::creditLine()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(runWide(c.arguments, tree.root()), 0u) << c.output;
        EXPECT_EQ(testing::readFile(tree.utf8Path(c.output)), c.index) << c.output;
    }
    // A long output name is as long as its characters, not as the bytes
    // that carry them: 100 characters of 4 bytes each are within 255.
    std::wstring longName(100, L'\u65e5');
    EXPECT_EQ(runWide(L"-o " + longName + L".html \u65e5\u672c", tree.root()), 0u);
    std::string longUtf8;
    for (int i = 0; i < 100; ++i)
        longUtf8 += "\xe6\x97\xa5";
    EXPECT_TRUE(fs::exists(tree.utf8Path(longUtf8 + ".html")));
    // A directory of such a name that is not there fails the run.
    EXPECT_EQ(runWide(L"-o missing.html \u7121\u3044", tree.root()), 1u);
    EXPECT_FALSE(fs::exists(tree.path("missing.html")));
}

}  // namespace
}  // namespace quilldex
