// quilldex-cli run again and again over the same tree, as a cron job would:
// a second run changes nothing, --check tells what is stale, files it did
// not write are kept, and a partial run says so.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

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
CommandResult runCli(const std::vector<std::string>& arguments, const fs::path& where, const std::string& before = "",
                     int seconds = 60)
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
    // Kept with one note, which is no failure.
    auto result = runCli({"-r"}, tree.path("site"));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardError,
              "quilldex-cli: kept(a/index.html): not written by this program; --force replaces it\n");
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

    // Every form it writes it knows again, a page by its end and JSON by
    // its start, however long the file.
    for (int i = 0; i < 40; ++i)
        tree.file("site/b/file-with-a-rather-long-name-" + std::to_string(i) + ".txt");
    for (const auto& form :
         {std::vector<std::string>{"--page"}, std::vector<std::string>{"--json", "-o", "index.json"}}) {
        auto arguments = form;
        arguments.insert(arguments.begin(), "-r");
        result = runCli(arguments, tree.path("site"));
        EXPECT_EQ(result.exitCode, 0) << result.standardError;
        tree.file("site/b/one-more.txt");
        result = runCli(arguments, tree.path("site"));
        EXPECT_EQ(result.exitCode, 0) << form[0] << ": " << result.standardError;
        fs::remove(tree.path("site/b/one-more.txt"));
    }
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

    const std::string unprivileged =
        geteuid() == 0 ? "exec setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" \"$@\"; " : "";
    const auto result = runCli({"-r"}, tree.path("top"), unprivileged);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardError, "quilldex-cli: open(locked): Permission denied\n");
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

// The program itself ended by a signal while it writes: the moment its
// temporary file appears (seen through inotify), the signal is sent. On a
// busy machine the run may finish first; the round is then made again with
// the old index put back, so that the outcome never depends on timing.
// (index_concurrent_changes_test interrupts a run at a chosen write,
// paused through the fault-injection seam.)
TEST(Regeneration, ARunEndedBySignalKeepsTheOldIndexAndLeavesNoTemporaryFile)
{
    TempTree tree;
    for (int i = 0; i < 20000; ++i)
        tree.file("top/file-" + std::to_string(i) + ".txt");
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        int status = 0;
        bool sent = false;
        for (int attempt = 0; attempt < 20; ++attempt) {
            tree.file("top/index.html", "the old index");
            const int watch = inotify_init1(IN_CLOEXEC);
            ASSERT_GE(watch, 0);
            ASSERT_GE(inotify_add_watch(watch, tree.path("top").c_str(), IN_CREATE), 0);
            const pid_t child = fork();
            if (child == 0) {
                ::chdir(tree.path("top").c_str());
                execl(kProgram.c_str(), "quilldex-cli", "--time", "--date", "-s", "bytes", "-o", "index.html",
                      static_cast<char*>(nullptr));
                _exit(127);
            }
            sent = false;
            alignas(inotify_event) char events[4096];
            pollfd ready{watch, POLLIN, 0};
            while (!sent && poll(&ready, 1, 30000) == 1) {
                const ssize_t n = read(watch, events, sizeof events);
                for (ssize_t at = 0; at < n;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                    if (event->len > 0 && std::string_view(event->name).starts_with(".quilldex-") && !sent) {
                        kill(child, signalNumber);
                        sent = true;
                    }
                    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                }
            }
            close(watch);
            waitpid(child, &status, 0);
            if (!sent || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
                break;  // else the run finished before the signal came
        }
        ASSERT_TRUE(sent) << "no temporary file was seen";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
        EXPECT_EQ(readFile(tree.path("top/index.html")), "the old index") << signalNumber;
        std::size_t files = 0;
        for (const auto& item : fs::directory_iterator(tree.path("top"))) {
            ++files;
            EXPECT_FALSE(item.path().filename().string().starts_with(".quilldex-")) << item.path();
        }
        EXPECT_EQ(files, 20001u);
    }
}

// The tree of a test that mounts file systems into it. It is made before
// the mounts, so it is deleted after they are unmounted, and it is deleted
// without crossing into another file system: should an unmount fail, the
// deletion must not empty what is mounted there (the source of a bind
// mount is a real folder).
class MountingTree : public TempTree {
public:
    ~MountingTree() { runCommand("/bin/rm", {"-rf", "--one-file-system", root().string()}, "/"); }
};

// A file system mounted for one test, unmounted before the test's tree is
// deleted.
class Mount {
public:
    Mount(const fs::path& where, const std::vector<std::string>& arguments) : where_(where)
    {
        fs::create_directories(where);
        std::vector<std::string> command = arguments;
        command.push_back(where.string());
        mounted_ = runCommand("/bin/mount", command, "/").exitCode == 0;
    }
    ~Mount()
    {
        // Detached lazily where it is busy, so that it is gone before the
        // tree that holds it is deleted.
        if (mounted_ && runCommand("/bin/umount", {where_.string()}, "/").exitCode != 0)
            runCommand("/bin/umount", {"-l", where_.string()}, "/");
    }
    Mount(const Mount&) = delete;
    Mount& operator=(const Mount&) = delete;
    bool mounted() const { return mounted_; }

private:
    fs::path where_;
    bool mounted_ = false;
};

class SmallDisk : public Mount {
public:
    SmallDisk(const fs::path& where, const char* size)
        : Mount(where, {"-t", "tmpfs", "-o", std::string("size=") + size, "tmpfs"})
    {
    }
};

TEST(Regeneration, AFullDiskKeepsEveryOldIndexAndNamesTheDirectoriesItCouldNotWrite)
{
    MountingTree tree;
    const SmallDisk disk(tree.path("disk"), "1m");
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here";
    tree.file("disk/top/small/a.txt");
    for (int i = 0; i < 300; ++i)
        tree.file("disk/top/big/file-with-a-long-name-" + std::to_string(i) + ".txt");
    tree.file("disk/top/big/index.html", "the old index of big");
    // Fill the disk, then free two pages: enough for a small index, not
    // for the big one.
    tree.file("disk/reserve", std::string(8192, 'r'));
    {
        std::FILE* filler = std::fopen(tree.path("disk/filler").c_str(), "wb");
        ASSERT_NE(filler, nullptr);
        const std::string block(4096, 'f');
        while (std::fwrite(block.data(), 1, block.size(), filler) == block.size()) {
        }
        std::fclose(filler);
    }
    fs::remove(tree.path("disk/reserve"));

    const auto result = runCli({"-r", "--force"}, tree.path("disk/top"));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardError.find("quilldex-cli: "), 0u) << result.standardError;
    EXPECT_NE(result.standardError.find("(big/index.html): No space left on device\n"), std::string::npos)
        << result.standardError;
    EXPECT_EQ(readFile(tree.path("disk/top/big/index.html")), "the old index of big");
    EXPECT_TRUE(fs::exists(tree.path("disk/top/index.html")));
    for (const auto& item : fs::recursive_directory_iterator(tree.path("disk/top")))
        EXPECT_FALSE(item.path().filename().string().starts_with(".quilldex-")) << item.path();
}

TEST(Regeneration, OneFileSystemListsButDoesNotEnterAnotherFileSystem)
{
    MountingTree tree;
    tree.file("top/inner/a.txt");
    tree.file("elsewhere/c.txt");
    const SmallDisk other(tree.path("top/mounted"), "64k");
    // A bind mount of a folder of the same file system has the device of
    // its source, so only its mount tells it apart.
    const Mount bound(tree.path("top/bound"), {"--bind", tree.path("elsewhere").string()});
    if (!other.mounted() || !bound.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs or a bind mount here";
    tree.file("top/mounted/b.txt");

    auto result = runCli({"-r", "-x"}, tree.path("top"));
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    const std::string top = readFile(tree.path("top/index.html"));
    EXPECT_NE(top.find("<td>mounted</td>"), std::string::npos) << top;
    EXPECT_NE(top.find("<td>bound</td>"), std::string::npos) << top;
    EXPECT_TRUE(fs::exists(tree.path("top/inner/index.html")));
    EXPECT_FALSE(fs::exists(tree.path("top/mounted/index.html")));
    EXPECT_FALSE(fs::exists(tree.path("elsewhere/index.html")));

    result = runCli({"-r"}, tree.path("top"));
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    EXPECT_TRUE(fs::exists(tree.path("top/mounted/index.html")));
    EXPECT_TRUE(fs::exists(tree.path("elsewhere/index.html")));
}

TEST(Regeneration, ARelativeOutputWhoseStartDirectoryIsGoneWritesNothing)
{
    TempTree tree;
    tree.file("top/out.html", "keep");
    tree.dir("gone");
    // The shell starts in a directory that it then removes.
    const auto result = runCli({"-o", "out.html", tree.path("top").string()}, tree.path("gone"), "rmdir \"$PWD\" && ");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.standardError.find("out.html"), std::string::npos) << result.standardError;
    EXPECT_EQ(readFile(tree.path("top/out.html")), "keep");
}

}  // namespace
}  // namespace quilldex
