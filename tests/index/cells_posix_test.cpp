// Cases that need what only POSIX file systems have: FIFOs, devices, and
// names holding bytes that Windows refuses.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "index/document_title.h"
#include "index/export_runs.h"
#include "index/index_writer.h"
#include "link_check.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::TempTree;

// A read that blocks would hang the test for good; the alarm ends it with
// a failure instead.
class NoHang {
public:
    NoHang() { alarm(20); }
    ~NoHang() { alarm(0); }
};

TEST(TitlesPosix, FifosAndDevicesAreNeverRead)
{
    NoHang guard;
    TempTree tree;
    ASSERT_EQ(mkfifo(tree.path("pipe.html").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", tree.path("zero.html"));
    tree.file("real.html", "<title>Real</title>");
    std::filesystem::create_symlink("real.html", tree.path("link.html"));
    testing::ChangeDirectory cd(tree.root());

    TitleBuffer buffer;
    const auto here = platform::DirectoryHandle::open(".");
    const platform::LinkBoundary inside{&here, ""};
    EXPECT_EQ(readDocumentTitle(here, "pipe.html", buffer, inside), std::nullopt);
    EXPECT_EQ(readDocumentTitle(here, "zero.html", buffer, inside), std::nullopt);
    // A link to a regular file is read like the file.
    EXPECT_EQ(readDocumentTitle(here, "link.html", buffer, inside), "Real");

    IndexOptions options;
    options.outputName = "index.html";
    options.readTitles = true;
    options.showSize = false;
    TempTree out;
    ASSERT_TRUE(exportSingle(out.path("index.html").string(), options));
    EXPECT_EQ(testing::readFile(out.path("index.html")), testing::headerRow(false, false, false) +
                                                             "<tr><td>Real</td></tr>\r\n"
                                                             "<tr><td>pipe.html</td></tr>\r\n"
                                                             "<tr><td>Real</td></tr>\r\n"
                                                             "<tr><td>zero.html</td></tr>\r\n" +
                                                             testing::creditLine());
}

// A README that is a FIFO, a device (through a link) or a link to a file is
// never opened, and the page is written all the same, without it.
TEST(ReadmePosix, FifosDevicesAndLinksAreNeverRead)
{
    NoHang guard;
    TempTree outside;
    const auto secret = outside.file("secret.md", "# secret");
    for (const char* kind : {"fifo", "device", "link"}) {
        SCOPED_TRACE(kind);
        TempTree tree;
        const auto readme = tree.path("README.md");
        if (std::string_view(kind) == "fifo")
            ASSERT_EQ(mkfifo(readme.c_str(), 0600), 0);
        else
            std::filesystem::create_symlink(std::string_view(kind) == "device" ? "/dev/zero" : secret.c_str(), readme);
        tree.file("README.txt", "not shown: the first name there is the README");

        IndexOptions options;
        options.outputName = "index.html";
        options.form = OutputForm::Page;
        options.site.showReadme = true;
        std::vector<std::string> notes;
        options.site.note = [&notes](const std::string& note) { notes.push_back(note); };
        TempTree out;
        {
            testing::ChangeDirectory cd(tree.root());
            ASSERT_TRUE(exportSingle(out.path("index.html").string(), options));
        }
        const std::string page = testing::readFile(out.path("index.html"));
        EXPECT_EQ(page.find("class=\"readme"), std::string::npos);
        EXPECT_EQ(page.find("secret"), std::string::npos);
        EXPECT_EQ(notes,
                  std::vector<std::string>{"readme(README.md): left out, not a regular file (a link is not followed)"});
    }
}

// A link is read for a title only where it leads to a file inside the top
// of the run, from whatever depth; one leading out shows its name.
TEST(TitlesPosix, LinksAreFollowedForTitlesOnlyInsideTheTop)
{
    NoHang guard;
    TempTree tree;
    tree.file("secret.html", "<title>Secret</title>");
    tree.file("top/page.html", "<title>Top</title>");
    tree.file("top/sub/own.html", "<title>Own</title>");
    std::filesystem::create_symlink("../page.html", tree.path("top/sub/up.html"));
    std::filesystem::create_symlink("../../secret.html", tree.path("top/sub/out.html"));
    std::filesystem::create_symlink(tree.path("secret.html"), tree.path("top/sub/absolute.html"));
    // Out of the top and back in: not followed, as no step may leave it.
    std::filesystem::create_symlink("../../top/page.html", tree.path("top/sub/round.html"));
    std::filesystem::create_symlink("/dev/zero", tree.path("top/sub/device.html"));

    IndexOptions options;
    options.outputName = "index.html";
    options.readTitles = true;
    options.showSize = false;
    options.recursive = true;
    options.directory = std::filesystem::canonical(tree.path("top")).string();
    testing::ChangeDirectory cd(tree.path("top"));
    ASSERT_TRUE(exportRecursive(options));
    EXPECT_EQ(testing::readFile(tree.path("top/sub/index.html")), testing::headerRow(false, false, false) +
                                                                      "<tr><td>..</td></tr>\r\n"
                                                                      "<tr><td>absolute.html</td></tr>\r\n"
                                                                      "<tr><td>device.html</td></tr>\r\n"
                                                                      "<tr><td>out.html</td></tr>\r\n"
                                                                      "<tr><td>Own</td></tr>\r\n"
                                                                      "<tr><td>round.html</td></tr>\r\n"
                                                                      "<tr><td>Top</td></tr>\r\n" +
                                                                      testing::creditLine());
}

TEST(NameCellPosix, RecursiveLinksWithOddBytesResolve)
{
    TempTree tree;
    const auto top = tree.dir("top");
    for (const char* name : {"top/a:b", "top/a?b", "top/a\\b", "top/<b>", "top/caf\xe9", "top/tab\there",
                             "top/q\"uote/inner|pipe*.txt", "top/line\nbreak/x"})
        tree.file(name, "x");
    // A link to a directory is listed and linked, but the walk does not
    // enter it, so its link has no index behind it.
    tree.dir("outside");
    std::filesystem::create_directory_symlink("../outside", tree.path("top/linked"));

    IndexOptions options;
    options.outputName = "index.html";
    options.makeLinks = true;
    options.recursive = true;
    {
        testing::ChangeDirectory cd(top);
        ASSERT_TRUE(exportRecursive(options));
    }
    EXPECT_FALSE(std::filesystem::exists(tree.path("outside/index.html")));
    const auto check = testing::checkIndexLinks(top, "index.html");
    EXPECT_EQ(check.indexFiles, 3u);
    // Top: six files and two directories; each subdirectory: its entry and "..".
    EXPECT_EQ(check.linksFollowed, 12u);
    EXPECT_TRUE(check.broken.empty()) << ::testing::PrintToString(check.broken);
}

}  // namespace
}  // namespace quilldex
