// quilldex-cli run by root over trees that other users write: nothing it
// does can be redirected to a file outside the tree, it replaces only the
// index files it wrote, --check tells exactly what a run changes, and what
// it prints stays one line per path.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::CommandResult;
using testing::creditLine;
using testing::headerRow;
using testing::nameRow;
using testing::readFile;
using testing::runCommand;
using testing::setLastWriteTime;
using testing::TempTree;
namespace fs = std::filesystem;

const fs::path kProgram = QUILLDEX_CLI_PATH;
constexpr uid_t kNobody = 65534;
const std::string kAsNobody = "exec setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" \"$@\"; ";
const std::string kTemporaryPrefix = ".quilldex-tmp-";

// Runs quilldex-cli in `where` through the shell, after the shell commands
// `before` (kAsNobody runs it as nobody), under a time limit.
CommandResult runCli(const std::vector<std::string>& arguments, const fs::path& where, const std::string& before = "")
{
    std::vector<std::string> shellArguments{"60", "/bin/sh", "-c", before + "exec \"$0\" \"$@\"", kProgram.string()};
    shellArguments.insert(shellArguments.end(), arguments.begin(), arguments.end());
    return runCommand("/usr/bin/timeout", shellArguments, where);
}

std::string note(const std::string& path)
{
    return "quilldex-cli: kept(" + path + "): not written by this program; --force replaces it\n";
}

struct Status {
    uid_t owner;
    gid_t group;
    mode_t mode;
    ino_t inode;
};

Status statusOf(const fs::path& path)
{
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return {status.st_uid, status.st_gid, status.st_mode & 07777, status.st_ino};
}

void chown(const fs::path& path, uid_t owner, gid_t group)
{
    ASSERT_EQ(::lchown(path.c_str(), owner, group), 0) << path;
}

#define REQUIRE_ROOT()                                                                                                 \
    if (geteuid() != 0)                                                                                                \
    GTEST_SKIP() << "needs root, to run as root and as another user"

// An unprivileged owner of top/big watches it and, whenever a temporary
// file of a run appears there, puts a link to a root-owned file outside the
// tree at its name; root runs over the tree again and again. The victim's
// owner, mode and bytes never change.
TEST(HostileTree, ALinkSwappedInAtTheTemporaryNameNeverReachesTheFileItLeadsTo)
{
    REQUIRE_ROOT();
    TempTree tree;
    const auto victim = tree.file("victim", "root's secret");
    fs::permissions(victim, fs::perms::owner_read | fs::perms::owner_write);
    const Status victimBefore = statusOf(victim);
    // Large enough that the index takes many writes.
    for (int i = 0; i < 5000; ++i)
        tree.file("top/big/file-" + std::to_string(i) + ".txt");
    chown(tree.path("top/big"), kNobody, kNobody);

    int swapsPipe[2];
    ASSERT_EQ(pipe2(swapsPipe, O_CLOEXEC | O_NONBLOCK), 0);
    const pid_t attacker = fork();
    ASSERT_GE(attacker, 0);
    if (attacker == 0) {
        if (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
            setresuid(kNobody, kNobody, kNobody) != 0)
            _exit(1);
        const int watch = inotify_init1(IN_CLOEXEC);
        const int directory = open(tree.path("top/big").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (watch < 0 || directory < 0 || inotify_add_watch(watch, tree.path("top/big").c_str(), IN_CREATE) < 0)
            _exit(1);
        alignas(inotify_event) char events[8192];
        for (;;) {
            const ssize_t n = read(watch, events, sizeof events);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                if (event->len > 0 && std::string_view(event->name).starts_with(kTemporaryPrefix) &&
                    unlinkat(directory, event->name, 0) == 0 && symlinkat(victim.c_str(), directory, event->name) == 0)
                    (void)!write(swapsPipe[1], "s", 1);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }
    close(swapsPipe[1]);
    // Ended however the test ends.
    struct Reaper {
        pid_t child;
        ~Reaper()
        {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    } reaper{attacker};

    const auto start = std::chrono::steady_clock::now();
    int rounds = 0;
    for (; rounds < 50 && std::chrono::steady_clock::now() - start < std::chrono::seconds(45); ++rounds) {
        // A change every round, so that every round writes the big index;
        // a link the last round left at the index name is taken away.
        tree.file("top/big/round-" + std::to_string(rounds) + ".txt");
        if (fs::is_symlink(tree.path("top/big/index.html")))
            fs::remove(tree.path("top/big/index.html"));
        runCli({"-r", "-q"}, tree.path("top"));
        const Status victimNow = statusOf(victim);
        ASSERT_EQ(victimNow.owner, victimBefore.owner) << "round " << rounds;
        ASSERT_EQ(victimNow.group, victimBefore.group) << "round " << rounds;
        ASSERT_EQ(victimNow.mode, victimBefore.mode) << "round " << rounds;
        ASSERT_EQ(readFile(victim), "root's secret") << "round " << rounds;
    }
    char swaps[256];
    const ssize_t swapped = read(swapsPipe[0], swaps, sizeof swaps);
    close(swapsPipe[0]);
    EXPECT_GE(rounds, 10);
    // Not a test that passes because the race was never run.
    EXPECT_GT(swapped, 0) << "the link was never swapped in";
}

enum class Form { Fragment, Page, Json };
enum class Outcome { Kept, Replaced };

std::vector<std::string> formArguments(Form form)
{
    switch (form) {
    case Form::Fragment:
        return {"-r", "-m", "*.txt"};
    case Form::Page:
        return {"-r", "-m", "*.txt", "--page"};
    case Form::Json:
        return {"-r", "-m", "*.txt", "--json"};
    }
    return {};
}

std::string indexName(Form form)
{
    return form == Form::Json ? "index.json" : "index.html";
}

// An index this program wrote in each form, of a directory other than the
// one it is put in later (so that a run has to change it).
std::string ownIndex(Form form)
{
    TempTree scratch;
    for (int i = 0; i < 20; ++i)
        scratch.file("top/d/older-" + std::to_string(i) + ".txt");
    runCli(formArguments(form), scratch.path("top"));
    return readFile(scratch.path("top/d/" + indexName(form)));
}

std::string half(const std::string& text)
{
    return text.substr(0, text.size() / 2);
}

// One table of files at the index name against what a recursive run of
// each form does with them: replaced where it is its own file of that form
// (cut short included), kept with one note (exit 0, not listed by --check)
// otherwise.
TEST(HostileTree, OnlyItsOwnFilesOfTheFormWrittenAreReplaced)
{
    REQUIRE_ROOT();
    const std::string padding(5000, 'x');
    const std::string home = "https://example.org/";
    const std::string own[] = {ownIndex(Form::Fragment), ownIndex(Form::Page), ownIndex(Form::Json)};
    for (const auto& text : own)
        ASSERT_FALSE(text.empty());
    struct Case {
        const char* what;
        std::string content;
        Outcome fragment, page, json;
        bool unreadable = false;
    };
    constexpr auto K = Outcome::Kept;
    constexpr auto R = Outcome::Replaced;
    const Case cases[] = {
        {"a page showing JSON in its first KB",
         "<!DOCTYPE html>\n<html><body><pre>{\"generator\": \"QUILLDEX 1.0.7\", \"entries\": []}</pre>\n" + padding +
             "</body></html>\n",
         K, K, K},
        {"a page ending with a link that names the program",
         "<html><body>" + padding + "\n<p>Indexes by <a href=\"" + home + "\">QUILLDEX 1.0.7</a></p>\n</body></html>\n",
         K, K, K},
        {"a page holding the credit line, then more",
         "<html><body>" + padding + "\r\n" + creditLine() + "\r\n<p>mine</p>", K, K, K},
        {"an empty file", "", R, K, K},
        {"a file the runner cannot read", "private notes", K, K, K, true},
        {"its own fragment", own[0], R, K, K},
        {"its own page", own[1], K, R, K},
        {"its own JSON", own[2], K, K, R},
        {"its own fragment cut short", half(own[0]), R, K, K},
        {"its own page cut short", half(own[1]), K, R, K},
        {"its own JSON cut short", half(own[2]), K, K, R},
    };
    for (const auto& c : cases) {
        for (const Form form : {Form::Fragment, Form::Page, Form::Json}) {
            const Outcome expected = form == Form::Fragment ? c.fragment : form == Form::Page ? c.page : c.json;
            const std::string what =
                std::string(c.what) + ", " + (form == Form::Fragment ? "fragment" : formArguments(form).back());
            const std::string name = indexName(form);
            TempTree tree;
            tree.file("top/a.txt");
            tree.file("top/d/b.txt");
            const auto file = tree.file("top/d/" + name, c.content);
            std::string asWho;
            if (c.unreadable) {
                // Another user's private file, in a directory the runner may
                // read but not write: taken for its own, the run would fail.
                chown(tree.path("top"), kNobody, kNobody);
                chown(tree.path("top/a.txt"), kNobody, kNobody);
                fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
                asWho = kAsNobody;
            }
            const auto run = runCli(formArguments(form), tree.path("top"), asWho);
            const std::string after = readFile(file);
            if (expected == Outcome::Kept) {
                EXPECT_EQ(run.exitCode, 0) << what;
                EXPECT_EQ(run.standardError, note("d/" + name)) << what;
                EXPECT_TRUE(after == c.content) << what;
                auto check = formArguments(form);
                check.push_back("--check");
                const auto checked = runCli(check, tree.path("top"), asWho);
                EXPECT_EQ(checked.exitCode, 0) << what;
                EXPECT_EQ(checked.standardOutput, "") << what;
                EXPECT_EQ(checked.standardError, note("d/" + name)) << what;
            } else {
                EXPECT_EQ(run.exitCode, 0) << what;
                EXPECT_EQ(run.standardError, "") << what;
                // What a run writes where no file stood.
                fs::remove(file);
                runCli(formArguments(form), tree.path("top"));
                EXPECT_TRUE(after == readFile(file)) << what << ": " << after.substr(0, 200);
            }
        }
    }
}

// Everything of the files below `root` (directories aside) that a run could
// change: content and inode.
std::map<std::string, std::pair<std::string, ino_t>> filesBelow(const fs::path& root)
{
    std::map<std::string, std::pair<std::string, ino_t>> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_directory() && !it->is_symlink())
            continue;
        files[it->path().lexically_relative(root).string()] = {
            it->is_regular_file() && !it->is_symlink() ? readFile(it->path()) : "", statusOf(it->path()).inode};
    }
    return files;
}

// --check prints exactly the files the run then changes, and both report
// the same failures, over a tree holding every kind of thing at the index
// name and a writable directory under one the runner cannot write.
TEST(HostileTree, CheckNamesExactlyTheFilesTheRunChanges)
{
    REQUIRE_ROOT();
    TempTree tree;
    tree.file("top/plain.txt");
    tree.dir("top/fifo");
    ASSERT_EQ(mkfifo(tree.path("top/fifo/index.html").c_str(), 0644), 0);
    tree.dir("top/sock");
    {
        const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, tree.path("top/sock/index.html").c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        close(sock);
    }
    tree.dir("top/link");
    fs::create_symlink("../plain.txt", tree.path("top/link/index.html"));
    tree.file("top/dir/index.html/inside.txt");
    tree.file("top/foreign/index.html", "my own page");
    tree.file("top/fresh/new.txt");
    tree.file("top/locked/child/c.txt");
    tree.file("top/stale/s.txt");
    // The whole tree is nobody's but locked/, which nobody may only enter.
    for (const auto& item : fs::recursive_directory_iterator(tree.path("top")))
        chown(item.path(), kNobody, kNobody);
    chown(tree.path("top"), kNobody, kNobody);
    chown(tree.path("top/locked"), 0, 0);
    runCli({"-r", "-m", "*.txt"}, tree.path("top/stale"), kAsNobody);
    tree.file("top/stale/t.txt");
    chown(tree.path("top/stale/t.txt"), kNobody, kNobody);

    const auto before = filesBelow(tree.path("top"));
    const auto check = runCli({"-r", "--check"}, tree.path("top"), kAsNobody);
    const auto run = runCli({"-r"}, tree.path("top"), kAsNobody);
    const auto after = filesBelow(tree.path("top"));
    std::set<std::string> changed;
    for (const auto& [path, state] : after) {
        const auto old = before.find(path);
        if (old == before.end() || old->second != state)
            changed.insert(path);
    }
    std::set<std::string> listed;
    for (std::size_t at = 0, end; (end = check.standardOutput.find('\n', at)) != std::string::npos; at = end + 1)
        listed.insert(check.standardOutput.substr(at, end - at));
    EXPECT_EQ(listed, changed);
    EXPECT_EQ(check.standardOutput, "index.html\nfresh/index.html\nstale/index.html\n");
    // Skipped directories (the special files, locked/) fail both.
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(check.standardError, run.standardError);
    EXPECT_NE(run.standardError.find("(locked/index.html): Permission denied"), std::string::npos) << run.standardError;
    EXPECT_FALSE(fs::exists(tree.path("top/locked/child/index.html")));
    // Nothing left to change, and still not all of the tree was checked.
    const auto again = runCli({"-r", "--check"}, tree.path("top"), kAsNobody);
    EXPECT_EQ(again.standardOutput, "");
    EXPECT_EQ(again.exitCode, 1);
}

// A replaced index keeps the owner, group and permission bits of the file
// it replaces; set-user-ID, set-group-ID and sticky bits are not carried.
TEST(HostileTree, AReplacedIndexKeepsOwnerGroupAndModeButNoSpecialBits)
{
    REQUIRE_ROOT();
    struct Case {
        uid_t owner;
        gid_t group;
        mode_t mode;
        mode_t expectedMode;
    } const cases[] = {
        {kNobody, kNobody, 0640, 0640},  {kNobody, 0, 0604, 0604}, {0, kNobody, 0660, 0660},
        {kNobody, kNobody, 06755, 0755}, {0, 0, 01644, 0644},
    };
    for (const auto& c : cases) {
        const std::string what = std::to_string(c.owner) + ":" + std::to_string(c.group) + " " + std::to_string(c.mode);
        TempTree tree;
        tree.file("top/a.txt");
        ASSERT_EQ(runCli({"-r"}, tree.path("top")).exitCode, 0);
        const auto index = tree.path("top/index.html");
        const std::string old = readFile(index);
        chown(index, c.owner, c.group);
        ASSERT_EQ(::chmod(index.c_str(), c.mode), 0);
        tree.file("top/b.txt");
        const auto run = runCli({"-r"}, tree.path("top"));
        EXPECT_EQ(run.exitCode, 0) << what << ": " << run.standardError;
        EXPECT_NE(readFile(index), old) << what;
        const Status now = statusOf(index);
        EXPECT_EQ(now.owner, c.owner) << what;
        EXPECT_EQ(now.group, c.group) << what;
        EXPECT_EQ(now.mode, c.expectedMode) << what;
    }
}

// The fragment of a directory where the mask matches nothing is empty, and
// is its own: it is filled in when matching entries appear.
TEST(HostileTree, AnEmptyOwnFragmentIsFilledWhenMatchingEntriesAppear)
{
    TempTree tree;
    tree.file("top/a.txt");
    tree.file("top/sub/b.txt");
    const std::vector<std::string> arguments{"-r", "--no-size", "-m", "*.pdf"};
    ASSERT_EQ(runCli(arguments, tree.path("top")).exitCode, 0);
    EXPECT_EQ(fs::file_size(tree.path("top/index.html")), 0u);
    tree.file("top/c.pdf");
    tree.file("top/sub/d.pdf");
    auto check = arguments;
    check.push_back("--check");
    const auto checked = runCli(check, tree.path("top"));
    EXPECT_EQ(checked.standardOutput, "index.html\nsub/index.html\n");
    EXPECT_EQ(checked.exitCode, 1);
    const auto run = runCli(arguments, tree.path("top"));
    EXPECT_EQ(run.exitCode, 0) << run.standardError;
    EXPECT_EQ(run.standardError, "");
    const std::string top = readFile(tree.path("top/index.html"));
    EXPECT_EQ(top, headerRow(false, false, false) + nameRow("c.pdf") + creditLine()) << top;
    EXPECT_NE(readFile(tree.path("top/sub/index.html")).find("<td>d.pdf</td>"), std::string::npos);
}

// The walk names every directory by its own path, after a directory it
// could not enter and when it must open directories again from the top
// (few descriptors, a wide and deep tree): each index lists its own files.
TEST(HostileTree, TheWalkKeepsTheRightPathAfterADirectoryItCannotEnterAndWhenItReopens)
{
    REQUIRE_ROOT();
    TempTree tree;
    for (const char* path : {"a/x", "a/y", "b/x", "b/y", "c/x", "c/y", "d/x", "d/y", "e/x", "f"}) {
        std::string name = path;
        std::replace(name.begin(), name.end(), '/', '-');
        tree.file("top/" + std::string(path) + "/" + name + ".txt");
    }
    tree.file("top/a/closed/secret.txt");
    for (const auto& item : fs::recursive_directory_iterator(tree.path("top")))
        chown(item.path(), kNobody, kNobody);
    chown(tree.path("top"), kNobody, kNobody);
    chown(tree.path("top/a/closed"), 0, 0);
    fs::permissions(tree.path("top/a/closed"), fs::perms::owner_all);

    const auto check = runCli({"-r", "--check", "-j", "1"}, tree.path("top"), kAsNobody);
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(check.standardError, "quilldex-cli: open(a/closed): Permission denied\n");
    EXPECT_EQ(check.standardOutput,
              "index.html\na/index.html\na/x/index.html\na/y/index.html\nb/index.html\nb/x/index.html\n"
              "b/y/index.html\nc/index.html\nc/x/index.html\nc/y/index.html\nd/index.html\nd/x/index.html\n"
              "d/y/index.html\ne/index.html\ne/x/index.html\nf/index.html\n");
    // 24 descriptors leave the walk a budget of two held directories.
    const auto run = runCli({"-r", "--json", "-j", "1"}, tree.path("top"), "ulimit -n 24 && " + kAsNobody);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.standardError, "quilldex-cli: open(a/closed): Permission denied\n");
    for (const std::string path : {"a/x", "a/y", "b/x", "b/y", "c/x", "c/y", "d/x", "d/y", "e/x", "f"}) {
        std::string name = path;
        std::replace(name.begin(), name.end(), '/', '-');
        const std::string json = readFile(tree.path("top/" + path + "/index.json"));
        EXPECT_NE(json.find("\"directory\": \"/" + path + "/\""), std::string::npos) << path << ": " << json;
        EXPECT_NE(json.find("\"" + name + ".txt\""), std::string::npos) << path << ": " << json;
    }
}

// Names holding control bytes or backslashes are shown escaped, so that one
// line is one path: in --check output, in notes and in failures.
TEST(HostileTree, PathsInCheckOutputAndMessagesAreOneLineEach)
{
    REQUIRE_ROOT();
    TempTree tree;
    tree.file("top/a\nnl/x.txt");
    tree.file("top/b\\c/x.txt");
    tree.file("top/k\x01/index.html", "my own page");
    tree.file("top/u\tv/x.txt");
    for (const auto& item : fs::recursive_directory_iterator(tree.path("top")))
        chown(item.path(), kNobody, kNobody);
    chown(tree.path("top"), kNobody, kNobody);
    ASSERT_EQ(runCli({"-r"}, tree.path("top"), kAsNobody).exitCode, 0);
    tree.file("top/a\nnl/y.txt");
    tree.file("top/b\\c/y.txt");
    chown(tree.path("top/u\tv"), 0, 0);
    fs::permissions(tree.path("top/u\tv"), fs::perms::owner_all);

    const auto check = runCli({"-r", "--check"}, tree.path("top"), kAsNobody);
    EXPECT_EQ(check.standardOutput, "a\\x0anl/index.html\nb\\\\c/index.html\n");
    EXPECT_EQ(check.standardError, note("k\\x01/index.html") + "quilldex-cli: open(u\\x09v): Permission denied\n");
    EXPECT_EQ(check.exitCode, 1);
}

// Temporary files are never listed; one a killed run left (older than the
// run) is removed, one another run is writing is left alone, and neither a
// link nor a directory of such a name is ever removed. Every directory's
// time is what it was before the run.
TEST(HostileTree, TemporaryFilesAreNeverListedAndOnlyStaleOnesRemoved)
{
    TempTree tree;
    tree.file("top/a.txt");
    tree.file("top/sub/b.txt");
    const auto stale = tree.file("top/" + kTemporaryPrefix + "1-1-1", "left by a killed run");
    setLastWriteTime(stale, 1000000000);
    // Another run still writing keeps its time at least at this run's start.
    const auto fresh = tree.file("top/sub/" + kTemporaryPrefix + "2-2-2", "being written");
    setLastWriteTime(fresh, std::time(nullptr) + 60);
    fs::create_symlink("a.txt", tree.path("top/" + kTemporaryPrefix + "3-3-3"));
    const auto staleDirectory = tree.file("top/" + kTemporaryPrefix + "4-4-4/inside.txt");
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, tree.path("top/" + kTemporaryPrefix + "3-3-3").c_str(), old, AT_SYMLINK_NOFOLLOW);
    setLastWriteTime(staleDirectory.parent_path(), 1000000000);
    ASSERT_EQ(runCli({"-r", "--no-size"}, tree.path("top")).exitCode, 0);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_EQ(readFile(fresh), "being written");
    EXPECT_TRUE(fs::is_symlink(tree.path("top/" + kTemporaryPrefix + "3-3-3")));
    EXPECT_TRUE(fs::exists(staleDirectory));
    const std::string top = readFile(tree.path("top/index.html"));
    EXPECT_EQ(top.find(kTemporaryPrefix), std::string::npos) << top;
    EXPECT_EQ(top, headerRow(false, false, false) + nameRow("..") + nameRow("a.txt") + nameRow("sub") + creditLine());
    EXPECT_EQ(readFile(tree.path("top/sub/index.html")).find(kTemporaryPrefix), std::string::npos);

    tree.file("top/c.txt");
    tree.file("top/sub/d.txt");
    setLastWriteTime(tree.path("top"), 1100000000);
    setLastWriteTime(tree.path("top/sub"), 1200000000);
    const auto topTime = fs::last_write_time(tree.path("top"));
    const auto subTime = fs::last_write_time(tree.path("top/sub"));
    for (const auto& form : {std::vector<std::string>{"-r", "--no-size"}, std::vector<std::string>{"-r", "--json"},
                             std::vector<std::string>{"-r", "--page", "-o", "page.html"}}) {
        const auto run = runCli(form, tree.path("top"));
        EXPECT_EQ(run.exitCode, 0) << form[1] << ": " << run.standardError;
        EXPECT_EQ(fs::last_write_time(tree.path("top")), topTime) << form[1];
        EXPECT_EQ(fs::last_write_time(tree.path("top/sub")), subTime) << form[1];
    }
}

}  // namespace
}  // namespace quilldex
