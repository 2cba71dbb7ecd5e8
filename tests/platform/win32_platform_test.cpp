// The Win32 side of the platform layer, on real directories in the temporary
// folder, read through the directory listing. The listing matches masks
// with the wildcard matcher on every system, so the DOS wildcard cases are
// left to the matcher's own tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "index/directory_listing.h"
#include "index/export_runs.h"
#include "platform/platform.h"
#include "support/temp_tree.h"

namespace quilldex::platform {
namespace {

using testing::TempTree;
namespace fs = std::filesystem;

DirectoryHandle opened(const fs::path& path)
{
    DirectoryHandle handle = DirectoryHandle::open(path.string());
    EXPECT_TRUE(handle.valid()) << path.string() << ": " << lastErrorText();
    return handle;
}

// The entries a recursive listing of `directory` with `mask` shows: every
// match but ".".
std::vector<DirectoryEntry> listing(const DirectoryHandle& directory, const std::string& mask)
{
    IndexOptions options;
    options.fileMask = mask;
    options.recursive = true;
    DirectoryListing listing(directory, options);
    std::vector<DirectoryEntry> entries;
    for (DirectoryEntry entry; listing.next(entry);)
        entries.push_back(entry);
    return entries;
}

std::string listed(const DirectoryHandle& directory, const std::string& mask)
{
    std::string names;
    for (const auto& entry : listing(directory, mask))
        names += (names.empty() ? "" : " ") + entry.name;
    return names;
}

TEST(Win32Listing, ListsWhatTheMaskSelectsInTheNtfsOrder)
{
    TempTree tree;
    for (const char* name : {"x.tar.gz", "README", "page.html", "Abc.TXT", "ab.txt", "a", "_x", ".hidden", "B"})
        tree.file(name);
    tree.dir("sub");
    const DirectoryHandle top = opened(tree.root());
    const struct {
        const char* mask;
        const char* names;
    } cases[] = {
        {"*.*", ".. .hidden a ab.txt Abc.TXT B page.html README sub x.tar.gz _x"},
        {"*", ".. .hidden a ab.txt Abc.TXT B page.html README sub x.tar.gz _x"},
        {"*.html", "page.html"},
        {"*.txt", "ab.txt Abc.TXT"},
        {"a*", "a ab.txt Abc.TXT"},
        {"*.tar.*", "x.tar.gz"},
        {"readme", "README"},
        {"PAGE.HTML", "page.html"},
        {"missing.txt", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(listed(top, c.mask), c.names) << "mask " << c.mask;
}

// The system's own search matches a mask against a long name's 8.3 alias
// too ("*.htm" finds "page.html" through "PAGE~1.HTM"); the listing must
// select the same entries.
TEST(Win32Listing, AMaskMatchingOnlyTheShortAliasSelectsTheLongName)
{
    TempTree tree;
    tree.file("page.html");
    const DirectoryHandle top = opened(tree.root());
    std::string alias;
    {
        DirectoryReader reader(top);
        for (DirectoryName found; reader.next(found);)
            if (found.name == "page.html")
                alias = found.shortName;
    }
    if (alias.empty() || alias == "page.html")
        GTEST_SKIP() << "this file system keeps no 8.3 alias for page.html";
    EXPECT_EQ(listed(top, alias), "page.html") << "alias " << alias;
}

TEST(Win32Listing, ReportsKindFullSizeAndTime)
{
    TempTree tree;
    testing::setLastWriteTime(tree.file("old.txt", "12345"), 978307200);  // 2001-01-01 00:00:00 UTC
    tree.sizedFile("big.bin", 5368709120ULL);
    testing::setLastWriteTime(tree.file("before-1970.txt"), -86400);
    tree.dir("sub");
    const DirectoryHandle top = opened(tree.root());

    const std::vector<DirectoryEntry> entries = listing(top, "*.*");
    ASSERT_EQ(entries.size(), 5u);
    const auto& before1970 = entries[1];
    const auto& big = entries[2];
    const auto& old = entries[3];
    const auto& sub = entries[4];
    EXPECT_EQ(before1970.name, "before-1970.txt");
    EXPECT_EQ(before1970.lastWriteTime, -86400);
    EXPECT_EQ(big.name, "big.bin");
    EXPECT_EQ(big.size, 5368709120ULL);
    EXPECT_FALSE(big.isDirectory);
    EXPECT_EQ(old.size, 5u);
    EXPECT_EQ(old.lastWriteTime, 978307200);
    EXPECT_TRUE(sub.isDirectory);
}

TEST(Win32Directories, SubdirectoriesAndParentsByHandle)
{
    TempTree tree;
    tree.dir("sub");
    tree.file("file.txt");
    const DirectoryHandle top = opened(tree.root());

    for (const char* name : {"missing", "file.txt", "", ".", "..", "sub\\..", "sub/"})
        EXPECT_FALSE(top.openSubdirectory(name).valid()) << name;

    const DirectoryHandle sub = top.openSubdirectory("sub");
    ASSERT_TRUE(sub.valid()) << lastErrorText();
    EXPECT_FALSE(sub.identity() == top.identity());
    const DirectoryHandle parent = sub.openParent();
    ASSERT_TRUE(parent.valid());
    EXPECT_EQ(parent.identity(), top.identity());
    EXPECT_EQ(sub.identityWithMount(), sub.identity());

    // The time is read and set back through the handle.
    const auto before = sub.modificationTime();
    ASSERT_TRUE(before.known);
    tree.file("sub/new.txt");
    ASSERT_TRUE(sub.setModificationTime(before));
    EXPECT_EQ(sub.modificationTime(), before);

    // The top of a drive is its own parent.
    const DirectoryHandle root = opened(tree.root().root_path());
    EXPECT_EQ(root.openParent().identity(), root.identity());
}

// What a killed run left is removed only when it is a regular file older
// than the run.
TEST(Win32Directories, RemovesOnlyStaleRegularFiles)
{
    TempTree tree;
    testing::setLastWriteTime(tree.file("old.tmp"), 978307200);
    tree.file("new.tmp");
    tree.dir("old-folder");
    testing::setLastWriteTime(tree.path("old-folder"), 978307200);
    const DirectoryHandle top = opened(tree.root());
    const std::int64_t runStart = 1000000000;  // 2001-09-09
    const struct {
        const char* name;
        bool removed;
    } cases[] = {{"old.tmp", true}, {"new.tmp", false}, {"old-folder", false}, {"missing", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(top.removeStaleFile(c.name, runStart), c.removed) << c.name;
        EXPECT_EQ(fs::exists(tree.path(c.name)), !c.removed && std::string(c.name) != "missing") << c.name;
    }
}

TEST(Win32Files, ReadFileStartReadsOnlyDiskFiles)
{
    TempTree tree;
    tree.file("long.txt", std::string(2000, 'x'));
    tree.file("short.txt", "<title>T</title>");
    tree.dir("folder");
    const DirectoryHandle top = opened(tree.root());
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
        {"..", 0},
        {"folder\\..\\long.txt", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readFileStart(top, c.name, buffer, sizeof buffer, {&top, ""}), c.read) << c.name;
}

TEST(Win32Files, ReadSmallFileReadsWholeRegularFilesOnly)
{
    TempTree tree;
    tree.file("README.md", "# Notes\n");
    tree.file("large.txt", std::string(100, 'x'));
    tree.dir("folder");
    const DirectoryHandle top = opened(tree.root());
    using Status = SmallFile::Status;
    const struct {
        const char* name;
        Status status;
        const char* bytes;
    } cases[] = {
        {"README.md", Status::Read, "# Notes\n"}, {"large.txt", Status::TooLarge, ""},
        {"folder", Status::NotRegular, ""},       {"missing.md", Status::Missing, ""},
        {"CON", Status::NotRegular, ""},          {"folder\\..\\README.md", Status::Missing, ""},
    };
    for (const auto& c : cases) {
        const SmallFile file = readSmallFile(&top, c.name, 64);
        EXPECT_EQ(file.status, c.status) << c.name;
        EXPECT_EQ(file.bytes, c.bytes) << c.name;
    }
    // Without a directory, a path as the person running the program gave it.
    const SmallFile byPath = readSmallFile(nullptr, tree.path("README.md").string(), 64, FollowLinks::Yes);
    EXPECT_EQ(byPath.status, Status::Read);
    EXPECT_EQ(byPath.bytes, "# Notes\n");
}

// The code-page text of a name none of whose non-ASCII characters the code
// page holds: each of them marked.
std::string allMarked(std::string_view utf8)
{
    std::string text;
    for (const char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0xC0)
            text += '\x01';
        text += c;
    }
    return text;
}

// Names in Japanese, Greek, Cyrillic and an emoji outside the BMP, beside
// one that code page 1252 holds, as the ANSI search could not find them.
class Win32WideNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (GetACP() != 1252)
            GTEST_SKIP() << "the expected bytes are those of code page 1252, not " << GetACP();
        tree.utf8File("caf\xc3\xa9.txt", "cafe");
        tree.utf8File("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt", "<title>Japanese</title>");
        tree.utf8File("\xce\x95\xce\xbb\xce\xbb\xce\xac\xce\xb4\xce\xb1.txt", "Greek");
        tree.utf8File("\xf0\x9f\x98\x80.txt", "emoji");
        tree.utf8File("\xd0\x9a\xd0\xb8\xd0\xb5\xd0\xb2/inside.txt");
    }
    TempTree tree;
    const std::string japanese = allMarked("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt");
    const std::string cyrillicDirectory = allMarked("\xd0\x9a\xd0\xb8\xd0\xb5\xd0\xb2");
};

TEST_F(Win32WideNames, ListsEveryNameExactlyAndAsUtf8)
{
    const DirectoryHandle top = opened(tree.root());
    std::vector<std::string> names;
    std::vector<std::string> utf8Names;
    for (const DirectoryEntry& entry : listing(top, "*.*")) {
        names.push_back(entry.name);
        utf8Names.push_back(toUtf8(entry.name));
        EXPECT_EQ(carriesMarkedCharacters(entry.name), entry.name.find('\x01') != std::string::npos);
    }
    // A character the code page lacks sorts after those it holds, such
    // characters by code point.
    const std::vector<std::string> expected = {
        "..",
        "caf\xe9.txt",
        allMarked("\xce\x95\xce\xbb\xce\xbb\xce\xac\xce\xb4\xce\xb1.txt"),
        cyrillicDirectory,
        japanese,
        allMarked("\xf0\x9f\x98\x80.txt"),
    };
    EXPECT_EQ(names, expected);
    const std::vector<std::string> expectedUtf8 = {
        "..",
        "caf\xc3\xa9.txt",
        "\xce\x95\xce\xbb\xce\xbb\xce\xac\xce\xb4\xce\xb1.txt",
        "\xd0\x9a\xd0\xb8\xd0\xb5\xd0\xb2",
        "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt",
        "\xf0\x9f\x98\x80.txt",
    };
    EXPECT_EQ(utf8Names, expectedUtf8);
    // A mask with such characters selects by them.
    const std::vector<DirectoryEntry> byMask = listing(top, allMarked("\xe6\x97\xa5*"));
    ASSERT_EQ(byMask.size(), 1u);
    EXPECT_EQ(byMask[0].name, japanese);
    EXPECT_EQ(byMask[0].size, 23u);
}

TEST_F(Win32WideNames, EntersReadsAndCreatesByTheMarkedName)
{
    const DirectoryHandle top = opened(tree.root());
    char buffer[64];
    const std::size_t read = readFileStart(top, japanese, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, read), "<title>Japanese</title>");

    const DirectoryHandle inner = top.openSubdirectory(cyrillicDirectory);
    ASSERT_TRUE(inner.valid()) << lastErrorText();
    EXPECT_EQ(listed(inner, "*.*"), ".. inside.txt");
    EXPECT_EQ(readFileStart(inner, "inside.txt", buffer, sizeof buffer), 0u);
    EXPECT_EQ(DirectoryHandle::open(tree.root().string() + "\\" + cyrillicDirectory).identity(), inner.identity());

    const std::string outputName = allMarked("\xe7\x9b\xae\xe9\x8c\xb2.html");
    OutputStream stream;
    ASSERT_TRUE(stream.open(inner, outputName)) << stream.error();
    stream.write("index\n");
    ASSERT_TRUE(stream.close()) << stream.error();
    EXPECT_EQ(testing::readFile(tree.utf8Path("\xd0\x9a\xd0\xb8\xd0\xb5\xd0\xb2/\xe7\x9b\xae\xe9\x8c\xb2.html")),
              "index\r\n");
}

TEST(Win32OutputStream, WritesBinaryAndTruncates)
{
    TempTree tree;
    const DirectoryHandle top = opened(tree.root());
    for (const bool byHandle : {false, true}) {
        const auto path = tree.file("out.html", std::string(100, 'o'));
        OutputStream stream;
        ASSERT_TRUE(byHandle ? stream.open(top, "out.html") : stream.open(path.string())) << stream.error();
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
    for (const std::string& path : {missing, folder}) {
        OutputStream stream;
        EXPECT_FALSE(stream.open(path));
        EXPECT_FALSE(stream.isOpen());
        const std::string start = "open(" + path + "): ";
        EXPECT_EQ(stream.error().substr(0, start.size()), start);
        EXPECT_GT(stream.error().size(), start.size());
        EXPECT_FALSE(stream.close());
    }
}

// The whole content of the file at the "\\?\" path `path`.
std::string readLongPath(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string content(64 * 1024, '\0');
    DWORD read = 0;
    const BOOL done = ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
    CloseHandle(file);
    content.resize(done ? read : 0);
    return content;
}

// Directories whose full path is longer than MAX_PATH (260) are listed,
// entered, read and written like any other.
TEST(Win32LongPaths, ATreeDeeperThanMaxPathIsIndexedThroughout)
{
    TempTree tree;
    std::vector<std::wstring> levels{L"\\\\?\\" + tree.root().wstring()};
    for (int level = 0; levels.back().size() < 2 * MAX_PATH; ++level) {
        levels.push_back(levels.back() + L"\\" + std::wstring(40, L'a' + level));
        ASSERT_TRUE(CreateDirectoryW(levels.back().c_str(), nullptr)) << level << ": " << lastErrorText();
    }
    const std::wstring deepFile = levels.back() + L"\\deep.html";
    HANDLE file = CreateFileW(deepFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << lastErrorText();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "<title>Deep</title>", 19, &written, nullptr));
    CloseHandle(file);

    IndexOptions options;
    options.directory = tree.root().string();
    options.recursive = true;
    options.outputName = "index.html";
    options.makeLinks = true;
    options.readTitles = true;
    options.showSize = false;
    // The second run finds every index its own and up to date.
    for (const int run : {1, 2}) {
        std::string reason;
        RunReport report;
        EXPECT_TRUE(exportRecursive(options, {}, &reason, &report)) << "run " << run << ": " << reason;
        EXPECT_TRUE(report.problems.empty()) << "run " << run << ": " << report.problems.front();
        EXPECT_TRUE(report.notes.empty()) << "run " << run << ": " << report.notes.front();
    }
    for (std::size_t level = 0; level < levels.size(); ++level) {
        const std::string index = readLongPath(levels[level] + L"\\index.html");
        EXPECT_NE(index.find(testing::creditLine()), std::string::npos) << "level " << level;
        if (level + 1 == levels.size()) {
            EXPECT_NE(index.find("deep.html\">Deep</a>"), std::string::npos) << index;
        }
    }

    // A long path is opened as the person running the program writes it,
    // without the "\\?\" prefix, too.
    {
        const DirectoryHandle deepest = DirectoryHandle::open(fs::path(levels.back().substr(4)).string());
        ASSERT_TRUE(deepest.valid()) << lastErrorText();
        EXPECT_EQ(listed(deepest, "*.html"), "deep.html index.html");
    }

    for (std::size_t level = levels.size() - 1; level > 0; --level) {
        DeleteFileW((levels[level] + L"\\index.html").c_str());
        if (level + 1 == levels.size())
            DeleteFileW(deepFile.c_str());
        EXPECT_TRUE(RemoveDirectoryW(levels[level].c_str())) << level;
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
