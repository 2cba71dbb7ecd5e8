#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "index/cell_texts.h"
#include "index/export_runs.h"
#include "index/index_writer.h"
#include "link_check.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using namespace std::chrono;
using testing::TempTree;

// Noon UTC falls on the same calendar day in every zone from UTC-11 to
// UTC+11, so the dates below hold wherever the tests run.
std::int64_t noonUtc(year_month_day day)
{
    return duration_cast<seconds>((sys_days{day} + 12h).time_since_epoch()).count();
}

TEST(IndexWithCells, SizeAndDateExample)
{
    TempTree tree;
    testing::setLastWriteTime(tree.sizedFile("list/notes.txt", 500), noonUtc(2001y / April / 25));
    testing::setLastWriteTime(tree.sizedFile("list/photo.jpg", 3500000), noonUtc(2000y / December / 31));

    IndexOptions options;
    options.outputName = "index.html";
    options.showSize = true;
    options.showDate = true;
    {
        testing::ChangeDirectory cd(tree.path("list"));
        ASSERT_TRUE(exportSingle(tree.path("index.html").string(), options));
    }
    EXPECT_EQ(testing::readFile(tree.path("index.html")),
              testing::headerRow(true, false, true) +
                  "<tr><td>notes.txt</td><td>500 bytes</td><td>2001-04-25</td></tr>\r\n"
                  "<tr><td>photo.jpg</td><td>3.34 mb</td><td>2000-12-31</td></tr>\r\n" +
                  testing::creditLine());
}

// The Time and Date cells of an entry last written at `utc`, and the row end.
std::string timeAndDateCells(std::int64_t utc)
{
    // The hour depends on the zone the test runs in.
    const auto local = platform::toLocalTime(utc);
    return "<td>" + std::string(timeText(local).view()) + "</td><td>" + std::string(dateText(local).view()) +
           "</td></tr>\r\n";
}

std::int64_t lastWriteTime(const std::filesystem::path& path)
{
    const auto when = file_clock::to_sys(std::filesystem::last_write_time(path));
    return floor<seconds>(when).time_since_epoch().count();
}

// Every column and both name options at once, in a recursive listing that
// shows the parent and a subdirectory.
TEST(IndexWithCells, EveryColumnLinksAndTitles)
{
    TempTree tree;
    TempTree out;
    tree.file("top/a b.html", "<html><title>Page &amp; more\r\nsecond line</title>");
    tree.sizedFile("top/big.bin", 1179648);
    tree.dir("top/sub");
    // Only files: some systems refuse to set the time of a directory.
    const auto when = noonUtc(2001y / April / 25);
    for (const char* name : {"top/a b.html", "top/big.bin"})
        testing::setLastWriteTime(tree.path(name), when);

    IndexOptions options;
    options.outputName = "list.htm";
    options.fileMask = "*";
    options.showSize = true;
    options.showTime = true;
    options.showDate = true;
    options.makeLinks = true;
    options.readTitles = true;
    options.linkPrefix = "files/";
    options.sizeStyle = SizeStyle::Kilobytes;
    options.recursive = true;
    {
        testing::ChangeDirectory cd(tree.path("top"));
        ASSERT_TRUE(exportSingle(out.path("list.htm").string(), options));
    }
    EXPECT_EQ(testing::readFile(out.path("list.htm")),
              testing::headerRow(true, true, true) + "<tr><td><a href=\"files/../list.htm\">..</a></td><td>DIR</td>" +
                  timeAndDateCells(lastWriteTime(tree.root())) +
                  "<tr><td><a href=\"files/a%20b.html\">Page &amp; more\r\r\nsecond line</a></td>"
                  "<td>0 kb</td>" +
                  timeAndDateCells(when) + "<tr><td><a href=\"files/big.bin\">big.bin</a></td><td>1152 kb</td>" +
                  timeAndDateCells(when) + "<tr><td><a href=\"files/sub/list.htm\">sub</a></td><td>DIR</td>" +
                  timeAndDateCells(lastWriteTime(tree.path("top/sub"))) + testing::creditLine());
}

TEST(IndexWithCells, RecursiveLinksAllResolve)
{
    TempTree tree;
    const auto top = tree.dir("top");
    for (const char* name : {"top/my file.txt", "top/a&b.txt", "top/50% #1.html", "top/x+y=z;@[1]{2}~^`.txt",
                             "top/it's (1)!.txt", "top/sub dir/inner,file.txt", "top/sub dir/deeper/plain.txt",
                             "top/sub dir/deeper/#hash.htm", "top/.hidden", "top/no dot"})
        tree.file(name, "<title>Title of a file</title>");
    tree.dir("top/empty");
    tree.dir("top/%20");

    IndexOptions options;
    options.outputName = "index.html";
    options.makeLinks = true;
    options.readTitles = true;
    options.recursive = true;
    {
        testing::ChangeDirectory cd(top);
        ASSERT_TRUE(exportRecursive(options));
    }
    const auto check = testing::checkIndexLinks(top, "index.html");
    EXPECT_EQ(check.indexFiles, 5u);
    // Every entry and every subdirectory's parent row.
    EXPECT_EQ(check.linksFollowed, 18u);
    EXPECT_TRUE(check.broken.empty()) << ::testing::PrintToString(check.broken);
}

}  // namespace
}  // namespace quilldex
