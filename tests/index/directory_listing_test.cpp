// What a directory listing selects and in which order, on real trees.
#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "index/directory_listing.h"
#include "index/export_runs.h"
#include "index/listing_order.h"
#include "index/natural_order.h"
#include "platform/fault_injection.h"
#include "run_helpers.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using testing::ChangeDirectory;
using testing::creditLine;
using testing::headerRow;
using testing::nameRow;
using testing::readFile;
using testing::recursiveOptions;
using testing::TempTree;
namespace fs = std::filesystem;

// The names a listing shows, in its order, separated by spaces.
std::string shown(const IndexOptions& options)
{
    const auto here = platform::DirectoryHandle::open(".");
    DirectoryListing listing(here, options);
    std::string names;
    platform::DirectoryEntry entry;
    while (listing.next(entry))
        names += (names.empty() ? "" : " ") + entry.name;
    return names;
}

TEST(NaturalOrder, ComparesDigitRunsByValueAndLettersWithoutCase)
{
    const struct {
        const char* a;
        const char* b;
        int order;  // sign of compareNaturally(a, b)
    } cases[] = {
        {"file2", "file10", -1},
        {"file10", "file010", 0},
        {"File10", "file10", 0},
        {"file10", "file9", 1},
        {"a2b10", "a2b9", 1},
        {"x99999999999999999999999", "x100000000000000000000000", -1},  // longer than 64 bits
        {"x00", "x0", 0},
        {"a", "a1", -1},
        {"a_", "aZ", 1},  // '_' after the letters, as in the name order
        {"", "", 0},
    };
    for (const auto& c : cases) {
        const int order = compareNaturally(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.order) << c.a << " vs " << c.b;
        EXPECT_EQ((order > 0) - (order < 0), -((compareNaturally(c.b, c.a) > 0) - (compareNaturally(c.b, c.a) < 0)))
            << c.b << " vs " << c.a;
    }
}

TEST(DirectoryListing, OrdersByEveryKeyReversedAndDirectoriesFirst)
{
    TempTree tree;
    const struct {
        const char* name;
        std::size_t size;
        std::int64_t time;
    } files[] = {
        {"a10.txt", 5, 400},
        {"a2.txt", 500, 100},
        {"B1.txt", 50, 300},
        {"a010.txt", 5, 400},
    };
    for (const auto& f : files)
        testing::setLastWriteTime(tree.file(f.name, std::string(f.size, 'x')), 1000000000 + f.time);
    testing::setLastWriteTime(tree.dir("d3"), 1000000000 + 200);
    testing::setLastWriteTime(tree.dir("D20"), 1000000000 + 500);
    const ChangeDirectory inside(tree.root());

    const struct {
        SortKey key;
        bool reverse;
        bool directoriesFirst;
        const char* names;
    } cases[] = {
        {SortKey::Name, false, false, ".. a010.txt a10.txt a2.txt B1.txt D20 d3"},
        {SortKey::Name, true, false, ".. d3 D20 B1.txt a2.txt a10.txt a010.txt"},
        {SortKey::Name, false, true, ".. D20 d3 a010.txt a10.txt a2.txt B1.txt"},
        {SortKey::Name, true, true, ".. d3 D20 B1.txt a2.txt a10.txt a010.txt"},
        {SortKey::Natural, false, false, ".. a2.txt a010.txt a10.txt B1.txt d3 D20"},
        {SortKey::Natural, true, false, ".. D20 d3 B1.txt a10.txt a010.txt a2.txt"},
        {SortKey::Natural, false, true, ".. d3 D20 a2.txt a010.txt a10.txt B1.txt"},
        {SortKey::Natural, true, true, ".. D20 d3 B1.txt a10.txt a010.txt a2.txt"},
        {SortKey::Size, false, false, ".. D20 d3 a010.txt a10.txt B1.txt a2.txt"},
        {SortKey::Size, true, false, ".. a2.txt B1.txt a10.txt a010.txt d3 D20"},
        {SortKey::Size, false, true, ".. D20 d3 a010.txt a10.txt B1.txt a2.txt"},
        {SortKey::Size, true, true, ".. d3 D20 a2.txt B1.txt a10.txt a010.txt"},
        {SortKey::Time, false, false, ".. a2.txt d3 B1.txt a010.txt a10.txt D20"},
        {SortKey::Time, true, false, ".. D20 a10.txt a010.txt B1.txt d3 a2.txt"},
        {SortKey::Time, false, true, ".. d3 D20 a2.txt B1.txt a010.txt a10.txt"},
        {SortKey::Time, true, true, ".. D20 d3 a10.txt a010.txt B1.txt a2.txt"},
    };
    for (const auto& c : cases) {
        for (const bool showSize : {false, true}) {
            IndexOptions options = recursiveOptions();
            options.sortKey = c.key;
            options.reverseOrder = c.reverse;
            options.directoriesFirst = c.directoriesFirst;
            options.showSize = showSize;
            EXPECT_EQ(shown(options), c.names)
                << "key " << static_cast<int>(c.key) << (c.reverse ? " reversed" : "")
                << (c.directoriesFirst ? " directories first" : "") << (showSize ? " with sizes" : "");
        }
    }
}

TEST(DirectoryListing, NameOrderIsTheSameWithAndWithoutSizes)
{
    // Names that agree in their first bytes but for case, or differ only
    // past them, or end within them: with sizes the listing compares a
    // prefix of each name first.
    TempTree tree;
    std::vector<std::string> names = {"backup_2020_b",  "BACKUP_2020_a",    "backup_2020", "backup_", "backup", "b",
                                      "backup_2020_a~", "backup_2020_\x7f", "backup 2",    "backupz"};
#ifndef _WIN32
    // Names that differ in case only, where the file system holds both.
    names.insert(names.end(), {"Backup_2020_a", "backup_2020_a"});
#endif
    for (const auto& name : names)
        tree.file(name);
    const ChangeDirectory inside(tree.root());
    IndexOptions options;
    options.showSize = false;
    const std::string withoutSizes = shown(options);
#ifdef _WIN32
    EXPECT_EQ(withoutSizes,
              "b backup backup 2 backupz backup_ backup_2020 BACKUP_2020_a backup_2020_a~ "
              "backup_2020_b backup_2020_\x7f");
#else
    EXPECT_EQ(withoutSizes,
              "b backup backup 2 backupz backup_ backup_2020 BACKUP_2020_a Backup_2020_a backup_2020_a "
              "backup_2020_a~ backup_2020_b backup_2020_\x7f");
#endif
    options.showSize = true;
    EXPECT_EQ(shown(options), withoutSizes);

    // The natural order, with digits at every place of the first bytes.
    for (const char* name : {"file2", "file10", "file010", "file1a", "filea", "file_", "fil", "9lives", "10lives",
                             "backup2", "backup10", "backu9"})
        tree.file(name);
    options.sortKey = SortKey::Natural;
    options.showSize = false;
    const std::string natural = shown(options);
    EXPECT_TRUE(natural.starts_with("9lives 10lives b backu9 backup backup 2 backup2 backup10 backupz backup_ "))
        << natural;
    options.showSize = true;
    EXPECT_EQ(shown(options), natural);
}

TEST(DirectoryListing, NaturalOrderMatchesTheWholeComparisonInEveryForm)
{
    // Generated names with digit runs at every place of the first bytes,
    // long runs, leading zeros and (where the file system takes them)
    // bytes above 127, as files and directories. Windows holds no two names
    // that differ in case only.
    TempTree tree;
    std::mt19937 generator(25);
    const auto below = [&](unsigned limit) { return std::uniform_int_distribution<unsigned>(0, limit - 1)(generator); };
    std::vector<std::pair<std::string, bool>> entries;  // name, whether a directory
    std::set<std::string> taken;
    while (entries.size() < 300) {
        std::string name(1, "aBzZ"[below(4)]);
        const unsigned pieces = below(5);
        for (unsigned p = 0; p < pieces; ++p) {
            const unsigned kind = below(8);
            if (kind < 3)
                name += "aAbB_-~"[below(7)];
            else if (kind < 7)
                name += std::string(below(3), '0') + std::to_string(below(2) == 0 ? below(10) : below(100000));
#ifndef _WIN32
            else
                name += static_cast<char>(0xC0 + below(0x40));
#endif
        }
        std::string folded = name;
#ifdef _WIN32
        for (char& c : folded)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
#endif
        if (!taken.insert(folded).second)
            continue;
        const bool directory = below(5) == 0;
        directory ? tree.dir(name) : tree.file(name);
        entries.emplace_back(name, directory);
    }
    const ChangeDirectory inside(tree.root());

    for (const bool reverse : {false, true}) {
        for (const bool directoriesFirst : {false, true}) {
            auto expected = entries;
            std::sort(expected.begin(), expected.end(), [&](const auto& a, const auto& b) {
                if (directoriesFirst && a.second != b.second)
                    return a.second;
                const auto& x = reverse ? b.first : a.first;
                const auto& y = reverse ? a.first : b.first;
                const int order = compareNaturally(x, y);
                return order != 0 ? order < 0 : listsBefore(x, y);
            });
            std::string names = "..";
            for (const auto& entry : expected)
                names += " " + entry.first;
            for (const bool showSize : {false, true}) {
                IndexOptions options = recursiveOptions();
                options.sortKey = SortKey::Natural;
                options.reverseOrder = reverse;
                options.directoriesFirst = directoriesFirst;
                options.showSize = showSize;
                EXPECT_EQ(shown(options), names)
                    << (reverse ? "reversed " : "") << (directoriesFirst ? "directories first " : "")
                    << (showSize ? "with sizes" : "");
            }
        }
    }
}

TEST(DirectoryListing, SizesAndTimesFollowTheirEntriesWhenTakenAgain)
{
    // More entries than keep their facts from the read, created in an
    // order unlike the listing's, each with its own size and time.
    TempTree tree;
    constexpr int kCount = 300;
    for (int i = kCount - 1; i >= 0; --i)
        testing::setLastWriteTime(tree.file("f" + std::to_string(i), std::string(static_cast<std::size_t>(i % 7), 'x')),
                                  1000000000 + i);
    const ChangeDirectory inside(tree.root());
    for (const std::size_t limit : {std::size_t{0}, std::size_t{100}, kFactsAtReadLimit}) {
        IndexOptions options;
        options.sortKey = SortKey::Natural;
        const auto here = platform::DirectoryHandle::open(".");
        DirectoryListing listing(here, options, false, limit);
        platform::DirectoryEntry entry;
        int expected = 0;
        while (listing.next(entry)) {
            ASSERT_EQ(entry.name, "f" + std::to_string(expected)) << "limit " << limit;
            EXPECT_EQ(entry.size, static_cast<std::uint64_t>(expected % 7)) << entry.name << ", limit " << limit;
            EXPECT_EQ(entry.lastWriteTime, 1000000000 + expected) << entry.name << ", limit " << limit;
            ++expected;
        }
        EXPECT_EQ(expected, kCount) << "limit " << limit;
        // Folder totals take every size while reading, past the limit too.
        options.folderTotals = true;
        const DirectoryListing totalled(here, options, false, limit);
        std::uint64_t bytes = 0;
        for (int i = 0; i < kCount; ++i)
            bytes += static_cast<std::uint64_t>(i % 7);
        EXPECT_EQ(totalled.ownFiles(), (FolderTotal{bytes, kCount, false})) << "limit " << limit;
    }
}

TEST(DirectoryListing, MasksExclusionsAndHiddenEntriesInARecursiveRun)
{
    TempTree tree;
    for (const char* name : {"a.txt", "b.log", "c.tmp", ".hidden.txt", ".git/config.txt", "build/out.txt", "src/x.txt",
                             "src/skip.tmp", "src/deep/y.txt", "keep/z.bin"})
        tree.file(name);
    const ChangeDirectory inside(tree.root());

    IndexOptions options = recursiveOptions("*.txt");
    options.extraMasks = {"*.log", "s*", "k*", "b*"};
    options.excludeMasks = {"*.tmp", "BUILD"};
    options.skipHidden = true;
    ASSERT_TRUE(exportRecursive(options));

    const std::string header = headerRow(false, false, false);
    EXPECT_EQ(readFile(tree.path("index.html")),
              header + nameRow("a.txt") + nameRow("b.log") + nameRow("keep") + nameRow("src") + creditLine());
    EXPECT_EQ(readFile(tree.path("src/index.html")), header + nameRow("x.txt") + creditLine());
    EXPECT_EQ(readFile(tree.path("src/deep/index.html")), header + nameRow("y.txt") + creditLine());
    // Nothing there matches a mask: the index is empty, as for any mask.
    EXPECT_TRUE(fs::exists(tree.path("keep/index.html")));
    EXPECT_EQ(fs::file_size(tree.path("keep/index.html")), 0u);
    EXPECT_FALSE(fs::exists(tree.path(".git/index.html")));
    EXPECT_FALSE(fs::exists(tree.path("build/index.html")));

    // Without the options everything is listed and entered, as before.
    ASSERT_TRUE(exportRecursive(recursiveOptions("*.*")));
    EXPECT_TRUE(fs::exists(tree.path(".git/index.html")));
    EXPECT_TRUE(fs::exists(tree.path("build/index.html")));
}

TEST(DirectoryListing, AReadCutShortFailsTheIndexAndKeepsTheOldOne)
{
    TempTree tree;
    tree.file("top/a.txt");
    tree.file("top/sub/b.txt");
    const ChangeDirectory inside(tree.path("top"));
    const IndexOptions options = recursiveOptions();
    ASSERT_TRUE(exportRecursive(options));
    const std::string before = readFile(tree.path("top/index.html"));
    tree.file("top/c.txt");

    // The read of the top directory fails after its first name.
    platform::injectFault(platform::FaultPoint::ReadDirectory, 2);
    std::string reason;
    RunReport report;
    const bool ok = exportRecursive(options, {}, &reason, &report);
    platform::clearInjectedFaults();
    EXPECT_FALSE(ok);
    std::string told = reason;
    for (const auto& problem : report.problems)
        told += "\n" + problem;
    EXPECT_NE(told.find("readdir("), std::string::npos) << told;
    EXPECT_EQ(readFile(tree.path("top/index.html")), before);

    IndexOptions single;
    single.outputName = "single.html";
    platform::injectFault(platform::FaultPoint::ReadDirectory, 1);
    reason.clear();
    EXPECT_FALSE(exportSingle(tree.path("single.html").string(), single, &reason));
    platform::clearInjectedFaults();
    EXPECT_NE(reason.find("readdir("), std::string::npos) << reason;
    EXPECT_FALSE(fs::exists(tree.path("single.html")));
}

TEST(DirectoryListing, HiddenEntriesAreLeftOutOnlyWithTheOption)
{
    TempTree tree;
    tree.file("plain");
    tree.dir("open");
    const auto secret = tree.file("secret");
    const auto system = tree.dir("sys");
#ifdef _WIN32
    // Windows hides by the hidden and system attributes. (Wine also gives
    // names starting with a full stop the hidden attribute; Windows does
    // not, so there are none here.)
    ASSERT_TRUE(SetFileAttributesW(secret.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW(system.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM));
    const char* const all = ".. open plain secret sys";
    const char* const visible = ".. open plain";
    const std::vector<std::string> entered = {"open"};
#else
    tree.file(".profile");
    tree.dir(".cache");
    const char* const all = ".. .cache .profile open plain secret sys";
    const char* const visible = ".. open plain secret sys";
    const std::vector<std::string> entered = {"open", "sys"};
#endif
    const ChangeDirectory inside(tree.root());
    IndexOptions options = recursiveOptions();
    EXPECT_EQ(shown(options), all);
    options.skipHidden = true;
    EXPECT_EQ(shown(options), visible);
    EXPECT_EQ(DirectoryListing(platform::DirectoryHandle::open("."), options).subdirectories(), entered);
    // An exclusion of the dot files keeps the way up.
    options.skipHidden = false;
    options.excludeMasks = {".*"};
    EXPECT_EQ(shown(options), ".. open plain secret sys");
}

}  // namespace
}  // namespace quilldex
