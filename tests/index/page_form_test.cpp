// The full page as a whole file: document, breadcrumbs, rows with their raw
// values, totals, and the page's stricter escaping of names.
#include <gtest/gtest.h>

#include <string>

#include "index/directory_listing.h"
#include "index/export_runs.h"
#include "index/index_writer.h"
#include "index/page_assets.h"
#include "support/stream_capture.h"
#include "support/temp_tree.h"
#include "version.h"

namespace quilldex {
namespace {

using testing::ChangeDirectory;
using testing::TempTree;

constexpr std::int64_t kTime = 978307200;  // 2001-01-01 00:00:00 UTC

IndexOptions pageOptions()
{
    IndexOptions options;
    options.form = OutputForm::Page;
    options.outputName = "index.html";
    return options;
}

std::string pageOf(const std::filesystem::path& listed, const IndexOptions& options, const DirectoryPlace& place)
{
    const auto directory = platform::DirectoryHandle::open(listed.string());
    return testing::streamed([&](platform::OutputStream& stream) {
        DirectoryListing listing(directory, options);
        DirectoryPlace at = place;
        at.directory = &directory;
        at.boundary.top = &directory;
        writeIndex(stream, options, listing, at);
    });
}

// The document around the table, as every page has it.
std::string pageStart(std::string_view title)
{
    return "<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n<meta charset=\"" + platform::textEncodingName() +
           "\">\r\n<meta name=\"generator\" content=\"QUILLDEX 1.0.7\">\r\n<meta name=\"viewport\" "
           "content=\"width=device-width, initial-scale=1\">\r\n<title>" +
           std::string(title) + "</title>\r\n<style>" + std::string(kPageStyle) + "</style>\r\n</head>\r\n<body>\r\n";
}

std::string pageEnd(std::string_view totals)
{
    return "</tbody>\r\n</table>\r\n</main>\r\n<script>" + std::string(kPageScript) + "</script>\r\n<footer>\r\n<p>" +
           std::string(totals) +
           "</p>\r\n<p>Created by <a href=\"" QUILLDEX_HOME_PAGE
           "\">QUILLDEX 1.0.7</a></p>\r\n</footer>\r\n</body>\r\n</html>\r\n";
}

// The page with each directory row's time as "T": a directory's time
// changes as files are made in it, and cannot be set under Wine.
std::string withoutDirectoryTimes(std::string page)
{
    for (const std::string_view row : {"<tr class=\"up\" data-mtime=\"", "<tr class=\"dir\" data-mtime=\""}) {
        for (auto at = page.find(row); at != std::string::npos; at = page.find(row, at + 1)) {
            const auto start = at + row.size();
            page.replace(start, page.find('"', start) - start, "T");
        }
    }
    return page;
}

TEST(PageForm, WholePageOfADirectoryDeepInARecursiveRun)
{
    TempTree tree;
    const auto listed = tree.dir("docs/deep");
    tree.dir("docs/deep/sub");
    tree.sizedFile("docs/deep/a&b.txt", 2048);
    tree.file("docs/deep/t.html", "<title>Tom &amp; Jerry</title>");
    tree.file("docs/deep/z.txt", "z");
    for (const char* path : {"docs/deep/a&b.txt", "docs/deep/t.html", "docs/deep/z.txt"})
        testing::setLastWriteTime(tree.path(path), kTime);

    IndexOptions options = pageOptions();
    options.recursive = true;
    options.makeLinks = true;
    options.readTitles = true;
    options.pageTitle = "Pub & co";
    // Titles are shown: the script sorts by them at the start.
    const std::string expected =
        pageStart("Pub &amp; co / docs / deep") +
        "<nav aria-label=\"Breadcrumbs\"><ol><li><a href=\"../../index.html\">Pub &amp; co</a></li>"
        "<li><a href=\"../index.html\">docs</a></li><li aria-current=\"page\">deep</li></ol></nav>\r\n"
        "<main>\r\n<h1>Pub &amp; co / docs / deep</h1>\r\n"
        "<table data-shown-order=\"1\" style=\"--columns:minmax(0,1fr) 6.5em\">\r\n"
        "<thead><tr><th scope=\"col\" data-sort=\"name\">Filename</th>"
        "<th scope=\"col\" data-sort=\"size\">Size</th></tr></thead>\r\n<tbody>\r\n"
        "<tr class=\"up\" data-mtime=\"T\"><td><a href=\"../index.html\">..</a></td><td>DIR</td></tr>\r\n"
        "<tr data-size=\"2048\" data-mtime=\"978307200\"><td><a href=\"a%26b.txt\">a&amp;b.txt</a></td>"
        "<td>2 kb</td></tr>\r\n"
        "<tr class=\"dir\" data-mtime=\"T\"><td><a href=\"sub/index.html\">sub/</a></td><td>DIR</td></tr>\r\n"
        "<tr data-size=\"30\" data-mtime=\"978307200\"><td><a href=\"t.html\">Tom &amp; Jerry</a> "
        "<small>t.html</small></td><td>30 bytes</td></tr>\r\n"
        "<tr data-size=\"1\" data-mtime=\"978307200\"><td><a href=\"z.txt\">z.txt</a></td><td>1 bytes</td></tr>\r\n" +
        pageEnd("1 directory, 3 files, 2 kb");
    EXPECT_EQ(withoutDirectoryTimes(pageOf(listed, options, DirectoryPlace{"/docs/deep/", nullptr, {}})), expected);
}

// What the site options add, each in its place, in a page two levels down:
// style sheets in the head, the site header before the heading, the HEADER
// file above the table, the README below its script, the site footer before
// the credit line; sizes in IEC units with the bytes as a tooltip.
TEST(PageForm, WholePageWithTheSiteAroundIt)
{
    TempTree tree;
    const auto listed = tree.dir("docs/deep");
    tree.file("docs/deep/HEADER.txt", "Above & beyond");
    tree.file("docs/deep/README.txt", "Below <here>");
    tree.sizedFile("docs/deep/big.bin", 5368709120);
    for (const char* path : {"docs/deep/HEADER.txt", "docs/deep/README.txt", "docs/deep/big.bin"})
        testing::setLastWriteTime(tree.path(path), kTime);

    IndexOptions options = pageOptions();
    options.sizeStyle = SizeStyle::Human;
    options.site.showReadme = true;
    options.site.header = "<p>Site</p>";
    options.site.footer = "<p>Contact</p>\n";
    options.site.style = "body{color:red}";
    options.site.styleHref = "theme/site.css";
    // The site's pieces, each where it belongs, in this order.
    const std::string pieces[] = {
        "<style>body{color:red}</style>\r\n<link rel=\"stylesheet\" href=\"../../theme/site.css\">\r\n</head>",
        "<main>\r\n<div class=\"site-header\">\r\n<p>Site</p>\r\n</div>\r\n<h1>",
        "</h1>\r\n<div class=\"readme-header text\">\r\n<pre>\r\nAbove &amp; beyond</pre>\r\n</div>\r\n<table",
        "<td>big.bin</td><td title=\"5368709120 bytes\">5.00 GiB</td>",
        "</table>\r\n<div class=\"readme text\">\r\n<pre>\r\nBelow &lt;here&gt;</pre>\r\n</div>\r\n</main>",
        "<p>0 directories, 3 files, 5.00 GiB</p>\r\n<div class=\"site-footer\">\r\n<p>Contact</p>\r\n</div>\r\n"
        "<p>Created by",
    };
    const std::string page = pageOf(listed, options, DirectoryPlace{"/docs/deep/", nullptr, {}});
    std::size_t at = 0;
    for (const std::string& piece : pieces) {
        const auto found = page.find(piece, at);
        ASSERT_NE(found, std::string::npos) << piece << "\nin\n" << page;
        at = found + piece.size();
    }
}

TEST(PageForm, NothingMatchedStillGivesACompletePageWithoutLinksUp)
{
    TempTree tree;
    tree.file("a.txt");
    IndexOptions options = pageOptions();
    options.fileMask = "*.none";
    options.showSize = false;
    options.directory = tree.root().string();
    const std::string name = tree.root().filename().string();
    const std::string expected =
        pageStart("Index of " + name) + "<nav aria-label=\"Breadcrumbs\"><ol><li aria-current=\"page\">" + name +
        "</li></ol></nav>\r\n<main>\r\n<h1>Index of " + name +
        "</h1>\r\n<table data-name-order=\"1\" style=\"--columns:minmax(0,1fr)\">\r\n"
        "<thead><tr><th scope=\"col\" data-sort=\"name\" aria-sort=\"ascending\">Filename</th></tr></thead>\r\n"
        "<tbody>\r\n" +
        pageEnd("0 directories, 0 files, 0 bytes");
    EXPECT_EQ(pageOf(tree.root(), options, DirectoryPlace{}), expected);
}

// The page declares the encoding its names are written in: a name that is
// no UTF-8 shows U+FFFD for its bad bytes but links to its exact bytes; in a
// code page the name's bytes stand as they are and the link is UTF-8.
TEST(PageForm, NamesShowInTheDeclaredEncodingAndLinkToTheFile)
{
    TempTree tree;
    std::string shown;
    std::string link;
    if (platform::textEncodingName() == "utf-8") {
        tree.file("bad\xE9 &.txt");
        shown = "bad\xEF\xBF\xBD &amp;.txt";
        link = "bad%E9%20%26.txt";
    } else if (platform::textEncodingName() == "windows-1252") {
        tree.utf8File("caf\xC3\xA9 &.txt");
        shown = "caf\xE9 &amp;.txt";
        link = "caf%C3%A9%20%26.txt";
    } else {
        GTEST_SKIP() << "no case for the code page " << platform::textEncodingName();
    }
    IndexOptions options = pageOptions();
    options.makeLinks = true;
    options.linkPrefix = "https://example.org/a b/?q=1&r=\"2\"#";
    const std::string page = pageOf(tree.root(), options, DirectoryPlace{});
    EXPECT_NE(
        page.find("<td><a href=\"https://example.org/a%20b/?q=1&amp;r=%222%22#" + link + "\">" + shown + "</a></td>"),
        std::string::npos)
        << page;
}

// A title is the document's bytes: a control byte in it is shown as the
// page's encoding allows, never taken for the mark that Windows names use
// for characters outside the code page.
TEST(PageForm, TitleBytesAreNeverMarkedText)
{
    TempTree tree;
    tree.file("t.html",
              "<title>a\x01"
              "b &amp; c</title>");
    IndexOptions options = pageOptions();
    options.readTitles = true;
    const std::string shown = platform::textEncodingName() == "utf-8" ? "a\xEF\xBF\xBD"
                                                                        "b &amp; c"
                                                                      : "a\x01"
                                                                        "b &amp; c";
    const std::string page = pageOf(tree.root(), options, DirectoryPlace{});
    EXPECT_NE(page.find("<td><span>" + shown + "</span> <small>t.html</small></td>"), std::string::npos) << page;
}

// A recursive run that keeps files it did not write knows its own by their
// end: a page must end as one of its own.
TEST(PageForm, ASecondRecursiveRunReplacesThePagesOfTheFirst)
{
    TempTree tree;
    tree.file("top/sub/a.txt");
    IndexOptions options = pageOptions();
    options.recursive = true;
    options.keepForeignFiles = true;
    for (const char* added : {"top/sub/b.txt", "top/sub/c.txt"}) {
        const ChangeDirectory inside(tree.path("top"));
        RunReport report;
        EXPECT_TRUE(exportRecursive(options, {}, nullptr, &report));
        EXPECT_TRUE(report.problems.empty()) << ::testing::PrintToString(report.problems);
        tree.file(added);
    }
    const std::string page = testing::readFile(tree.path("top/sub/index.html"));
    EXPECT_NE(page.find("<td>b.txt</td>"), std::string::npos) << page;
}

// The part of a page between two markers.
std::string between(const std::string& page, std::string_view start, std::string_view end)
{
    const auto from = page.find(start);
    if (from == std::string::npos)
        return "(no " + std::string(start) + ")";
    const auto begin = from + start.size();
    return page.substr(begin, page.find(end, begin) - begin);
}

// A page says where it is: the top by the title given or by the top
// directory's name, the levels below it, at most the last eight after an
// ellipsis; the top's breadcrumb leads up only as far as a recursive run
// wrote pages, and not from very deep down.
TEST(PageForm, TitleHeadingAndBreadcrumbsNameThePlace)
{
    TempTree tree;
    std::string deep = "/";
    for (int level = 1; level <= 65; ++level)
        deep += "l" + std::to_string(level) + "/";
    std::string upToTop;
    for (int level = 1; level <= 10; ++level)
        upToTop += "../";
    const struct {
        std::string directory;
        std::string title;
        bool recursive;
        std::string place;
        std::string name;
        std::string crumbs;
    } cases[] = {
        {"/srv/pub", "", true, "/", "Index of pub", "<li aria-current=\"page\">pub</li>"},
        {"/srv/pub/", "", true, "/a/", "Index of pub / a",
         "<li><a href=\"../index.html\">pub</a></li><li aria-current=\"page\">a</li>"},
        {"/", "", false, "/", "Index of /", "<li aria-current=\"page\">/</li>"},
        {"/srv/pub", "Our <files> & more", true, "/", "Our &lt;files&gt; &amp; more",
         "<li aria-current=\"page\">Our &lt;files&gt; &amp; more</li>"},
        {"/srv/pub", "Site", true, "/a/b/", "Site / a / b",
         "<li><a href=\"../../index.html\">Site</a></li><li><a href=\"../index.html\">a</a></li>"
         "<li aria-current=\"page\">b</li>"},
        {"/srv/pub", "Site", false, "/a/b/", "Site / a / b", "<li>Site</li><li>a</li><li aria-current=\"page\">b</li>"},
        {"/srv/pub", "Site", true, "/1/2/3/4/5/6/7/8/9/10/", "Site / &#8230; / 3 / 4 / 5 / 6 / 7 / 8 / 9 / 10",
         "<li><a href=\"" + upToTop +
             "index.html\">Site</a></li><li>&#8230;</li><li><a href=\"../../../../../../../index.html\">3</a></li>"
             "<li><a href=\"../../../../../../index.html\">4</a></li><li><a href=\"../../../../../index.html\">5</a>"
             "</li><li><a href=\"../../../../index.html\">6</a></li><li><a href=\"../../../index.html\">7</a></li>"
             "<li><a href=\"../../index.html\">8</a></li><li><a href=\"../index.html\">9</a></li>"
             "<li aria-current=\"page\">10</li>"},
        {"/srv/pub", "Site", true, deep, "Site / &#8230; / l58 / l59 / l60 / l61 / l62 / l63 / l64 / l65",
         "<li>Site</li><li>&#8230;</li><li><a href=\"../../../../../../../index.html\">l58</a></li>"
         "<li><a href=\"../../../../../../index.html\">l59</a></li><li><a href=\"../../../../../index.html\">l60</a>"
         "</li><li><a href=\"../../../../index.html\">l61</a></li><li><a href=\"../../../index.html\">l62</a></li>"
         "<li><a href=\"../../index.html\">l63</a></li><li><a href=\"../index.html\">l64</a></li>"
         "<li aria-current=\"page\">l65</li>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.place);
        IndexOptions options = pageOptions();
        options.directory = c.directory;
        options.pageTitle = c.title;
        options.recursive = c.recursive;
        const std::string page = pageOf(tree.root(), options, DirectoryPlace{c.place, nullptr, {}});
        EXPECT_EQ(between(page, "<title>", "</title>"), c.name);
        EXPECT_EQ(between(page, "<h1>", "</h1>"), c.name);
        EXPECT_EQ(between(page, "<nav aria-label=\"Breadcrumbs\"><ol>", "</ol>"), c.crumbs);
        // The top of a recursive run has no way up (a single run lists no
        // "..").
        if (c.recursive) {
            EXPECT_EQ(page.find("<tr class=\"up\"") == std::string::npos, c.place == "/");
        }
    }
}

// The column the listing is ordered by says so from the start; with titles
// shown the script sorts by them first.
TEST(PageForm, TheWrittenOrderIsTheSortStateOfItsColumn)
{
    TempTree tree;
    const auto headings = [&](SortKey key, bool reverse, bool size, bool time, bool date, bool titles) {
        IndexOptions options = pageOptions();
        options.sortKey = key;
        options.reverseOrder = reverse;
        options.showSize = size;
        options.showTime = time;
        options.showDate = date;
        options.readTitles = titles;
        const std::string page = pageOf(tree.root(), options, DirectoryPlace{});
        return between(page, "<table", "</tr></thead>");
    };
    const std::string up = " aria-sort=\"ascending\"";
    const std::string down = " aria-sort=\"descending\"";
    const std::string name = "<th scope=\"col\" data-sort=\"name\"";
    const std::string size = "<th scope=\"col\" data-sort=\"size\"";
    const std::string time = "<th scope=\"col\" data-sort=\"time\"";
    EXPECT_EQ(headings(SortKey::Name, false, true, false, false, false),
              " data-name-order=\"1\" style=\"--columns:minmax(0,1fr) 6.5em\">\r\n<thead><tr>" + name + up +
                  ">Filename</th>" + size + ">Size</th>");
    EXPECT_EQ(headings(SortKey::Natural, true, false, false, false, false),
              " data-name-order=\"-1\" style=\"--columns:minmax(0,1fr)\">\r\n<thead><tr>" + name + down +
                  ">Filename</th>");
    EXPECT_EQ(headings(SortKey::Name, true, false, false, false, true),
              " data-shown-order=\"-1\" style=\"--columns:minmax(0,1fr)\">\r\n<thead><tr>" + name + ">Filename</th>");
    EXPECT_EQ(headings(SortKey::Size, true, true, true, true, false),
              " style=\"--columns:minmax(0,1fr) 6.5em 5.5em 6.75em\">\r\n<thead><tr>" + name + ">Filename</th>" + size +
                  down + ">Size</th>" + time + ">Time</th>" + time + ">Date</th>");
    EXPECT_EQ(headings(SortKey::Size, false, false, false, false, false),
              " style=\"--columns:minmax(0,1fr)\">\r\n<thead><tr>" + name + ">Filename</th>");
    EXPECT_EQ(headings(SortKey::Time, false, true, true, true, false),
              " style=\"--columns:minmax(0,1fr) 6.5em 5.5em 6.75em\">\r\n<thead><tr>" + name + ">Filename</th>" + size +
                  ">Size</th>" + time + up + ">Time</th>" + time + ">Date</th>");
    EXPECT_EQ(headings(SortKey::Time, false, false, false, true, false),
              " style=\"--columns:minmax(0,1fr) 6.75em\">\r\n<thead><tr>" + name + ">Filename</th>" + time + up +
                  ">Date</th>");
}

// Rows stand in groups of 200, each its own <tbody>.
TEST(PageForm, RowsStandInGroups)
{
    TempTree tree;
    for (int number = 0; number < 450; ++number)
        tree.file("f" + std::to_string(number));
    IndexOptions options = pageOptions();
    options.fileMask = "*";
    const auto count = [](const std::string& page, std::string_view text) {
        std::size_t found = 0;
        for (auto at = page.find(text); at != std::string::npos; at = page.find(text, at + 1))
            ++found;
        return found;
    };
    const std::string page = pageOf(tree.root(), options, DirectoryPlace{});
    EXPECT_EQ(count(page, "<tr data-size"), 450u);
    EXPECT_EQ(count(page, "<tbody>"), 3u);
    // 200 rows, then the next group.
    const std::string first = between(page, "<tbody>", "</tbody>");
    EXPECT_EQ(count(first, "<tr"), 200u);
}

TEST(PageForm, StyleAndScriptAreSmallAndAsciiOnly)
{
    EXPECT_LE(kPageStyle.size() + kPageScript.size(), 6144u);
    // Folder totals change the script in one place only, so that pages
    // without them keep theirs.
    EXPECT_EQ(pageScript(false), kPageScript);
    EXPECT_NE(pageScript(true), kPageScript);
    EXPECT_NE(pageScript(true).find("r.hasAttribute('data-size')"), std::string_view::npos);
    for (const std::string_view asset : {kPageStyle, kPageScript, pageScript(true), kTreeSwitchScript}) {
        for (const char c : asset)
            EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "byte " << int(static_cast<unsigned char>(c));
        // Either would end the element early.
        EXPECT_EQ(asset.find("</"), std::string_view::npos);
    }
}

}  // namespace
}  // namespace quilldex
