#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "index/document_title.h"
#include "index/cell_writers.h"
#include "support/stream_capture.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using platform::DirectoryEntry;
using platform::LocalTime;
using platform::OutputStream;

using testing::streamed;

DirectoryEntry fileEntry(std::string name)
{
    return DirectoryEntry{.name = std::move(name), .isDirectory = false};
}

DirectoryEntry dirEntry(std::string name)
{
    return DirectoryEntry{.name = std::move(name), .isDirectory = true};
}

// The cell as the writer makes it: the title, where titles are read, from
// the file of that name in the current directory.
void writeCell(OutputStream& stream, const DirectoryEntry& entry, const IndexOptions& options)
{
    TitleBuffer buffer;
    std::optional<std::string_view> title;
    if (options.readTitles && !entry.isDirectory)
        title = readDocumentTitle(platform::DirectoryHandle::open("."), entry.name, buffer);
    writeNameCell(stream, entry, options, title);
}

std::string nameCell(const DirectoryEntry& entry, const IndexOptions& options)
{
    return streamed([&](OutputStream& stream) { writeCell(stream, entry, options); });
}

IndexOptions cellOptions(bool links, bool titles, std::string prefix = {})
{
    IndexOptions options;
    options.outputName = "index.html";
    options.makeLinks = links;
    options.readTitles = titles;
    options.linkPrefix = std::move(prefix);
    options.recursive = true;
    return options;
}

class NameCellTest : public ::testing::Test {
protected:
    NameCellTest()
    {
        tree_.file("page.html", "<html><head><title>My Page</title></head></html>");
        tree_.file("my file.txt", "no tag here");
        tree_.file("a&b.txt", "<title>Ampersand</title>");
        tree_.dir("sub");
        // A directory with a file inside whose name a title reader might try.
        tree_.file("titled/index.html", "<title>Inner</title>");
    }

    testing::TempTree tree_;
    testing::ChangeDirectory cd_{tree_.root()};
};

TEST_F(NameCellTest, LinksAndTitlesOnAndOff)
{
    struct Case {
        bool links;
        bool titles;
        DirectoryEntry entry;
        const char* cell;
    };
    const Case cases[] = {
        {false, false, fileEntry("page.html"), "page.html"},
        {false, false, fileEntry("my file.txt"), "my file.txt"},
        {false, false, dirEntry("sub"), "sub"},
        {false, false, dirEntry(".."), ".."},
        {false, true, fileEntry("page.html"), "My Page"},
        {false, true, fileEntry("my file.txt"), "my file.txt"},
        {false, true, dirEntry("titled"), "titled"},
        {false, true, dirEntry(".."), ".."},
        {true, false, fileEntry("page.html"), "<a href=\"page.html\">page.html</a>"},
        {true, false, fileEntry("my file.txt"), "<a href=\"my%20file.txt\">my file.txt</a>"},
        {true, false, dirEntry("sub"), "<a href=\"sub/index.html\">sub</a>"},
        {true, false, dirEntry(".."), "<a href=\"../index.html\">..</a>"},
        {true, true, fileEntry("page.html"), "<a href=\"page.html\">My Page</a>"},
        {true, true, fileEntry("my file.txt"), "<a href=\"my%20file.txt\">my file.txt</a>"},
        {true, true, dirEntry("titled"), "<a href=\"titled/index.html\">titled</a>"},
        {true, true, dirEntry(".."), "<a href=\"../index.html\">..</a>"},
        // An entry that is gone by the time its title is read keeps its name.
        {true, true, fileEntry("gone.html"), "<a href=\"gone.html\">gone.html</a>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.entry.name) + (c.links ? " links" : "") + (c.titles ? " titles" : ""));
        EXPECT_EQ(nameCell(c.entry, cellOptions(c.links, c.titles)), c.cell);
    }
}

// The prefix keeps every byte a URL needs; only those that could leave the
// attribute or break the URL are escaped. The output name is escaped like
// any name, so that a '#' in it does not end the path.
TEST_F(NameCellTest, PrefixKeepsItsUrlBytesAndTheOutputNameIsEscaped)
{
    auto options = cellOptions(true, false, "pub/");
    EXPECT_EQ(nameCell(dirEntry("sub"), options), "<a href=\"pub/sub/index.html\">sub</a>");
    EXPECT_EQ(nameCell(fileEntry("a&b.txt"), options), "<a href=\"pub/a%26b.txt\">a&b.txt</a>");

    options = cellOptions(true, true, "http://host/a b&c?\"/");
    options.outputName = "list&x.htm";
    EXPECT_EQ(nameCell(dirEntry("sub"), options), "<a href=\"http://host/a%20b&c?%22/sub/list%26x.htm\">sub</a>");
    EXPECT_EQ(nameCell(fileEntry("a&b.txt"), options), "<a href=\"http://host/a%20b&c?%22/a%26b.txt\">Ampersand</a>");

    options = cellOptions(true, false, "https://h/%7e/?q=1#x:<script>\t\x7f\xe9");
    options.outputName = "a#b.html";
    EXPECT_EQ(nameCell(dirEntry("sub"), options),
              "<a href=\"https://h/%7e/?q=1#x:%3cscript%3e%09%7f\xe9sub/a%23b.html\">sub</a>");
}

// Such names exist only where the file system allows them; the cell does
// not care whether the file is there.
TEST_F(NameCellTest, AngleBracketsInNamesBecomeEntities)
{
    EXPECT_EQ(nameCell(fileEntry("<b>x&y</b>"), cellOptions(false, false)), "&lt;b&gt;x&y&lt;/b&gt;");
    EXPECT_EQ(nameCell(fileEntry("<b>x&y</b>"), cellOptions(true, true)),
              "<a href=\"%3cb%3ex%26y%3c/b%3e\">&lt;b&gt;x&y&lt;/b&gt;</a>");
    EXPECT_EQ(nameCell(dirEntry("a>b"), cellOptions(true, false)), "<a href=\"a%3eb/index.html\">a&gt;b</a>");
}

TEST_F(NameCellTest, LineBreakInTitleReachesFileAsCrCrLf)
{
    tree_.file("broken.html", "<title>First\r\nSecond</title>");
    EXPECT_EQ(nameCell(fileEntry("broken.html"), cellOptions(false, true)), "First\r\r\nSecond");
}

// Each entry's title stands on its own: an untitled entry never shows the
// title of the one before it.
TEST_F(NameCellTest, TitlesDoNotCarryOver)
{
    tree_.file("empty.html", "<title></title>");
    const auto options = cellOptions(false, true);
    const auto text = streamed([&](OutputStream& stream) {
        for (const char* name : {"page.html", "empty.html", "page.html", "my file.txt"}) {
            writeCell(stream, fileEntry(name), options);
            stream.write('|');
        }
    });
    EXPECT_EQ(text, "My Page|empty.html|My Page|my file.txt|");
}

TEST(ReadDocumentTitle, RealFiles)
{
    testing::TempTree tree;
    testing::ChangeDirectory cd(tree.root());
    const std::string before1024(1024, 'x');
    struct Case {
        const char* name;
        std::string content;
        std::optional<std::string> title;
    };
    const Case cases[] = {
        {"lower.html", "<html><head><title>My Page</title>", "My Page"},
        {"upper.htm", "<HTML><TITLE>Upper</TITLE>", "Upper"},
        {"mixed.html", "<Title>Mixed</Title>", std::nullopt},
        {"empty.html", "<title></title>", std::nullopt},
        {"break.html", "<title>\r\nText</title>", std::nullopt},
        {"over.html", "<title>One\r\nTwo</title>", "One\r\nTwo"},
        {"notes.txt", "These notes hold <title>Notes</title> as text.", "Notes"},
        {"nul.html", std::string("ab\0<title>Hidden</title>", 24), std::nullopt},
        {"short.html", "<title>Hello", "Hello"},
        // The tag lies wholly past the bytes read.
        {"far.html", before1024 + "<title>Far</title>", std::nullopt},
        // The tag ends exactly at byte 1024: nothing of the title was read.
        {"edge.html", std::string(1017, 'x') + "<title>Edge</title>", std::nullopt},
        // The title runs to byte 1024 and is kept whole up to there.
        {"tail.html", std::string(1000, 'x') + "<title>" + std::string(30, 't'), std::string(17, 't')},
        {"none.bin", std::string(2000, '\xff'), std::nullopt},
        {"zero.html", "", std::nullopt},
    };
    for (const auto& c : cases)
        tree.file(c.name, c.content);
    tree.dir("folder.html");

    TitleBuffer buffer;
    const auto here = platform::DirectoryHandle::open(".");
    for (const auto& c : cases)
        EXPECT_EQ(readDocumentTitle(here, c.name, buffer), c.title) << c.name;
    EXPECT_EQ(readDocumentTitle(here, "folder.html", buffer), std::nullopt);
    EXPECT_EQ(readDocumentTitle(here, "missing.html", buffer), std::nullopt);
}

TEST(CellWriters, WholeCells)
{
    const platform::LocalTime time{2001, 4, 25, 13, 5, 9};
    const auto text = streamed([&](OutputStream& stream) {
        writeSizeCell(stream, DirectoryEntry{.name = "a", .size = 3500000}, SizeStyle::Auto);
        writeSizeCell(stream, DirectoryEntry{.name = "d", .isDirectory = true, .size = 4096}, SizeStyle::Bytes);
        writeTimeCell(stream, time);
        writeDateCell(stream, time);
    });
    EXPECT_EQ(text, "<td>3.34 mb</td><td>DIR</td><td>13:05.09</td><td>2001-04-25</td>");
}

}  // namespace
}  // namespace quilldex
