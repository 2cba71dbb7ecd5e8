// Single and recursive runs over real trees: where index files go, in
// which order, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "index/export_runs.h"
#include "platform/platform.h"
#include "run_helpers.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::ChangeDirectory;
using testing::creditLine;
using testing::headerRow;
using testing::here;
using testing::nameRow;
using testing::readFile;
using testing::recursiveOptions;
using testing::TempTree;
namespace fs = std::filesystem;

TEST(ExportSingle, WritesToAPathOutsideTheListedDirectory)
{
    TempTree tree;
    tree.file("top/a.txt");
    IndexOptions options;
    options.showSize = false;
    options.outputName = "elsewhere.html";
    const ChangeDirectory inside(tree.path("top"));
    ASSERT_TRUE(exportSingle(tree.path("elsewhere.html").string(), options));
    EXPECT_EQ(readFile(tree.path("elsewhere.html")), headerRow(false, false, false) + nameRow("a.txt") + creditLine());
    EXPECT_FALSE(fs::exists(tree.path("top/elsewhere.html")));
}

TEST(ExportSingle, AMaskMatchingNothingLeavesAnEmptyFileAndSucceeds)
{
    TempTree tree;
    tree.file("top/a.txt");
    IndexOptions options;
    options.fileMask = "*.none";
    const ChangeDirectory inside(tree.path("top"));
    ASSERT_TRUE(exportSingle(tree.path("out.html").string(), options));
    EXPECT_TRUE(fs::exists(tree.path("out.html")));
    EXPECT_EQ(fs::file_size(tree.path("out.html")), 0u);
}

TEST(ExportSingle, AnOutputThatCannotBeCreatedFailsWithTheReason)
{
    TempTree tree;
    tree.dir("top/blocked.html");  // a directory stands where the file would go
    const ChangeDirectory inside(tree.path("top"));
    std::string reason;
    EXPECT_FALSE(exportSingle(tree.path("top/blocked.html").string(), IndexOptions{}, &reason));
    EXPECT_NE(reason.find("blocked.html"), std::string::npos) << reason;
    EXPECT_FALSE(exportSingle(tree.path("missing/out.html").string(), IndexOptions{}));
    EXPECT_FALSE(fs::exists(tree.path("missing")));
}

TEST(ExportRecursive, WritesEveryDirectoryDepthFirstParentsFirstAndReturnsToTheTop)
{
    TempTree tree;
    tree.file("top/a/b/deep.txt");
    tree.file("top/a/mid.txt");
    tree.dir("top/c");
    tree.file("top/top.txt");
    const ChangeDirectory inside(tree.path("top"));

    std::vector<fs::path> order;
    ASSERT_TRUE(exportRecursive(recursiveOptions(), [&](const RecursiveProgress& progress) {
        order.push_back(testing::indexedPath(tree.path("top"), progress));
    }));
    EXPECT_EQ(order,
              (std::vector<fs::path>{tree.path("top"), tree.path("top/a"), tree.path("top/a/b"), tree.path("top/c")}));
    EXPECT_EQ(here(), tree.path("top"));

    const std::string header = headerRow(false, false, false);
    EXPECT_EQ(readFile(tree.path("top/index.html")),
              header + nameRow("..") + nameRow("a") + nameRow("c") + nameRow("top.txt") + creditLine());
    EXPECT_EQ(readFile(tree.path("top/a/index.html")),
              header + nameRow("..") + nameRow("b") + nameRow("mid.txt") + creditLine());
    EXPECT_EQ(readFile(tree.path("top/a/b/index.html")), header + nameRow("..") + nameRow("deep.txt") + creditLine());
    EXPECT_EQ(readFile(tree.path("top/c/index.html")), header + nameRow("..") + creditLine());
}

TEST(ExportRecursive, VisitsEveryDirectoryWhateverTheMask)
{
    TempTree tree;
    tree.file("top/notes.txt");
    tree.file("top/sub/page.html");
    tree.file("top/sub/deeper/more.txt");
    const ChangeDirectory inside(tree.path("top"));
    ASSERT_TRUE(exportRecursive(recursiveOptions("*.txt")));

    const std::string header = headerRow(false, false, false);
    EXPECT_EQ(readFile(tree.path("top/index.html")), header + nameRow("notes.txt") + creditLine());
    // Nothing in "sub" matches: its index is empty, but it is written and
    // the walk goes on below it.
    EXPECT_TRUE(fs::exists(tree.path("top/sub/index.html")));
    EXPECT_EQ(fs::file_size(tree.path("top/sub/index.html")), 0u);
    EXPECT_EQ(readFile(tree.path("top/sub/deeper/index.html")), header + nameRow("more.txt") + creditLine());
}

TEST(ExportRecursive, FailsWithNothingWrittenWhenTheTopIndexCannotBeCreated)
{
    TempTree tree;
    tree.dir("top/index.html");  // a directory stands where the index would go
    tree.dir("top/sub");
    const ChangeDirectory inside(tree.path("top"));
    std::string reason;
    EXPECT_FALSE(exportRecursive(recursiveOptions(), {}, &reason));
    EXPECT_NE(reason.find("index.html"), std::string::npos) << reason;
    EXPECT_FALSE(fs::exists(tree.path("top/sub/index.html")));
    EXPECT_EQ(here(), tree.path("top"));
}

TEST(ExportRecursive, ASubdirectoryWhoseIndexFailsIsSkippedWithItsSubtree)
{
    TempTree tree;
    tree.dir("top/a/index.html");
    tree.dir("top/a/below");
    tree.dir("top/b");
    const ChangeDirectory inside(tree.path("top"));
    ASSERT_TRUE(exportRecursive(recursiveOptions()));
    EXPECT_TRUE(fs::is_regular_file(tree.path("top/index.html")));
    EXPECT_FALSE(fs::exists(tree.path("top/a/below/index.html")));
    EXPECT_TRUE(fs::is_regular_file(tree.path("top/b/index.html")));
    EXPECT_EQ(here(), tree.path("top"));
}

TEST(ExportRecursive, CountsDirectoriesAndEntriesAsItGoes)
{
    TempTree tree;
    tree.file("top/one");
    tree.file("top/sub/two");
    const ChangeDirectory inside(tree.path("top"));
    RecursiveProgress last;
    ASSERT_TRUE(exportRecursive(recursiveOptions(), [&](const RecursiveProgress& p) { last = p; }));
    EXPECT_EQ(last.directories, 2u);
    EXPECT_EQ(last.entries, 5u);  // "..", "one", "sub" at the top; "..", "two" below
}

}  // namespace
}  // namespace quilldex
