// The HEADER and README blocks of a page against real files: which name is
// taken, how each kind is shown, and what is left out with a note.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "index/markdown.h"
#include "index/readme_block.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::ChangeDirectory;
using testing::TempTree;

struct Shown {
    std::string block;
    std::vector<std::string> notes;
};

Shown shown(const TempTree& tree, ReadmeRole role, IndexOptions options, const std::string& place = "/docs/",
            PageEncoding encoding = PageEncoding::Utf8)
{
    Shown result;
    options.site.showReadme = true;
    options.site.note = [&result](const std::string& note) { result.notes.push_back(note); };
    const auto directory = platform::DirectoryHandle::open(tree.root().string());
    result.block = readmeBlock(role, options, DirectoryPlace{place, &directory, {}}, encoding);
    return result;
}

bool rendersMarkdown()
{
    return markdownToHtml("", "").has_value();
}

TEST(ReadmeBlock, TheFirstNameThereByKind)
{
    struct Case {
        std::vector<std::pair<std::string, std::string>> files;
        ReadmeRole role;
        std::string block;
    };
    const Case cases[] = {
        {{}, ReadmeRole::Readme, ""},
        {{{"README.txt", "a < b & c\r\nline\rend"}, {"README", "not this"}},
         ReadmeRole::Readme,
         "<div class=\"readme text\">\n<pre>\na &lt; b &amp; c\nline\nend</pre>\n</div>\n"},
        {{{"README", "\nfirst line blank"}, {"README.html", "<p>not this</p>"}},
         ReadmeRole::Readme,
         "<div class=\"readme text\">\n<pre>\n\nfirst line blank</pre>\n</div>\n"},
        // Bytes no page may hold, as the replacement character.
        {{{"README.txt", "bad \xff ctl \x01 ok \xc3\xa9"}},
         ReadmeRole::Readme,
         "<div class=\"readme text\">\n<pre>\nbad \xEF\xBF\xBD ctl \xEF\xBF\xBD ok \xc3\xa9</pre>\n</div>\n"},
        {{{"HEADER.txt", "above"}, {"README.txt", "below"}},
         ReadmeRole::Header,
         "<div class=\"readme-header text\">\n<pre>\nabove</pre>\n</div>\n"},
        {{{"HEADER.txt", "above"}, {"README.txt", "below"}},
         ReadmeRole::Readme,
         "<div class=\"readme text\">\n<pre>\nbelow</pre>\n</div>\n"},
        // A README file that is the index itself is not taken.
        {{{"README.txt", "x"}}, ReadmeRole::Readme, ""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        TempTree tree;
        for (const auto& [name, content] : cases[i].files)
            tree.file(name, content);
        IndexOptions options;
        options.outputName = i + 1 == std::size(cases) ? "README.txt" : "index.html";
        const Shown result = shown(tree, cases[i].role, options);
        EXPECT_EQ(result.block, cases[i].block);
        EXPECT_TRUE(result.notes.empty());
    }
}

// A page in a Windows code page: a UTF-8 file's characters as numeric
// references, valid in any encoding; a file in the code page as it is.
TEST(ReadmeBlock, OnACodePagePage)
{
    const std::pair<std::string, std::string> cases[] = {
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 <", "caf&#233; &#8364; &#128512; &lt;"},
        {"caf\xe9 \x80 <", "caf\xe9 \x80 &lt;"},
        {"ctl \x01\x7f\r\nend", "ctl &#xFFFD;&#xFFFD;\nend"},
    };
    for (const auto& [text, shownText] : cases) {
        TempTree tree;
        tree.file("README.txt", text);
        IndexOptions options;
        options.outputName = "index.html";
        EXPECT_EQ(shown(tree, ReadmeRole::Readme, options, "/", PageEncoding::CodePage).block,
                  "<div class=\"readme text\">\n<pre>\n" + shownText + "</pre>\n</div>\n");
    }
}

TEST(ReadmeBlock, LeftOutWithANote)
{
    struct Case {
        std::string name;
        std::string content;
        bool allowHtml;
        std::string note;  // "" when the file is shown
    };
    const Case cases[] = {
        {"README.html", "<p>x</p>", false,
         "readme(docs/README.html): left out, HTML is inserted only with --allow-html"},
        {"HEADER.html", "<p>x</p>", false,
         "readme(docs/HEADER.html): left out, HTML is inserted only with --allow-html"},
        {"README.html", "<p>x</p>", true, ""},
        {"README.txt", std::string(kLargestReadme + 1, 'x'), false,
         "readme(docs/README.txt): left out, larger than 256 KiB"},
        {"README.txt", std::string(kLargestReadme, 'x'), false, ""},
        {"README.md", std::string(300 * 1024, '#'), false, "readme(docs/README.md): left out, larger than 256 KiB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.content.size()));
        TempTree tree;
        tree.file(c.name, c.content);
        IndexOptions options;
        options.outputName = "index.html";
        options.site.allowHtml = c.allowHtml;
        const ReadmeRole role = c.name.starts_with("HEADER") ? ReadmeRole::Header : ReadmeRole::Readme;
        const Shown result = shown(tree, role, options);
        if (c.note.empty()) {
            EXPECT_NE(result.block, "");
            EXPECT_TRUE(result.notes.empty());
        } else {
            EXPECT_EQ(result.block, "");
            EXPECT_EQ(result.notes, std::vector<std::string>{c.note});
        }
    }
}

TEST(ReadmeBlock, HtmlAsItIsWhenAllowed)
{
    TempTree tree;
    tree.file("HEADER.html", "<p class=\"x\">Hi &amp; <b>bold</b></p>\r\n");
    IndexOptions options;
    options.outputName = "index.html";
    options.site.allowHtml = true;
    EXPECT_EQ(shown(tree, ReadmeRole::Header, options).block,
              "<div class=\"readme-header html\">\n<p class=\"x\">Hi &amp; <b>bold</b></p>\n</div>\n");
}

// Only a regular file is read, and the README names after the first one
// there are not tried. (Links, FIFOs and devices: cells_posix_test.cpp.)
TEST(ReadmeBlock, ADirectoryOfTheNameIsNotRead)
{
    TempTree tree;
    tree.dir("README.md");
    tree.file("README", "the fallback");
    IndexOptions options;
    options.outputName = "index.html";
    const Shown result = shown(tree, ReadmeRole::Readme, options, "/");
    EXPECT_EQ(result.block, "");
    EXPECT_EQ(result.notes,
              std::vector<std::string>{"readme(README.md): left out, not a regular file (a link is not followed)"});
}

// A build without a Markdown library (the Windows programs) shows the
// text as it is.
TEST(ReadmeBlock, MarkdownAsTextWithoutALibrary)
{
    if (rendersMarkdown())
        return;
    TempTree tree;
    tree.file("README.md", "# Title\n<script>x</script> & [a](javascript:x)");
    IndexOptions options;
    options.outputName = "index.html";
    EXPECT_EQ(shown(tree, ReadmeRole::Readme, options).block,
              "<div class=\"readme text\">\n<pre>\n# Title\n&lt;script&gt;x&lt;/script&gt; &amp; "
              "[a](javascript:x)</pre>\n</div>\n");
}

TEST(ReadmeBlock, MarkdownRenderedSafely)
{
    if (!rendersMarkdown())
        return;  // MarkdownAsTextWithoutALibrary
    struct Case {
        std::string markdown;
        std::string linkPrefix;
        std::string html;
    };
    const Case cases[] = {
        {"# Title\n\nSome *text*.", "", "<h1>Title</h1>\n<p>Some <em>text</em>.</p>\n"},
        {"| a | b |\n|:-:|--:|\n| 1 | 2 |\n", "",
         "<table>\n<thead>\n<tr>\n<th style=\"text-align: center\">a</th>\n<th style=\"text-align: right\">b</th>\n"
         "</tr>\n</thead>\n<tbody>\n<tr>\n<td style=\"text-align: center\">1</td>\n"
         "<td style=\"text-align: right\">2</td>\n</tr>\n</tbody>\n</table>\n"},
        // Raw HTML and script never reach the page.
        {"<script>alert(1)</script>\n\nx <img src=x onerror=alert(1)>", "",
         "<!-- raw HTML omitted -->\n<p>x <!-- raw HTML omitted --></p>\n"},
        {"[a](javascript:alert(1)) [b](JavaScript:x) [c](data:text/html,x) [d](vbscript:x) [e](file:///etc/passwd)", "",
         "<p><a href=\"\">a</a> <a href=\"\">b</a> <a href=\"\">c</a> <a href=\"\">d</a> <a href=\"\">e</a></p>\n"},
        // An image whose source is refused shows its description.
        {"![a *b*](javascript:x) ![c](data:image/png;base64,AAAA) ![d]()", "", "<p>a <em>b</em> c d</p>\n"},
        // Relative targets resolve as the names of the listing do.
        {"[s](sub/x.md#y) ![i](pic.png) [r](/root) [h](https://example.org/) [f](#top) [q](?a=1)", "",
         "<p><a href=\"sub/x.md#y\">s</a> <img src=\"pic.png\" alt=\"i\" /> <a href=\"/root\">r</a> "
         "<a href=\"https://example.org/\">h</a> <a href=\"#top\">f</a> <a href=\"?a=1\">q</a></p>\n"},
        {"[s](sub/x.md#y) ![i](pic.png) [r](/root) [h](https://example.org/) [f](#top)", "https://files.example/pub/",
         "<p><a href=\"https://files.example/pub/sub/x.md#y\">s</a> "
         "<img src=\"https://files.example/pub/pic.png\" alt=\"i\" /> <a href=\"/root\">r</a> "
         "<a href=\"https://example.org/\">h</a> <a href=\"#top\">f</a></p>\n"},
        // What no page may hold, as the replacement character.
        {"bad \xff ctl \x01 ok", "", "<p>bad \xEF\xBF\xBD ctl &#xFFFD; ok</p>\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.markdown);
        TempTree tree;
        tree.file("README.md", c.markdown);
        IndexOptions options;
        options.outputName = "index.html";
        options.linkPrefix = c.linkPrefix;
        EXPECT_EQ(shown(tree, ReadmeRole::Readme, options).block,
                  "<div class=\"readme markdown\">\n" + c.html + "</div>\n");
    }
}

}  // namespace
}  // namespace quilldex
