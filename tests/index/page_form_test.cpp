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
    const ChangeDirectory inside(listed);
    return testing::streamed([&](platform::OutputStream& stream) {
        DirectoryListing listing(options);
        writeIndex(stream, options, listing, place);
    });
}

// The document around the table, as every page has it.
std::string pageStart(std::string_view path)
{
    return "<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n<meta charset=\"" + platform::textEncodingName() +
           "\">\r\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n<title>Index of " +
           std::string(path) + "</title>\r\n<style>" + std::string(kPageStyle) + "</style>\r\n</head>\r\n<body>\r\n";
}

std::string pageEnd(std::string_view totals)
{
    return "</tbody>\r\n</table>\r\n<script>" + std::string(kPageScript) + "</script>\r\n<footer>\r\n<p>" +
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
    const std::string expected =
        pageStart("/docs/deep/") +
        "<nav aria-label=\"Breadcrumbs\"><ol><li><a href=\"../../index.html\">Top</a></li>"
        "<li><a href=\"../index.html\">docs</a></li><li aria-current=\"page\">deep</li></ol></nav>\r\n"
        "<h1>Index of /docs/deep/</h1>\r\n<table data-name-order=\"1\">\r\n"
        "<thead><tr><th scope=\"col\" data-sort=\"name\">Filename</th>"
        "<th scope=\"col\" data-sort=\"size\">Size</th></tr></thead>\r\n<tbody>\r\n"
        "<tr class=\"up\" data-mtime=\"T\"><td><a href=\"../index.html\">..</a></td><td>DIR</td></tr>\r\n"
        "<tr data-size=\"2048\" data-mtime=\"978307200\"><td><a href=\"a%26b.txt\">a&amp;b.txt</a></td>"
        "<td>2 kb</td></tr>\r\n"
        "<tr class=\"dir\" data-mtime=\"T\"><td><a href=\"sub/index.html\">sub</a></td><td>DIR</td></tr>\r\n"
        "<tr data-size=\"30\" data-mtime=\"978307200\"><td><a href=\"t.html\">Tom &amp; Jerry</a></td>"
        "<td>30 bytes</td></tr>\r\n"
        "<tr data-size=\"1\" data-mtime=\"978307200\"><td><a href=\"z.txt\">z.txt</a></td><td>1 bytes</td></tr>\r\n" +
        pageEnd("1 directory, 3 files, 2 kb");
    EXPECT_EQ(withoutDirectoryTimes(pageOf(listed, options, DirectoryPlace{"/docs/deep/"})), expected);
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
    std::string expected = pageStart("/docs/deep/");
    expected.insert(expected.find("</head>"),
                    "<style>body{color:red}</style>\r\n<link rel=\"stylesheet\" href=\"../../theme/site.css\">\r\n");
    expected +=
        "<nav aria-label=\"Breadcrumbs\"><ol><li aria-current=\"page\">Top</li><li aria-current=\"page\">docs</li>"
        "<li aria-current=\"page\">deep</li></ol></nav>\r\n"
        "<div class=\"site-header\">\r\n<p>Site</p>\r\n</div>\r\n"
        "<h1>Index of /docs/deep/</h1>\r\n"
        "<div class=\"readme-header text\">\r\n<pre>\r\nAbove &amp; beyond</pre>\r\n</div>\r\n"
        "<table data-name-order=\"1\">\r\n"
        "<thead><tr><th scope=\"col\" data-sort=\"name\">Filename</th>"
        "<th scope=\"col\" data-sort=\"size\">Size</th></tr></thead>\r\n<tbody>\r\n"
        "<tr data-size=\"5368709120\" data-mtime=\"978307200\"><td>big.bin</td>"
        "<td title=\"5368709120 bytes\">5.00 GiB</td></tr>\r\n"
        "<tr data-size=\"14\" data-mtime=\"978307200\"><td>HEADER.txt</td><td title=\"14 bytes\">14 bytes</td></tr>\r\n"
        "<tr data-size=\"12\" data-mtime=\"978307200\"><td>README.txt</td><td title=\"12 bytes\">12 "
        "bytes</td></tr>\r\n";
    std::string end = pageEnd("0 directories, 3 files, 5.00 GiB");
    end.insert(end.find("<footer>"), "<div class=\"readme text\">\r\n<pre>\r\nBelow &lt;here&gt;</pre>\r\n</div>\r\n");
    end.insert(end.find("<p>Created by"), "<div class=\"site-footer\">\r\n<p>Contact</p>\r\n</div>\r\n");
    EXPECT_EQ(pageOf(listed, options, DirectoryPlace{"/docs/deep/"}), expected + end);
}

TEST(PageForm, NothingMatchedStillGivesACompletePageWithoutLinksUp)
{
    TempTree tree;
    tree.file("a.txt");
    IndexOptions options = pageOptions();
    options.fileMask = "*.none";
    options.showSize = false;
    const std::string expected =
        pageStart("/") +
        "<nav aria-label=\"Breadcrumbs\"><ol><li aria-current=\"page\">Top</li></ol></nav>\r\n"
        "<h1>Index of /</h1>\r\n<table data-name-order=\"1\">\r\n"
        "<thead><tr><th scope=\"col\" data-sort=\"name\">Filename</th></tr></thead>\r\n<tbody>\r\n" +
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
    EXPECT_NE(page.find("<td>" + shown + "</td>"), std::string::npos) << page;
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

TEST(PageForm, StyleAndScriptAreSmallAndAsciiOnly)
{
    EXPECT_LE(kPageStyle.size() + kPageScript.size(), 4096u);
    for (const std::string_view asset : {kPageStyle, kPageScript}) {
        for (const char c : asset)
            EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "byte " << int(static_cast<unsigned char>(c));
        // Either would end the element early.
        EXPECT_EQ(asset.find("</"), std::string_view::npos);
    }
}

}  // namespace
}  // namespace quilldex
