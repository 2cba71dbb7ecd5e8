// The index table as a whole file: skeleton, line ends, which entries are
// listed, and the mask.
#include <gtest/gtest.h>

#include "index/export_runs.h"
#include "index/index_writer.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using platform::OutputStream;

using testing::ChangeDirectory;
using testing::creditLine;
using testing::headerRow;
using testing::nameRow;
using testing::readFile;
using testing::TempTree;

IndexOptions nameOnly()
{
    IndexOptions options;
    options.showSize = false;
    return options;
}

// Indexes `listed` into the file `out` (outside it) and returns the file.
std::string indexOf(const std::filesystem::path& listed, const std::filesystem::path& out, const IndexOptions& options)
{
    const ChangeDirectory inside(listed);
    EXPECT_TRUE(exportSingle(out.string(), options));
    return readFile(out);
}

class IndexWriterTest : public ::testing::Test {
protected:
    TempTree tree;
    std::filesystem::path listed = tree.dir("listed");
    std::filesystem::path out = tree.path("out.html");
};

TEST_F(IndexWriterTest, SkeletonHasCrLfAfterEachRowAndNoLineEndAfterTheCredit)
{
    tree.file("listed/b.txt", "x");
    tree.file("listed/a.txt", "x");
    IndexOptions options = nameOnly();
    options.outputName = "out.html";
    EXPECT_EQ(indexOf(listed, out, options),
              headerRow(false, false, false) + nameRow("a.txt") + nameRow("b.txt") + creditLine());
}

TEST_F(IndexWriterTest, HeaderCellsFollowTheEnabledColumnsInOrder)
{
    tree.dir("listed/sub");
    struct Case {
        bool size, time, date;
    };
    for (const Case c : {Case{true, false, false}, Case{false, true, false}, Case{false, false, true},
                         Case{true, true, true}, Case{false, false, false}}) {
        IndexOptions options = nameOnly();
        options.showSize = c.size;
        options.showTime = c.time;
        options.showDate = c.date;
        options.fileMask = "sub";  // selects a directory only: header and closing, no rows
        EXPECT_EQ(indexOf(listed, out, options), headerRow(c.size, c.time, c.date) + creditLine());
    }
}

TEST_F(IndexWriterTest, SingleRunListsFilesOnlyAndRecursiveRunAddsDirectoriesAndDotDot)
{
    tree.file("listed/file.txt");
    tree.dir("listed/sub");
    tree.file("listed/Zed");

    IndexOptions single = nameOnly();
    EXPECT_EQ(indexOf(listed, out, single),
              headerRow(false, false, false) + nameRow("file.txt") + nameRow("Zed") + creditLine());

    IndexOptions recursive = nameOnly();
    recursive.recursive = true;
    EXPECT_EQ(indexOf(listed, out, recursive), headerRow(false, false, false) + nameRow("..") + nameRow("file.txt") +
                                                   nameRow("sub") + nameRow("Zed") + creditLine());
}

TEST_F(IndexWriterTest, TheEntryNamedLikeTheOutputIsLeftOutByExactName)
{
    tree.file("listed/index.html");
    tree.file("listed/other.html");
    struct Case {
        std::string outputName;
        std::string rows;
    } cases[] = {
        {"index.html", nameRow("other.html")},
        {"Index.html", nameRow("index.html") + nameRow("other.html")},
        {"", nameRow("index.html") + nameRow("other.html")},
    };
    for (const auto& c : cases) {
        IndexOptions options = nameOnly();
        options.outputName = c.outputName;
        EXPECT_EQ(indexOf(listed, out, options), headerRow(false, false, false) + c.rows + creditLine())
            << c.outputName;
    }
}

TEST_F(IndexWriterTest, MaskSelectsEntriesAndAMaskMatchingNothingGivesAnEmptyFile)
{
    tree.file("listed/page.htm");
    tree.file("listed/page.html");
    tree.file("listed/notes.txt");
    tree.file("listed/README");
    tree.dir("listed/only.dir");
    struct Case {
        std::string mask;
        std::string expected;
    } cases[] = {
        {"*.html", headerRow(false, false, false) + nameRow("page.html") + creditLine()},
        // Not "*.HTM": Windows also matches masks against 8.3 short names,
        // and page.html is PAGE~1.HTM there.
        {"*.HTML", headerRow(false, false, false) + nameRow("page.html") + creditLine()},
        {"*", headerRow(false, false, false) + nameRow("notes.txt") + nameRow("page.htm") + nameRow("page.html") +
                  nameRow("README") + creditLine()},
        {"*.dir", headerRow(false, false, false) + creditLine()},  // only a skipped directory
        {"*.none", ""},
    };
    for (const auto& c : cases) {
        IndexOptions options = nameOnly();
        options.fileMask = c.mask;
        EXPECT_EQ(indexOf(listed, out, options), c.expected) << c.mask;
    }
}

TEST_F(IndexWriterTest, EntriesComeInCaseFoldedNameOrderWithTiesByBytes)
{
    for (const char* name : {"b", "B", "a_", "A1", "_x", "a", "~"})
        tree.file(std::string("listed/") + name);
    if (std::filesystem::equivalent(listed / "b", listed / "B"))
        GTEST_SKIP() << "this file system folds case (as Windows does), so \"B\" and \"b\" are one file";
    // Letters compare as capitals, so '_' (0x5F) sorts after them and
    // before '~'; "B" and "b" tie and are then ordered by their bytes.
    EXPECT_EQ(indexOf(listed, out, nameOnly()), headerRow(false, false, false) + nameRow("a") + nameRow("A1") +
                                                    nameRow("a_") + nameRow("B") + nameRow("b") + nameRow("_x") +
                                                    nameRow("~") + creditLine());
}

TEST_F(IndexWriterTest, TheWriterReturnsTheNumberOfRows)
{
    tree.file("listed/one");
    tree.file("listed/two");
    const ChangeDirectory inside(listed);
    OutputStream stream;
    ASSERT_TRUE(stream.open(out.string()));
    EXPECT_EQ(writeIndexTable(stream, platform::DirectoryHandle::open("."), nameOnly()), 2u);
    EXPECT_TRUE(stream.close());
}

}  // namespace
}  // namespace quilldex
