// Runs that others interfere with while they write: a run ended by a signal
// at a chosen point (paused there through the fault-injection seam, so that
// nothing depends on timing), and a tree whose owner swaps a directory for
// a link to one outside while titles are read.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "index/export_runs.h"
#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "run_helpers.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::readFile;
using testing::recursiveOptions;
using testing::TempTree;
namespace fs = std::filesystem;

std::pair<long long, long long> modificationTime(const fs::path& path)
{
    struct stat status {};
    ::stat(path.c_str(), &status);
    return {status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

// The names in `directory` that are temporary files of a run.
std::vector<std::string> temporaryFiles(const fs::path& directory)
{
    std::vector<std::string> found;
    for (const auto& item : fs::directory_iterator(directory)) {
        const std::string name = item.path().filename().string();
        if (name.starts_with(platform::kTemporaryNamePrefix))
            found.push_back(name);
    }
    return found;
}

bool waitForTemporaryFile(const fs::path& directory)
{
    for (int i = 0; i < 30000; ++i) {
        if (!temporaryFiles(directory).empty())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

struct InterruptCase {
    int signalNumber;
    bool recursive;
    int files;
    int nthWrite;
    bool otherChange;
};

// A run in a child process that pauses at the `nth` write of its index and
// is then ended by `signalNumber`: the old index stays byte for byte, no
// temporary file remains, and the directory's time is back to what it was,
// unless another process changed the directory meanwhile (then its time
// must show that change).
void interruptRun(const InterruptCase& c)
{
    const std::string what = "signal " + std::to_string(c.signalNumber) + (c.recursive ? ", recursive" : "") + ", " +
                             std::to_string(c.files) + " files, write " + std::to_string(c.nthWrite);
    TempTree tree;
    for (int i = 0; i < c.files; ++i)
        tree.file("top/file-with-a-long-name-" + std::to_string(i) + ".txt");
    const auto index = tree.file("top/index.html", "the old index");
    testing::setLastWriteTime(tree.path("top"), 1000000000);
    const auto timeBefore = modificationTime(tree.path("top"));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::removeTemporaryFilesOnInterrupt();
        platform::injectPause(platform::FaultPoint::Write, c.nthWrite);
        IndexOptions options = recursiveOptions();
        options.directory = tree.path("top").string();
        if (c.recursive)
            exportRecursive(options);
        else
            exportSingle(index.string(), options);
        _exit(0);  // the run finished: it was never paused
    }
    const bool seen = waitForTemporaryFile(tree.path("top"));
    if (seen && c.otherChange) {
        // Past the timestamp granularity of file systems without
        // fine-grained times, so that the change shows in the time.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        tree.file("top/added.txt", "added meanwhile");
    }
    kill(child, seen ? c.signalNumber : SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(seen) << what << ": no temporary file appeared";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signalNumber) << what << ": status " << status;
    EXPECT_EQ(readFile(index), "the old index") << what;
    EXPECT_EQ(temporaryFiles(tree.path("top")), std::vector<std::string>{}) << what;
    if (c.otherChange)
        EXPECT_NE(modificationTime(tree.path("top")), timeBefore) << what;
    else
        EXPECT_EQ(modificationTime(tree.path("top")), timeBefore) << what;
}

TEST(InterruptedRun, ASignalAtAChosenWriteKeepsTheOldIndexLeavesNothingAndSetsTheTimeBack)
{
    const InterruptCase cases[] = {
        {SIGTERM, false, 3, 1, false}, {SIGINT, false, 3, 1, false},   {SIGHUP, false, 3, 1, false},
        {SIGTERM, true, 3, 1, false},  {SIGHUP, true, 3000, 3, false}, {SIGINT, false, 3000, 2, false},
    };
    for (const auto& c : cases)
        interruptRun(c);
}

// A file another process adds while the run is stopped at a write: the
// interrupt's cleanup leaves the directory's time as that change made it.
TEST(InterruptedRun, ASignalAfterAnotherChangeToTheDirectoryLeavesItsTimeChanged)
{
    for (const auto& c : {InterruptCase{SIGTERM, false, 3, 1, true}, InterruptCase{SIGINT, true, 3000, 2, true}})
        interruptRun(c);
}

// The tree's owner swaps `top/inner` between a real directory and a link to
// a directory outside the tree that only root may read, again and again,
// while runs read the title of `top/link.html` (a link into `inner`). No
// title from outside ever reaches an index, whichever way the link out is
// written.
TEST(TitleRace, ADirectorySwappedForALinkOutsideNeverLeaksATitle)
{
    constexpr int kRounds = 200;
    for (const bool absoluteLink : {false, true}) {
        TempTree tree;
        tree.file("top/inner/page.html", "<title>Inside</title>");
        tree.file("top/link.html");
        fs::remove(tree.path("top/link.html"));
        fs::create_symlink("inner/page.html", tree.path("top/link.html"));
        tree.file("outside/secret/page.html", "<title>SECRET</title>");
        fs::permissions(tree.path("outside/secret"), fs::perms::owner_all);
        // Exchanged into top/, a relative link leads to top/../outside.
        fs::create_directory_symlink(absoluteLink ? tree.path("outside/secret") : fs::path("../outside/secret"),
                                     tree.path("swap"));

        std::atomic<bool> stop{false};
        std::atomic<long> swaps{0};
        std::thread swapper([&] {
            while (!stop) {
                if (renameat2(AT_FDCWD, tree.path("top/inner").c_str(), AT_FDCWD, tree.path("swap").c_str(),
                              RENAME_EXCHANGE) == 0)
                    ++swaps;
            }
        });
        IndexOptions options;
        options.showSize = false;
        options.readTitles = true;
        options.fileMask = "*.html";
        options.directory = tree.path("top").string();
        int insideTitles = 0;
        for (int round = 0; round < kRounds; ++round) {
            const auto out = tree.path("out-" + std::to_string(round) + ".html");
            ASSERT_TRUE(exportSingle(out.string(), options));
            const std::string written = readFile(out);
            EXPECT_EQ(written.find("SECRET"), std::string::npos) << "round " << round << ": " << written;
            insideTitles += written.find("Inside") != std::string::npos;
        }
        stop = true;
        swapper.join();
        EXPECT_GT(swaps.load(), kRounds) << "the swap did not run alongside";
        // The link is followed where it stays inside (not a test that
        // passes by never following links).
        EXPECT_GT(insideTitles, 0);
        if (fs::is_symlink(tree.path("top/inner")))
            renameat2(AT_FDCWD, tree.path("top/inner").c_str(), AT_FDCWD, tree.path("swap").c_str(), RENAME_EXCHANGE);
    }
}

// The directories below `top` that hold an index, "." for the top.
std::vector<std::string> indexedDirectories(const fs::path& top)
{
    std::vector<std::string> indexed;
    for (const auto& item : fs::recursive_directory_iterator(top))
        if (item.path().filename() == "index.html")
            indexed.push_back(item.path().parent_path().lexically_relative(top).generic_string());
    std::sort(indexed.begin(), indexed.end());
    return indexed;
}

// Walks top/{a/{b,c},d} and, once a/b is indexed, moves `replaced` out of
// the tree (to moved/old) and makes a new directory of that name. With
// folder totals a directory's index is written after its subdirectories'.
void walkReplacing(TempTree& tree, const std::string& replaced, bool folderTotals)
{
    tree.file("top/a/b/b.txt");
    tree.file("top/a/c/c.txt");
    tree.file("top/d/d.txt");
    tree.dir("moved");
    const auto mutate = [&](const RecursiveProgress& progress) {
        if (progress.directory() != "a/b")
            return;
        fs::rename(tree.path("top/" + replaced), tree.path("moved/old"));
        tree.file("top/" + replaced + "/new.txt");
    };
    IndexOptions options = recursiveOptions();
    options.directory = tree.path("top").string();
    options.folderTotals = folderTotals;
    options.showSize = folderTotals;
    ASSERT_TRUE(exportRecursive(options, mutate));
}

// A sibling replaced before the walk comes to it: the one that stands in
// the tree now is indexed, with what it holds; the old one is not.
TEST(ReplacedDirectory, ASiblingStillToVisitIsIndexedAsItStandsInTheTree)
{
    for (const bool folderTotals : {false, true}) {
        TempTree tree;
        walkReplacing(tree, "d", folderTotals);
        EXPECT_EQ(indexedDirectories(tree.path("top")), (std::vector<std::string>{".", "a", "a/b", "a/c", "d"}));
        EXPECT_NE(readFile(tree.path("top/d/index.html")).find("new.txt"), std::string::npos);
        EXPECT_FALSE(fs::exists(tree.path("moved/old/index.html")));
    }
}

// A directory moved out of the tree while a subdirectory of it still waits:
// the walk, holding it open, must not follow it out and index the waiting
// subdirectory where it now lies.
TEST(ReplacedDirectory, APendingChildOfADirectoryMovedOutOfTheTreeIsNotIndexed)
{
    for (const bool folderTotals : {false, true}) {
        TempTree tree;
        walkReplacing(tree, "a", folderTotals);
        // a/'s own index and b/'s went with it; the new a/ was listed by no
        // one.
        EXPECT_EQ(indexedDirectories(tree.path("top")), (std::vector<std::string>{".", "d"}));
        EXPECT_FALSE(fs::exists(tree.path("moved/old/c/index.html")));
        EXPECT_FALSE(fs::exists(tree.path("index.html")));
        // With folder totals a/ waited for c/: it is not written where it
        // lies now, and its row has no total, which nobody counted.
        if (folderTotals) {
            EXPECT_FALSE(fs::exists(tree.path("moved/old/index.html")));
            EXPECT_NE(readFile(tree.path("top/index.html")).find("<tr><td>a</td><td>DIR</td></tr>"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace quilldex
