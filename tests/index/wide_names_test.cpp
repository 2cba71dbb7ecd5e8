// Index runs over names that the Windows code page cannot hold: each such
// character shown as a numeric character reference, each such name linked
// by its UTF-8 bytes, every such directory entered and every such file read.
// The expected bytes are those of code page 1252, in which Wine runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "index/export_runs.h"
#include "link_check.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::TempTree;

class WideNameRuns : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (GetACP() != 1252)
            GTEST_SKIP() << "the expected bytes are those of code page 1252, not " << GetACP();
    }

    // The index of `directory` (a path in UTF-8 below the tree) as a single
    // run writes it.
    std::string singleRun(std::string_view directory, const IndexOptions& options)
    {
        const auto output = tree.path("index.html");
        {
            testing::ChangeDirectory cd(tree.utf8Path(directory));
            EXPECT_TRUE(exportSingle(output.string(), options));
        }
        return testing::readFile(output);
    }

    TempTree tree;
};

std::string linkRow(const std::string& href, const std::string& text)
{
    return "<tr><td><a href=\"" + href + "\">" + text + "</a></td></tr>\r\n";
}

TEST_F(WideNameRuns, RowsShowReferencesAndLinkUtf8)
{
    tree.utf8File("list/caf\xc3\xa9.txt");
    tree.utf8File("list/\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt", "<title>Japanese</title>");
    tree.utf8File("list/\xce\x95\xce\xbb\xce\xbb\xce\xac\xce\xb4\xce\xb1.txt");
    tree.utf8File("list/\xd0\x9a\xd0\xb8\xd0\xb5\xd0\xb2.txt");
    tree.utf8File("list/\xf0\x9f\x98\x80.txt");
    tree.utf8File("list/\xc3\xa4\xe6\x97\xa5.txt");
    IndexOptions options;
    options.outputName = "index.html";
    options.showSize = false;
    options.makeLinks = true;

    // A character outside the code page sorts after those it holds.
    const std::string rows[] = {
        // Unchanged: a name the code page holds.
        linkRow("caf%e9.txt", "caf\xe9.txt"),
        // The characters the code page holds stay its bytes; the link is the
        // whole name's UTF-8.
        linkRow("%c3%a4%e6%97%a5.txt", "\xe4&#26085;.txt"),
        linkRow("%ce%95%ce%bb%ce%bb%ce%ac%ce%b4%ce%b1.txt", "&#917;&#955;&#955;&#940;&#948;&#945;.txt"),
        linkRow("%d0%9a%d0%b8%d0%b5%d0%b2.txt", "&#1050;&#1080;&#1077;&#1074;.txt"),
        linkRow("%e6%97%a5%e6%9c%ac%e8%aa%9e.txt", "&#26085;&#26412;&#35486;.txt"),
        // One reference for a character outside the BMP, not two surrogates.
        linkRow("%f0%9f%98%80.txt", "&#128512;.txt"),
    };
    std::string expected = testing::headerRow(false, false, false);
    for (const auto& row : rows)
        expected += row;
    EXPECT_EQ(singleRun("list", options), expected + testing::creditLine());
    // The natural order places them the same way.
    options.sortKey = SortKey::Natural;
    EXPECT_EQ(singleRun("list", options), expected + testing::creditLine());
    options.sortKey = SortKey::Name;

    // The page names the code page and shows and links the same way, with
    // its own escapes.
    options.form = OutputForm::Page;
    const auto page = singleRun("list", options);
    EXPECT_NE(page.find("<meta charset=\"windows-1252\">"), std::string::npos) << page;
    EXPECT_NE(page.find("<a href=\"%E6%97%A5%E6%9C%AC%E8%AA%9E.txt\">&#26085;&#26412;&#35486;.txt</a>"),
              std::string::npos)
        << page;
    // JSON writes every name in UTF-8, the code page's characters too.
    options.form = OutputForm::Json;
    const auto json = singleRun("list", options);
    for (const char* name : {"\xce\x95\xce\xbb\xce\xbb\xce\xac\xce\xb4\xce\xb1.txt",
                             "\xd0\x9a\xd0\xb8\xd0\xb5\xd0\xb2.txt", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt",
                             "\xf0\x9f\x98\x80.txt", "caf\xc3\xa9.txt", "\xc3\xa4\xe6\x97\xa5.txt"})
        EXPECT_NE(json.find("{\"name\": \"" + std::string(name) + "\", \"type\": \"file\""), std::string::npos)
            << name << "\n"
            << json;
    options.form = OutputForm::Fragment;

    options.readTitles = true;
    options.fileMask = "*.txt";
    const auto withTitles = singleRun("list", options);
    EXPECT_NE(withTitles.find(linkRow("%e6%97%a5%e6%9c%ac%e8%aa%9e.txt", "Japanese")), std::string::npos) << withTitles;
}

TEST_F(WideNameRuns, JsonTitlesAreUtf8AndNamesNeedNoBytes)
{
    tree.utf8File("list/\xe6\x97\xa5.html", "<title>T\xe9l\xe9</title>");  // a code-page title
    IndexOptions options;
    options.outputName = "index.html";
    options.form = OutputForm::Json;
    options.readTitles = true;
    const auto json = singleRun("list", options);
    EXPECT_NE(json.find("\"title\": \"T\xc3\xa9l\xc3\xa9\"}"), std::string::npos) << json;
    // Converted names are always UTF-8, so none needs its bytes as well.
    EXPECT_EQ(json.find("name_bytes"), std::string::npos) << json;
}

TEST_F(WideNameRuns, RecursiveRunEntersEveryDirectoryAndEveryLinkResolves)
{
    const char* const files[] = {
        "top/caf\xc3\xa9.txt",
        "top/\xe6\x97\xa5\xe6\x9c\xac/\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.html",
        "top/\xce\x95\xce\xbb\xce\xbb\xce\xac\xce\xb4\xce\xb1/\xd0\x9a\xd0\xb8\xd0\xb5\xd0\xb2/plain.txt",
        "top/\xce\x95\xce\xbb\xce\xbb\xce\xac\xce\xb4\xce\xb1/\xf0\x9f\x98\x80.txt",
        "top/\xf0\x9f\x98\x80 dir/a&b.txt",
    };
    // The index file's own name, too, may lie outside the code page, and
    // the page links its breadcrumbs as well. Each run has a tree of its
    // own, so that no run lists another's files.
    const struct {
        OutputForm form;
        std::string indexName;  // in UTF-8
        std::string outputName;
        std::size_t linksFollowed;
    } cases[] = {
        // Every file, every subdirectory and its parent row; the top's ".."
        // row is passed over.
        {OutputForm::Fragment, "index.html", "index.html", 13},
        {OutputForm::Fragment, "\xe7\x9b\xae\xe9\x8c\xb2.html", "\x01\xe7\x9b\xae\x01\xe9\x8c\xb2.html", 13},
        // And a breadcrumb for each directory above a directory.
        {OutputForm::Page, "\xe7\x9b\xae\xe9\x8c\xb2.html", "\x01\xe7\x9b\xae\x01\xe9\x8c\xb2.html", 18},
    };
    for (const auto& c : cases) {
        const auto& indexName = c.indexName;
        TempTree own;
        for (const char* file : files)
            own.utf8File(file, "<title>Title</title>");
        IndexOptions options;
        options.makeLinks = true;
        options.readTitles = true;
        options.recursive = true;
        options.outputName = c.outputName;
        options.form = c.form;
        {
            testing::ChangeDirectory cd(own.path("top"));
            ASSERT_TRUE(exportRecursive(options));
        }
        const auto check = testing::checkIndexLinks(own.path("top"), indexName);
        EXPECT_EQ(check.indexFiles, 5u) << indexName;
        EXPECT_EQ(check.linksFollowed, c.linksFollowed) << indexName;
        EXPECT_TRUE(check.broken.empty()) << ::testing::PrintToString(check.broken);
    }
}

}  // namespace
}  // namespace quilldex
