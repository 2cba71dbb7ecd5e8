// What the runs do when the file system works against them: outputs that
// cannot be written, trees that change while they are walked, links that
// loop, files that cannot be read, names of every byte and of the greatest
// length, paths longer than the system can name. Each case checks the
// outcome and that nothing else in the tree was touched.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "index/export_runs.h"
#include "link_check.h"
#include "run_helpers.h"
#include "platform/platform.h"
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

std::string sizedRow(const std::string& name, const std::string& size)
{
    return "<tr><td>" + name + "</td><td>" + size + "</td></tr>\r\n";
}

std::string index(const std::vector<std::string>& names)
{
    std::string text = headerRow(false, false, false);
    for (const auto& name : names)
        text += nameRow(name);
    return text + creditLine();
}

// Every path below `root` (links not followed) with what it is: its
// content for a file, its target for a link.
using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(const fs::path& root)
{
    Snapshot paths;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        const auto relative = item.path().lexically_relative(root).string();
        if (item.is_symlink())
            paths[relative] = "link to " + fs::read_symlink(item.path()).string();
        else if (item.is_directory())
            paths[relative] = "directory";
        else if (item.is_regular_file())
            paths[relative] = "file " + readFile(item.path());
        else
            paths[relative] = "special";
    }
    return paths;
}

// The files named index.html in a snapshot, taken out of it.
std::set<std::string> takeIndexFiles(Snapshot& paths)
{
    std::set<std::string> found;
    for (auto it = paths.begin(); it != paths.end();) {
        if (fs::path(it->first).filename() == "index.html") {
            found.insert(it->first);
            it = paths.erase(it);
        } else {
            ++it;
        }
    }
    return found;
}

// Ways to make a file impossible to create that hold for root too.
enum class Blocker { Directory, Fifo, LinkToFile, DanglingLink };

void block(const fs::path& where, Blocker blocker, const fs::path& outsideFile)
{
    switch (blocker) {
    case Blocker::Directory:
        fs::create_directories(where / "keep");
        break;
    case Blocker::Fifo:
        ASSERT_EQ(mkfifo(where.c_str(), 0600), 0);
        break;
    case Blocker::LinkToFile:
        fs::create_symlink(outsideFile, where);
        break;
    case Blocker::DanglingLink:
        fs::create_symlink(outsideFile.parent_path() / "created-through-link.html", where);
        break;
    }
}

const Blocker kBlockers[] = {Blocker::Directory, Blocker::Fifo, Blocker::LinkToFile, Blocker::DanglingLink};

// A run that waits on a FIFO would hang the suite; the alarm ends it.
class NoHang {
public:
    NoHang() { alarm(20); }
    ~NoHang() { alarm(0); }
};

TEST(FaultInjection, OutputToAFullDeviceFailsWithNothingElseWritten)
{
    // A node of the full device made for the test, so that no test ever
    // writes to a device node of the real system.
    TempTree devices;
    const std::string full = devices.path("full").string();
    if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    // Small enough to fail only at the flush on close, and large enough to
    // fail while the rows are still being written.
    for (const int files : {3, 3000}) {
        TempTree tree;
        for (int i = 0; i < files; ++i)
            tree.file("top/file-with-a-longish-name-" + std::to_string(i) + ".txt");
        const auto before = snapshot(tree.root());
        const ChangeDirectory inside(tree.path("top"));
        std::string reason;
        EXPECT_FALSE(exportSingle(full, IndexOptions{}, &reason)) << files;
        EXPECT_NE(reason.find(full), std::string::npos) << reason;
        EXPECT_EQ(snapshot(tree.root()), before) << files;
    }
}

TEST(FaultInjection, ATopIndexThatCannotBeCreatedFailsTheRunWithNothingWritten)
{
    for (const Blocker blocker : kBlockers) {
        NoHang guard;
        TempTree tree;
        tree.file("outside.html", "keep");
        tree.file("top/a/b/deep.txt");
        tree.file("top/c/file.txt");
        block(tree.path("top/index.html"), blocker, tree.path("outside.html"));
        const auto before = snapshot(tree.root());

        const ChangeDirectory inside(tree.path("top"));
        std::string reason;
        EXPECT_FALSE(exportRecursive(recursiveOptions(), {}, &reason)) << static_cast<int>(blocker);
        EXPECT_NE(reason.find("index.html"), std::string::npos) << reason;
        EXPECT_EQ(snapshot(tree.root()), before) << static_cast<int>(blocker);
        EXPECT_EQ(here(), tree.path("top"));
    }
}

TEST(FaultInjection, ASubdirectoryWhoseIndexCannotBeCreatedIsSkippedWithItsSubtree)
{
    for (const Blocker blocker : kBlockers) {
        NoHang guard;
        TempTree tree;
        tree.file("outside.html", "keep");
        tree.file("top/a/deep/deeper.txt");
        tree.dir("top/c");
        block(tree.path("top/a/index.html"), blocker, tree.path("outside.html"));
        const auto before = snapshot(tree.root());

        const ChangeDirectory inside(tree.path("top"));
        ASSERT_TRUE(exportRecursive(recursiveOptions())) << static_cast<int>(blocker);
        auto after = snapshot(tree.root());
        EXPECT_EQ(after["top/index.html"], "file " + index({"..", "a", "c"}));
        EXPECT_EQ(after["top/c/index.html"], "file " + index({".."}));
        EXPECT_EQ(after["top/a/index.html"], before.at("top/a/index.html"));
        EXPECT_EQ(takeIndexFiles(after),
                  (std::set<std::string>{"top/index.html", "top/a/index.html", "top/c/index.html"}));
        auto expected = before;
        takeIndexFiles(expected);
        EXPECT_EQ(after, expected) << static_cast<int>(blocker);
    }
}

TEST(FaultInjection, PermissionBitsAreHonouredWhereTheyApply)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    TempTree tree;
    tree.file("top/ro/sub/file.txt");
    tree.dir("top/rw");
    fs::permissions(tree.path("top/ro"), fs::perms::owner_read | fs::perms::owner_exec);
    const ChangeDirectory inside(tree.path("top"));
    ASSERT_TRUE(exportRecursive(recursiveOptions()));
    EXPECT_TRUE(fs::exists(tree.path("top/rw/index.html")));
    EXPECT_FALSE(fs::exists(tree.path("top/ro/index.html")));
    EXPECT_FALSE(fs::exists(tree.path("top/ro/sub/index.html")));

    fs::remove(tree.path("top/index.html"));
    fs::permissions(tree.path("top"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(exportRecursive(recursiveOptions()));
    EXPECT_FALSE(fs::exists(tree.path("top/index.html")));
}

// An index file is replaced, never rewritten in place: what shares its
// inode keeps the old bytes, and the file keeps its permission bits.
TEST(FaultInjection, ReplacedIndexFilesKeepTheirModeAndLeaveOtherLinksAlone)
{
    for (const bool recursive : {false, true}) {
        TempTree tree;
        tree.file("top/a.txt");
        const auto indexFile = tree.file("top/index.html", "old");
        fs::permissions(indexFile, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        fs::create_hard_link(indexFile, tree.path("snapshot.html"));
        fs::create_symlink(indexFile, tree.path("link.html"));

        IndexOptions options = recursiveOptions();
        options.recursive = recursive;
        const ChangeDirectory inside(tree.path("top"));
        if (recursive)
            ASSERT_TRUE(exportRecursive(options));
        else  // through a link: the file it leads to is replaced, the link stays
            ASSERT_TRUE(exportSingle(tree.path("link.html").string(), options));
        EXPECT_EQ(readFile(indexFile),
                  index(recursive ? std::vector<std::string>{"..", "a.txt"} : std::vector<std::string>{"a.txt"}));
        EXPECT_EQ(readFile(tree.path("snapshot.html")), "old") << recursive;
        EXPECT_TRUE(fs::is_symlink(tree.path("link.html")));
        EXPECT_EQ(fs::status(indexFile).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_EQ(fs::hard_link_count(tree.path("snapshot.html")), 1u);
    }
}

// Directories that go or change between the listing of their parent and
// the walk's visit: the progress callback runs after each index is
// written, while the names of the parent's subdirectories are held.
TEST(FaultInjection, DirectoriesChangedAfterListingAreSkippedNeverReplaced)
{
    TempTree tree;
    tree.file("outside/secret/file.txt");
    for (const char* name : {"a", "b/inner", "c/inner", "d", "e/inner", "f/inner"})
        tree.dir(std::string("top/") + name);
    const auto outsideBefore = snapshot(tree.path("outside"));

    std::vector<fs::path> visited;
    const auto mutate = [&](const RecursiveProgress& progress) {
        visited.push_back(testing::indexedPath(tree.path("top"), progress));
        if (visited.size() != 2)
            return;
        fs::remove_all(tree.path("top/b"));
        fs::remove_all(tree.path("top/c"));
        fs::create_directory_symlink(tree.path("outside"), tree.path("top/c"));
        fs::remove_all(tree.path("top/e"));
        fs::create_directory_symlink(tree.root(), tree.path("top/e"));
        fs::remove_all(tree.path("top/f"));
        tree.file("top/f", "now a file");
    };
    const ChangeDirectory inside(tree.path("top"));
    ASSERT_TRUE(exportRecursive(recursiveOptions(), mutate));

    EXPECT_EQ(visited, (std::vector<fs::path>{tree.path("top"), tree.path("top/a"), tree.path("top/d")}));
    EXPECT_EQ(here(), tree.path("top"));
    auto after = snapshot(tree.root());
    // The top index shows the directories as they were listed.
    EXPECT_EQ(after["top/index.html"], "file " + index({"..", "a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(takeIndexFiles(after), (std::set<std::string>{"top/index.html", "top/a/index.html", "top/d/index.html"}));
    EXPECT_EQ(snapshot(tree.path("outside")), outsideBefore);
}

TEST(FaultInjection, ADirectoryRemovedWhileTheWalkIsInsideItEndsItsSubtreeOnly)
{
    TempTree tree;
    tree.dir("top/a/b");
    tree.dir("top/a/c");
    tree.dir("top/d");
    std::vector<fs::path> visited;
    const auto mutate = [&](const RecursiveProgress& progress) {
        visited.push_back(testing::indexedPath(tree.path("top"), progress));
        if (visited.back() == tree.path("top/a/b"))
            fs::remove_all(tree.path("top/a"));
    };
    const ChangeDirectory inside(tree.path("top"));
    ASSERT_TRUE(exportRecursive(recursiveOptions(), mutate));
    ASSERT_EQ(visited.size(), 4u);
    EXPECT_EQ(visited.back(), tree.path("top/d"));
    EXPECT_EQ(here(), tree.path("top"));
    auto after = snapshot(tree.root());
    EXPECT_EQ(takeIndexFiles(after), (std::set<std::string>{"top/index.html", "top/d/index.html"}));
}

// A directory moved elsewhere while the walk is below it: ".." then leads
// out of the tree, and the walk must come back to the top by the way it
// holds, never index the place the directory was moved to.
TEST(FaultInjection, ADirectoryMovedWhileTheWalkIsBelowItNeverLeadsTheWalkOut)
{
    TempTree tree;
    tree.dir("top/a/b/c");
    tree.dir("top/a/d");
    tree.dir("top/e");
    tree.dir("elsewhere");
    std::vector<fs::path> visited;
    const auto mutate = [&](const RecursiveProgress& progress) {
        visited.push_back(testing::indexedPath(tree.path("top"), progress));
        if (visited.back() == tree.path("top/a/b/c"))
            fs::rename(tree.path("top/a"), tree.path("elsewhere/a"));
    };
    const ChangeDirectory inside(tree.path("top"));
    RunReport report;
    ASSERT_TRUE(exportRecursive(recursiveOptions(), mutate, nullptr, &report));
    EXPECT_EQ(here(), tree.path("top"));
    EXPECT_EQ(visited.back(), tree.path("top/e"));
    EXPECT_FALSE(fs::exists(tree.path("index.html")));
    EXPECT_FALSE(fs::exists(tree.path("elsewhere/index.html")));
    EXPECT_TRUE(fs::exists(tree.path("top/e/index.html")));
}

// A directory removed and made again under the same name while the walk is
// below it: the new one is never taken for the old, what is lost is named,
// and the walk goes on beside it.
TEST(FaultInjection, ADirectoryReplacedWhileTheWalkIsBelowItIsGivenUpAndNamed)
{
    TempTree tree;
    tree.dir("top/a/b/c/d");
    tree.dir("top/a/b/c/e");
    tree.dir("top/a/f");
    std::vector<fs::path> visited;
    const auto mutate = [&](const RecursiveProgress& progress) {
        visited.push_back(testing::indexedPath(tree.path("top"), progress));
        if (visited.back() == tree.path("top/a/b/c/d")) {
            fs::remove_all(tree.path("top/a/b/c"));
            tree.dir("top/a/b/c/e");
        }
    };
    const ChangeDirectory inside(tree.path("top"));
    RunReport report;
    ASSERT_TRUE(exportRecursive(recursiveOptions(), mutate, nullptr, &report));
    EXPECT_EQ(here(), tree.path("top"));
    EXPECT_EQ(visited.back(), tree.path("top/a/f"));
    EXPECT_FALSE(fs::exists(tree.path("top/a/b/c/e/index.html")));
    // Named either as the directory left (where ".." no longer leads back)
    // or as its subdirectory that is gone (where the removed directory can
    // still be returned to).
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_TRUE(report.problems[0] == "open(a/b/c): moved or removed while its subdirectories were indexed" ||
                report.problems[0].starts_with("open(a/b/c/e): "))
        << report.problems[0];
}

// Each skipped directory is named once, by its path from the top; a long
// path keeps its start and its end.
TEST(FaultInjection, SkippedDirectoriesAreNamedFromTheTopAndLongPathsShortened)
{
    TempTree tree;
    std::string deep;
    for (int i = 0; i < 12; ++i)
        deep += "level-" + std::to_string(i) + "-of-the-tree/";
    tree.dir("top/" + deep + "index.html");
    tree.dir("top/near/index.html");
    const ChangeDirectory inside(tree.path("top"));
    RunReport report;
    ASSERT_TRUE(exportRecursive(recursiveOptions(), {}, nullptr, &report));
    ASSERT_EQ(report.problems.size(), 2u);
    const std::string& far = report.problems[0];
    const std::string reason = std::string("): ") + std::strerror(EISDIR);
    ASSERT_GT(far.size(), reason.size() + 5);
    EXPECT_EQ(far.substr(far.size() - reason.size()), reason) << far;
    const std::string path = far.substr(5, far.size() - reason.size() - 5);
    EXPECT_EQ(path.size(), 199u) << path;
    EXPECT_TRUE(path.starts_with("level-0-of-the-tree/level-1-of-the-tree/")) << path;
    EXPECT_TRUE(path.ends_with("-of-the-tree/index.html")) << path;
    EXPECT_NE(path.find("..."), std::string::npos) << path;
    EXPECT_EQ(report.problems[1], std::string("open(near/index.html): ") + std::strerror(EISDIR));
}

TEST(FaultInjection, LinkLoopsAndLinksToAncestorsEndWithEachDirectoryIndexedOnce)
{
    TempTree tree;
    tree.dir("top/a/b");
    fs::create_directory_symlink("..", tree.path("top/a/loop"));
    fs::create_directory_symlink("../../..", tree.path("top/a/b/up"));
    fs::create_directory_symlink(".", tree.path("top/self"));
    fs::create_directory_symlink(tree.path("top"), tree.path("top/absolute"));
    // Two links that lead to each other: broken, so listed with their own facts.
    fs::create_symlink("y", tree.path("top/x"));
    fs::create_symlink("x", tree.path("top/y"));

    std::vector<fs::path> visited;
    IndexOptions options = recursiveOptions();
    options.showSize = true;
    const ChangeDirectory inside(tree.path("top"));
    ASSERT_TRUE(exportRecursive(options, [&](const RecursiveProgress& progress) {
        visited.push_back(testing::indexedPath(tree.path("top"), progress));
    }));

    EXPECT_EQ(visited, (std::vector<fs::path>{tree.path("top"), tree.path("top/a"), tree.path("top/a/b")}));
    const std::string header = headerRow(true, false, false);
    EXPECT_EQ(readFile(tree.path("top/index.html")),
              header + sizedRow("..", "DIR") + sizedRow("a", "DIR") + sizedRow("absolute", "DIR") +
                  sizedRow("self", "DIR") + sizedRow("x", "1 bytes") + sizedRow("y", "1 bytes") + creditLine());
    EXPECT_EQ(readFile(tree.path("top/a/index.html")),
              header + sizedRow("..", "DIR") + sizedRow("b", "DIR") + sizedRow("loop", "DIR") + creditLine());
    EXPECT_EQ(readFile(tree.path("top/a/b/index.html")),
              header + sizedRow("..", "DIR") + sizedRow("up", "DIR") + creditLine());
    auto after = snapshot(tree.root());
    EXPECT_EQ(takeIndexFiles(after),
              (std::set<std::string>{"top/index.html", "top/a/index.html", "top/a/b/index.html"}));
}

// Runs `run` in a child process, as an unprivileged user when this one is
// root, so that permission bits apply. Returns the child's exit code.
int runUnprivileged(const std::function<bool()>& run)
{
    const pid_t child = fork();
    if (child == 0) {
        alarm(20);
        if (geteuid() == 0) {
            const gid_t nobody = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
                _exit(3);
        }
        _exit(run() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(FaultInjection, FifosSocketsAndUnreadableFilesShowTheirNamesWithoutHanging)
{
    TempTree tree;
    tree.file("top/page.html", "<title>Page</title>");
    tree.file("top/secret.html", "<title>Secret</title>");
    fs::permissions(tree.path("top/secret.html"), fs::perms::none);
    ASSERT_EQ(mkfifo(tree.path("top/pipe.html").c_str(), 0644), 0);
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const auto path = tree.path("top/sock.html").string();
        ASSERT_LT(path.size(), sizeof address.sun_path);
        std::strcpy(address.sun_path, path.c_str());
        ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        close(fd);
    }
    // Whatever the umask, the unprivileged run may enter the tree, read the
    // page and write its output.
    const auto out = tree.dir("out");
    fs::permissions(out, fs::perms::all);
    const auto readable = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                          fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(tree.root(), readable);
    fs::permissions(tree.path("top"), readable);
    fs::permissions(tree.path("top/page.html"), fs::perms::owner_read | fs::perms::others_read);

    IndexOptions options;
    options.showSize = false;
    options.readTitles = true;
    options.outputName = "index.html";
    options.directory = tree.path("top").string();
    const int code = runUnprivileged([&] { return exportSingle((out / "index.html").string(), options); });
    if (code == 3)
        GTEST_SKIP() << "cannot drop root privileges here";
    ASSERT_EQ(code, 0);
    EXPECT_EQ(readFile(out / "index.html"), index({"Page", "pipe.html", "secret.html", "sock.html"}));
}

// Every byte value but NUL and '/' in names, and names of the greatest
// length, as files and as directories the walk enters.
TEST(FaultInjection, NamesOfEveryByteAndOfGreatestLengthGiveLinksThatResolve)
{
    TempTree tree;
    std::vector<std::string> names;
    std::string allBytes = "d";
    for (int b = 1; b < 256; ++b) {
        if (b == '/')
            continue;
        names.push_back(std::string("f") + static_cast<char>(b));
        allBytes += static_cast<char>(b);
    }
    ASSERT_EQ(allBytes.size(), 255u);
    for (const auto& name : names)
        tree.file("top/" + name, name);
    const std::string longName(255, 'n');
    const std::string longHigh(255, '\xe9');
    tree.file("top/" + allBytes + "/" + longName);
    tree.file("top/" + longName + "/" + longHigh);
    tree.dir("top/" + longHigh);

    IndexOptions options = recursiveOptions();
    options.makeLinks = true;
    const ChangeDirectory inside(tree.path("top"));
    ASSERT_TRUE(exportRecursive(options));

    const auto check = testing::checkIndexLinks(tree.path("top"), "index.html");
    EXPECT_EQ(check.indexFiles, 4u);
    EXPECT_EQ(check.broken, std::vector<std::string>{});
    // The top index: 254 files and three directories; below it: "..", and
    // the file in each of two of the directories.
    EXPECT_EQ(check.linksFollowed, 257u + 2u + 2u + 1u);

    const std::string top = readFile(tree.path("top/index.html"));
    std::size_t rows = 0;
    for (auto at = top.find("<tr><td>"); at != std::string::npos; at = top.find("<tr><td>", at + 1))
        ++rows;
    EXPECT_EQ(rows, 254u + 3u + 1u);
    // Link targets hold no byte that could end the attribute or the tag.
    for (auto at = top.find("href=\""); at != std::string::npos; at = top.find("href=\"", at + 1)) {
        const auto end = top.find("\">", at + 6);
        ASSERT_NE(end, std::string::npos);
        for (std::size_t i = at + 6; i < end; ++i)
            EXPECT_TRUE(top[i] > ' ' && top[i] < 0x7F && top[i] != '"' && top[i] != '<' && top[i] != '>')
                << "byte " << static_cast<int>(static_cast<unsigned char>(top[i]));
    }
}

// A chain of directories made and removed through descriptors, since its
// paths are longer than the system accepts.
class DeepChain {
public:
    DeepChain(const fs::path& top, int levels) : levels_(levels)
    {
        fds_.push_back(open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int i = 1; i <= levels; ++i) {
            const int parent = fds_.back();
            mkdirat(parent, name(i).c_str(), 0755);
            close(openat(parent, "here.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
            fds_.push_back(openat(parent, name(i).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        }
        close(openat(fds_.back(), "here.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }

    ~DeepChain()
    {
        for (int i = levels_; i >= 0; --i) {
            unlinkat(fds_[static_cast<std::size_t>(i)], "here.txt", 0);
            unlinkat(fds_[static_cast<std::size_t>(i)], "index.html", 0);
            if (i < levels_)
                unlinkat(fds_[static_cast<std::size_t>(i)], name(i + 1).c_str(), AT_REMOVEDIR);
            close(fds_[static_cast<std::size_t>(i)]);
        }
    }

    static std::string name(int level) { return "level-" + std::to_string(level) + "-of-a-rather-deep-tree"; }

    // The content of `file` in level `level` (0 is the top), or "" if none.
    std::string read(int level, const char* file) const
    {
        const int fd = openat(fds_[static_cast<std::size_t>(level)], file, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return {};
        std::string content;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            content.append(buffer, static_cast<std::size_t>(n));
        close(fd);
        return content;
    }

private:
    int levels_;
    std::vector<int> fds_;
};

TEST(FaultInjection, ATreeDeeperThanTheLongestPathIsIndexedCompletely)
{
    constexpr int kLevels = 300;
    TempTree tree;
    tree.dir("top");
    const DeepChain chain(tree.path("top"), kLevels);
    ASSERT_GT(kLevels * (DeepChain::name(100).size() + 1), static_cast<std::size_t>(PATH_MAX));

    std::size_t directories = 0;
    const ChangeDirectory inside(tree.path("top"));
    ASSERT_TRUE(exportRecursive(recursiveOptions(),
                                [&](const RecursiveProgress& progress) { directories = progress.directories; }));
    EXPECT_EQ(directories, kLevels + 1u);
    EXPECT_EQ(here(), tree.path("top"));
    for (int level = 0; level <= kLevels; ++level) {
        std::vector<std::string> names{"..", "here.txt"};
        if (level < kLevels)
            names.push_back(DeepChain::name(level + 1));
        ASSERT_EQ(chain.read(level, "index.html"), index(names)) << "level " << level;
    }
}

TEST(FaultInjection, EmptyDirectoriesAndDirectoriesOfOnlySubdirectories)
{
    struct Case {
        const char* what;
        std::vector<const char*> subdirectories;
        bool recursive;
        std::string expected;
    };
    const Case cases[] = {
        // "." and ".." match "*.*", so even an empty listing has a table.
        {"empty, single", {}, false, index({})},
        {"empty, recursive", {}, true, index({".."})},
        {"only subdirectories, single", {"s1", "s2"}, false, index({})},
        {"only subdirectories, recursive", {"s1", "s2"}, true, index({"..", "s1", "s2"})},
    };
    for (const auto& c : cases) {
        TempTree tree;
        tree.dir("top");
        for (const char* name : c.subdirectories)
            tree.dir(std::string("top/") + name);
        IndexOptions options = recursiveOptions();
        options.recursive = c.recursive;
        const ChangeDirectory inside(tree.path("top"));
        if (c.recursive)
            ASSERT_TRUE(exportRecursive(options)) << c.what;
        else
            ASSERT_TRUE(exportSingle(tree.path("out.html").string(), options)) << c.what;
        EXPECT_EQ(readFile(tree.path(c.recursive ? "top/index.html" : "out.html")), c.expected) << c.what;
        for (const char* name : c.subdirectories) {
            const auto subIndex = tree.path(std::string("top/") + name + "/index.html");
            EXPECT_EQ(readFile(subIndex), c.recursive ? index({".."}) : "") << c.what << " " << name;
        }
    }
}

}  // namespace
}  // namespace quilldex
