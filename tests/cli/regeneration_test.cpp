// quilldex-cli run again and again over the same tree, as a cron job would:
// a second run changes nothing, --check tells what is stale, files it did
// not write are kept, and a partial run says so.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "support/run_command.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::CommandResult;
using testing::readFile;
using testing::runCommand;
using testing::TempTree;
namespace fs = std::filesystem;

const fs::path kProgram = QUILLDEX_CLI_PATH;

// Runs quilldex-cli through the shell, after the shell commands `before`,
// under a time limit so that a run that hangs fails (124).
CommandResult runCli(const std::vector<std::string>& arguments, const fs::path& where,
                     const std::string& before = "", int seconds = 60)
{
    std::vector<std::string> shellArguments{std::to_string(seconds), "/bin/sh", "-c", before + "exec \"$0\" \"$@\"",
                                            kProgram.string()};
    shellArguments.insert(shellArguments.end(), arguments.begin(), arguments.end());
    return runCommand("/usr/bin/timeout", shellArguments, where);
}

// Everything a run could change about each path below `root`: content,
// inode and modification time (to the nanosecond).
using State = std::map<std::string, std::tuple<std::string, ino_t, long long, long long>>;

State stateOf(const fs::path& root)
{
    State state;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        struct stat status;
        lstat(item.path().c_str(), &status);
        const auto relative = item.path().lexically_relative(root).string();
        state[relative] = {item.is_regular_file() ? readFile(item.path()) : std::string(), status.st_ino,
                           static_cast<long long>(status.st_mtim.tv_sec),
                           static_cast<long long>(status.st_mtim.tv_nsec)};
    }
    return state;
}

void makeTree(TempTree& tree)
{
    tree.file("site/page.html", "<title>Page</title>");
    tree.file("site/a/notes.txt", "notes");
    tree.file("site/a/deep/more.html", "<title>More</title>");
    tree.file("site/b/data.bin", "0123456789");
}

TEST(Regeneration, ASecondRunChangesNothingAndCheckNamesExactlyTheStaleIndexes)
{
    TempTree tree;
    makeTree(tree);
    const std::vector<std::string> options{"-r", "--time", "--date", "-l", "-t"};
    auto first = runCli(options, tree.path("site"));
    ASSERT_EQ(first.exitCode, 0) << first.standardError;
    const State afterFirst = stateOf(tree.root());

    const auto second = runCli(options, tree.path("site"));
    ASSERT_EQ(second.exitCode, 0) << second.standardError;
    EXPECT_EQ(stateOf(tree.root()), afterFirst);

    auto check = options;
    check.insert(check.begin(), "--check");
    check.push_back("site");
    auto result = runCli(check, tree.root());
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "");

    // A file's new time shows in its directory's index only; a new
    // directory needs an index of its own and shows in its parent's.
    testing::setLastWriteTime(tree.path("site/a/notes.txt"), 1000000000);
    const auto bTime = fs::last_write_time(tree.path("site/b"));
    tree.dir("site/b/new");
    fs::last_write_time(tree.path("site/b"), bTime);  // else the top's index would show b's new time
    result = runCli(check, tree.root());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardOutput, "site/a/index.html\nsite/b/index.html\nsite/b/new/index.html\n");
    EXPECT_EQ(result.standardError, "");

    auto single = runCli({"--check", "-o", "a/index.html", "a"}, tree.path("site"));
    EXPECT_EQ(single.exitCode, 1);
    EXPECT_EQ(single.standardOutput, "a/index.html\n");
    EXPECT_EQ(stateOf(tree.root()).size(), afterFirst.size() + 1);  // only the new directory
}

TEST(Regeneration, AFileOfTheIndexNameThatWasNotWrittenHereIsKeptUnlessForced)
{
    TempTree tree;
    makeTree(tree);
    tree.file("site/a/index.html", "<html>my own page</html>");
    auto result = runCli({"-r"}, tree.path("site"));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardError.find("quilldex-cli: replace(a/index.html): "), 0u) << result.standardError;
    EXPECT_EQ(result.standardError.find('\n'), result.standardError.size() - 1) << result.standardError;
    EXPECT_EQ(readFile(tree.path("site/a/index.html")), "<html>my own page</html>");
    // The walk goes on below it and beside it.
    EXPECT_TRUE(fs::exists(tree.path("site/a/deep/index.html")));
    EXPECT_TRUE(fs::exists(tree.path("site/b/index.html")));

    // Its own files it replaces without --force.
    tree.file("site/b/new.txt");
    result = runCli({"-r", "-o", "index.html"}, tree.path("site/b"));
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_NE(readFile(tree.path("site/b/index.html")).find("new.txt"), std::string::npos);

    result = runCli({"-r", "--force"}, tree.path("site"));
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_NE(readFile(tree.path("site/a/index.html")).find("notes.txt"), std::string::npos);
}

TEST(Regeneration, ADirectoryThatCanBeEnteredButNotListedIsReportedAndKeepsItsIndex)
{
    TempTree tree;
    tree.file("top/a/file.txt");
    tree.file("top/locked/index.html", "old index");
    tree.file("top/locked/below/file.txt");
    tree.file("top/z/file.txt");
    for (const auto& item : fs::recursive_directory_iterator(tree.root()))
        if (item.is_directory())
            fs::permissions(item.path(), fs::perms::all);
    fs::permissions(tree.root(), fs::perms::all);
    fs::permissions(tree.path("top/locked/index.html"), fs::perms::all);
    // Others may enter but not list it.
    fs::permissions(tree.path("top/locked"), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);

    const std::string unprivileged = geteuid() == 0 ? "exec setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" \"$@\"; " : "";
    const auto result = runCli({"-r"}, tree.path("top"), unprivileged);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardError, "quilldex-cli: opendir(locked): Permission denied\n");
    EXPECT_EQ(readFile(tree.path("top/locked/index.html")), "old index");
    EXPECT_FALSE(fs::exists(tree.path("top/locked/below/index.html")));
    EXPECT_TRUE(fs::exists(tree.path("top/a/index.html")));
    EXPECT_TRUE(fs::exists(tree.path("top/z/index.html")));
}

// A chain of directories made, read and removed through two descriptors at
// a time, since its paths are far longer than the system accepts.
class DeepChain {
public:
    DeepChain(const fs::path& top, int levels) : top_(top), levels_(levels)
    {
        int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 1; i <= levels && fd >= 0; ++i) {
            mkdirat(fd, "d", 0755);
            const int child = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            close(fd);
            fd = child;
        }
        if (fd >= 0)
            close(fd);
    }

    ~DeepChain()
    {
        int fd = bottom();
        for (int i = levels_; i >= 0 && fd >= 0; --i) {
            unlinkat(fd, "index.html", 0);
            if (i < levels_)
                unlinkat(fd, "d", AT_REMOVEDIR);
            const int parent = i > 0 ? openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
            close(fd);
            fd = parent;
        }
    }

    // How many levels, from the top down, hold an index file.
    int levelsIndexed() const
    {
        int count = 0;
        int fd = open(top_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 0; i <= levels_ && fd >= 0; ++i) {
            if (faccessat(fd, "index.html", F_OK, 0) == 0)
                ++count;
            const int child = i < levels_ ? openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
            close(fd);
            fd = child;
        }
        return count;
    }

private:
    int bottom() const
    {
        int fd = open(top_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 0; i < levels_ && fd >= 0; ++i) {
            const int child = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            close(fd);
            fd = child;
        }
        return fd;
    }

    fs::path top_;
    int levels_;
};

TEST(Regeneration, ATreeThirtyThousandLevelsDeepIsIndexedWithFewDescriptors)
{
    constexpr int kLevels = 30000;
    TempTree tree;
    tree.dir("top");
    const DeepChain chain(tree.path("top"), kLevels);
    // About 15 s of processor time under the sanitizers; the limit leaves
    // room for a machine busy with other work.
    const auto result = runCli({"-r", "-q"}, tree.path("top"), "ulimit -n 64 && ", 600);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.substr(0, 2000);
    EXPECT_EQ(chain.levelsIndexed(), kLevels + 1);
}

TEST(Regeneration, ARelativeOutputWhoseStartDirectoryIsGoneWritesNothing)
{
    TempTree tree;
    tree.file("top/out.html", "keep");
    tree.dir("gone");
    // The shell starts in a directory that it then removes.
    const auto result =
        runCli({"-o", "out.html", tree.path("top").string()}, tree.path("gone"), "rmdir \"$PWD\" && ");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.standardError.find("out.html"), std::string::npos) << result.standardError;
    EXPECT_EQ(readFile(tree.path("top/out.html")), "keep");
}

}  // namespace
}  // namespace quilldex
