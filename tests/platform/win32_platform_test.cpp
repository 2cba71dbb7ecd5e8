// The Win32 side of the platform layer, on real directories in the temporary
// folder. These tests run under Wine, so the masks are only those on which
// Wine and Windows agree (*.*, *, *.html, *.txt, a*, *.tar.*, whole names):
// Wine reads the DOS wildcards ("?", "*." and the like) its own way and
// invents its own 8.3 short names, which Windows also matches. The DOS
// wildcard cases are left to the tests of the POSIX matcher.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/temp_tree.h"

namespace quilldex::platform {
namespace {

using testing::ChangeDirectory;
using testing::TempTree;

std::string listed(std::string_view mask)
{
    DirectorySearch search(mask);
    DirectoryEntry entry;
    std::string names;
    while (search.next(entry))
        names += (names.empty() ? "" : " ") + entry.name;
    return names;
}

TEST(Win32DirectorySearch, ListsWhatTheMaskSelectsInTheNtfsOrder)
{
    TempTree tree;
    for (const char* name : {"x.tar.gz", "README", "page.html", "Abc.TXT", "ab.txt", "a", "_x", ".hidden", "B"})
        tree.file(name);
    tree.dir("sub");
    const ChangeDirectory inside(tree.root());
    const struct {
        const char* mask;
        const char* names;
    } cases[] = {
        {"*.*", ". .. .hidden a ab.txt Abc.TXT B page.html README sub x.tar.gz _x"},
        {"*", ". .. .hidden a ab.txt Abc.TXT B page.html README sub x.tar.gz _x"},
        {"*.html", "page.html"},
        {"*.txt", "ab.txt Abc.TXT"},
        {"a*", "a ab.txt Abc.TXT"},
        {"*.tar.*", "x.tar.gz"},
        {"readme", "README"},
        {"PAGE.HTML", "page.html"},
        {"missing.txt", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(listed(c.mask), c.names) << "mask " << c.mask;
}

TEST(Win32DirectorySearch, ReportsKindFullSizeAndTime)
{
    TempTree tree;
    testing::setLastWriteTime(tree.file("old.txt", "12345"), 978307200);  // 2001-01-01 00:00:00 UTC
    tree.sizedFile("big.bin", 5368709120ULL);
    testing::setLastWriteTime(tree.file("before-1970.txt"), -86400);
    tree.dir("sub");
    const ChangeDirectory inside(tree.root());

    DirectorySearch search("*.*", EntryFacts::Full);
    std::vector<DirectoryEntry> entries;
    for (DirectoryEntry entry; search.next(entry);)
        entries.push_back(entry);
    ASSERT_EQ(entries.size(), 6u);
    const auto& before1970 = entries[2];
    const auto& big = entries[3];
    const auto& old = entries[4];
    const auto& sub = entries[5];
    EXPECT_EQ(before1970.name, "before-1970.txt");
    EXPECT_EQ(before1970.lastWriteTime, -86400);
    EXPECT_EQ(big.name, "big.bin");
    EXPECT_EQ(big.size, 5368709120ULL);
    EXPECT_FALSE(big.isDirectory);
    EXPECT_EQ(old.size, 5u);
    EXPECT_EQ(old.lastWriteTime, 978307200);
    EXPECT_TRUE(sub.isDirectory);
    EXPECT_FALSE(sub.isLink);
}

TEST(Win32Directories, EnterAndReturnByIdentity)
{
    TempTree tree;
    tree.dir("sub");
    tree.file("file.txt");
    const ChangeDirectory inside(tree.root());
    const auto top = currentDirectoryIdentity();
    const auto topPath = currentDirectory();
    ASSERT_TRUE(top && topPath);

    // Refused, and nothing changed.
    for (const char* name : {"missing", "file.txt"}) {
        EXPECT_FALSE(enterSubdirectory(name)) << name;
        EXPECT_EQ(currentDirectory(), topPath) << name;
    }

    const SavedDirectory saved;
    ASSERT_TRUE(saved.valid());
    const auto sub = enterSubdirectory("sub");
    ASSERT_TRUE(sub);
    EXPECT_EQ(currentDirectoryIdentity(), sub);
    EXPECT_FALSE(*sub == *top);
    EXPECT_EQ(currentDirectory(), *topPath + "\\sub");
    ASSERT_TRUE(saved.restore());
    EXPECT_EQ(currentDirectory(), topPath);
    EXPECT_EQ(currentDirectoryIdentity(), top);
}

TEST(Win32Files, ReadFileStartReadsOnlyDiskFiles)
{
    TempTree tree;
    tree.file("long.txt", std::string(2000, 'x'));
    tree.file("short.txt", "<title>T</title>");
    tree.dir("folder");
    const ChangeDirectory inside(tree.root());
    char buffer[1024];
    const struct {
        const char* name;
        std::size_t read;
    } cases[] = {
        {"long.txt", 1024},
        {"short.txt", 16},
        {"folder", 0},
        {"missing.html", 0},
        // Device names, which Win32 opens in any directory: no wait on the
        // console, nothing read.
        {"CON", 0},
        {"nul.txt", 0},
        {"COM1", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readFileStart(c.name, buffer, sizeof buffer), c.read) << c.name;
}

TEST(Win32OutputStream, WritesBinaryAndTruncates)
{
    TempTree tree;
    for (const auto follow : {FollowLinks::Yes, FollowLinks::No}) {
        const auto path = tree.file("out.html", std::string(100, 'o'));
        OutputStream stream;
        ASSERT_TRUE(stream.open(path.string(), follow)) << stream.error();
        stream.write("a\nb");
        stream.write('\n');
        EXPECT_TRUE(stream.close()) << stream.error();
        EXPECT_EQ(testing::readFile(path), "a\r\nb\r\n");
    }
}

TEST(Win32OutputStream, FailuresNameTheCallAndThePath)
{
    TempTree tree;
    tree.dir("folder");
    const auto missing = tree.path("no-such-dir/out.html").string();
    const auto folder = tree.path("folder").string();
    const struct {
        std::string path;
        FollowLinks follow;
    } cases[] = {
        {missing, FollowLinks::Yes},
        {missing, FollowLinks::No},
        {folder, FollowLinks::Yes},
        {folder, FollowLinks::No},
    };
    for (const auto& c : cases) {
        OutputStream stream;
        EXPECT_FALSE(stream.open(c.path, c.follow));
        EXPECT_FALSE(stream.isOpen());
        const std::string start = "open(" + c.path + "): ";
        EXPECT_EQ(stream.error().substr(0, start.size()), start);
        EXPECT_GT(stream.error().size(), start.size());
        EXPECT_FALSE(stream.close());
    }
}

TEST(Win32Errors, SystemTextWithoutFullStopOrLineBreak)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    const std::string text = lastErrorText();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_NE(text.back(), '.') << text;
}

}  // namespace
}  // namespace quilldex::platform
