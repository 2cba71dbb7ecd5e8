// Recursive runs on POSIX trees with symbolic links, and output that fails
// to be written.
#include <gtest/gtest.h>

#include <filesystem>

#include "index/export_runs.h"
#include "platform/platform.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::ChangeDirectory;
using testing::readFile;
using testing::TempTree;
namespace fs = std::filesystem;

TEST(ExportRecursivePosix, LinksAreListedButNeverEnteredSoLoopsEnd)
{
    TempTree tree;
    tree.dir("top/a");
    tree.dir("outside");
    fs::create_directory_symlink("..", tree.path("top/a/loop"));
    fs::create_directory_symlink(tree.path("outside"), tree.path("top/away"));

    IndexOptions options;
    options.showSize = false;
    options.recursive = true;
    options.outputName = "index.html";
    const ChangeDirectory inside(tree.path("top"));
    int directories = 0;
    ASSERT_TRUE(exportRecursive(options, [&](const RecursiveProgress&) { ++directories; }));
    EXPECT_EQ(directories, 2);
    EXPECT_FALSE(fs::exists(tree.path("outside/index.html")));
    EXPECT_NE(readFile(tree.path("top/index.html")).find("<tr><td>away</td></tr>"), std::string::npos);
    EXPECT_NE(readFile(tree.path("top/a/index.html")).find("<tr><td>loop</td></tr>"), std::string::npos);
}

TEST(ExportRecursivePosix, AnIndexFileLinkedOutOfTheTreeIsNotWrittenThrough)
{
    TempTree tree;
    tree.file("victim.txt", "keep");
    tree.dir("top/sub");
    fs::create_symlink(tree.path("victim.txt"), tree.path("top/sub/index.html"));
    IndexOptions options;
    options.recursive = true;
    options.outputName = "index.html";
    const ChangeDirectory inside(tree.path("top"));
    EXPECT_TRUE(exportRecursive(options));
    EXPECT_EQ(readFile(tree.path("victim.txt")), "keep");
}

TEST(ExportSinglePosix, AFullDiskIsAFailure)
{
    TempTree tree;
    for (int i = 0; i < 10; ++i)
        tree.file("top/file-" + std::to_string(i));
    const ChangeDirectory inside(tree.path("top"));
    std::string reason;
    EXPECT_FALSE(exportSingle("/dev/full", IndexOptions{}, &reason));
    EXPECT_NE(reason.find("/dev/full"), std::string::npos) << reason;
}

}  // namespace
}  // namespace quilldex
