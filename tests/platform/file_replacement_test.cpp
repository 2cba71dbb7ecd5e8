// Replacing a file through the output stream: a failure at any step keeps
// the old file byte for byte and leaves no temporary file; equal output
// leaves the file and its directory untouched.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "support/temp_tree.h"

namespace quilldex::platform {
namespace {

using testing::readFile;
using testing::setLastWriteTime;
using testing::TempTree;
namespace fs = std::filesystem;

std::set<std::string> namesIn(const fs::path& directory)
{
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(directory))
        names.insert(item.path().filename().string());
    return names;
}

// Large enough that the stream writes it in several calls.
std::string largeText()
{
    std::string text;
    for (int i = 0; text.size() < 200 * 1024; ++i)
        text += "row " + std::to_string(i) + "\n";
    return text;
}

class InjectedFaults {
public:
    ~InjectedFaults() { clearInjectedFaults(); }
};

TEST(FileReplacement, AFailureAtAnyStepKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    struct Case {
        const char* what;
        FaultPoint point;
        int nth;
        std::string text;
        const char* call;
    };
    const Case cases[] = {
        {"first write", FaultPoint::Write, 1, largeText(), "write("},
        {"third write", FaultPoint::Write, 3, largeText(), "write("},
        {"flush", FaultPoint::Flush, 1, "short\n", "flush("},
        {"close", FaultPoint::Close, 1, largeText(), "close("},
        {"rename", FaultPoint::Rename, 1, "short\n", "rename("},
    };
    for (const auto& c : cases) {
        for (const bool existed : {true, false}) {
            // A new file is written under its own name: no rename.
            if (c.point == FaultPoint::Rename && !existed)
                continue;
            TempTree tree;
            const auto target = tree.path("index.html");
            if (existed)
                tree.file("index.html", "the old index");
            const InjectedFaults disarm;
            injectFault(c.point, c.nth);
            OutputStream stream;
            ASSERT_TRUE(stream.open(target.string())) << c.what;
            stream.write(c.text);
            EXPECT_FALSE(stream.close()) << c.what;
            EXPECT_EQ(stream.error().find(c.call), 0u) << c.what << ": " << stream.error();
            EXPECT_NE(stream.error().find(target.string()), std::string::npos) << stream.error();
            EXPECT_EQ(readFile(target), existed ? "the old index" : "") << c.what;
            EXPECT_EQ(namesIn(tree.root()), existed ? std::set<std::string>{"index.html"} : std::set<std::string>{})
                << c.what;
        }
    }
}

TEST(FileReplacement, EqualOutputLeavesTheFileAloneAndOtherOutputReplacesIt)
{
    const std::string large = largeText();
    std::string largeOnDisk;
    for (const char c : large)
        largeOnDisk += c == '\n' ? std::string("\r\n") : std::string(1, c);
    struct Case {
        const char* what;
        std::string old;
        std::string text;
        std::string expected;
        bool changed;
    };
    const Case cases[] = {
        {"equal, short", "a\r\n", "a\n", "a\r\n", false},
        {"equal, large", largeOnDisk, large, largeOnDisk, false},
        {"longer", "a\r\n", "a\nb\n", "a\r\nb\r\n", true},
        {"shorter", "a\r\nb\r\n", "a\n", "a\r\n", true},
        {"empty", "a\r\n", "", "", true},
        {"differs after the buffer", largeOnDisk + "x", large + "y", largeOnDisk + "y", true},
    };
    for (const auto& c : cases) {
        TempTree tree;
        const auto target = tree.file("index.html", c.old);
        setLastWriteTime(target, 1000000000);
        const auto before = fs::last_write_time(target);
        const auto directoryBefore = fs::last_write_time(tree.root());

        OutputStream comparison;
        ASSERT_TRUE(comparison.openComparison(target.string()));
        comparison.write(c.text);
        ASSERT_TRUE(comparison.close()) << c.what;
        EXPECT_EQ(comparison.changed(), c.changed) << c.what;
        EXPECT_TRUE(readFile(target) == c.old) << c.what;

        OutputStream stream;
        ASSERT_TRUE(stream.open(target.string()));
        stream.write(c.text);
        ASSERT_TRUE(stream.close()) << c.what << ": " << stream.error();
        EXPECT_EQ(stream.changed(), c.changed) << c.what;
        EXPECT_TRUE(readFile(target) == c.expected) << c.what;
        if (!c.changed) {
            EXPECT_EQ(fs::last_write_time(target), before) << c.what;
        }
        EXPECT_EQ(fs::last_write_time(tree.root()), directoryBefore) << c.what;
        EXPECT_EQ(namesIn(tree.root()), std::set<std::string>{"index.html"}) << c.what;
    }
}

// The directory's modification time, as finely as the system keeps it.
std::int64_t directoryTime(const fs::path& directory)
{
    return fs::last_write_time(directory).time_since_epoch().count();
}

// Which file `path` is (device and inode, volume and file index), so that
// a test can tell the same file from a copy of it.
std::pair<std::uint64_t, std::uint64_t> fileIdentity(const fs::path& path)
{
#ifdef _WIN32
    HANDLE file =
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    return {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
#else
    struct stat status {};
    ::stat(path.c_str(), &status);
    return {status.st_dev, status.st_ino};
#endif
}

// Another run puts its index at the free name while this stream writes
// (after its temporary file exists): the stream never writes into that
// file, and however it ends (taken and abandoned, a fault, the rename
// refused) it never removes it; only replaceTaken() puts the new file there.
TEST(FileReplacement, AFileThatAppearsAtAFreeNameIsNeverWrittenIntoNorRemoved)
{
    enum class End { Abandon, ReplaceTaken, CloseFault, RenameFault };
    struct Case {
        const char* what;
        ExistingFile hint;
        End end;
    };
    const Case cases[] = {
        {"absent, abandoned", ExistingFile::Absent, End::Abandon},
        {"unknown, abandoned", ExistingFile::Unknown, End::Abandon},
        {"absent, replaced", ExistingFile::Absent, End::ReplaceTaken},
        {"absent, close fails", ExistingFile::Absent, End::CloseFault},
        {"unknown, rename fails", ExistingFile::Unknown, End::RenameFault},
    };
    const std::string text = largeText();
    for (const auto& c : cases) {
        TempTree tree;
        const DirectoryHandle directory = DirectoryHandle::open(tree.root().string());
        ASSERT_TRUE(directory.valid());
        const InjectedFaults disarm;
        OutputStream stream;
        ASSERT_TRUE(stream.open(directory, "index.html", c.hint)) << c.what;
        stream.write(text);  // more than a buffer: the temporary file exists now
        ASSERT_EQ(namesIn(tree.root()).size(), 1u) << c.what;
        const auto theirs = tree.file("index.html", "another run's index");
        const auto before = fileIdentity(theirs);
        if (c.end == End::CloseFault)
            injectFault(FaultPoint::Close);
        if (c.end == End::RenameFault)
            injectFault(FaultPoint::Rename);
        EXPECT_FALSE(stream.close()) << c.what;
        EXPECT_EQ(stream.taken(), c.end == End::Abandon || c.end == End::ReplaceTaken) << c.what;
        if (stream.taken()) {
            char start[64];
            const auto got = stream.readTakenStart(start, sizeof start);
            ASSERT_TRUE(got.has_value()) << c.what;
            EXPECT_EQ(std::string(start, *got), "another run's index") << c.what;
            // Complete and waiting until the caller decides.
            EXPECT_EQ(namesIn(tree.root()).size(), 2u) << c.what;
        }
        if (c.end == End::ReplaceTaken) {
            EXPECT_TRUE(stream.replaceTaken()) << c.what << ": " << stream.error();
            EXPECT_EQ(readFile(theirs).size(), text.size() + std::count(text.begin(), text.end(), '\n')) << c.what;
        } else {
            stream.abandon();
            EXPECT_EQ(readFile(theirs), "another run's index") << c.what;
            EXPECT_EQ(fileIdentity(theirs), before) << c.what;
            EXPECT_EQ(fs::hard_link_count(theirs), 1u) << c.what;
        }
        EXPECT_EQ(namesIn(tree.root()), std::set<std::string>{"index.html"}) << c.what;
    }
}

// The directory's time is set back after the stream's own change only: a
// file another process adds while the index is written leaves it changed,
// whether the stream then renames its file in or abandons it.
TEST(FileReplacement, TheDirectoryTimeIsSetBackOnlyWhenNothingElseChangedTheDirectory)
{
    for (const bool existed : {true, false}) {
        for (const bool commit : {true, false}) {
            for (const bool otherChange : {false, true}) {
                const std::string what = std::string(existed ? "replace" : "new") + (commit ? ", close" : ", abandon") +
                                         (otherChange ? ", another file added" : "");
                TempTree tree;
                if (existed)
                    tree.file("index.html", "the old index");
                setLastWriteTime(tree.root(), 1000000000);
                const auto original = directoryTime(tree.root());
                const DirectoryHandle directory = DirectoryHandle::open(tree.root().string());
                OutputStream stream;
                ASSERT_TRUE(stream.open(directory, "index.html")) << what;
                stream.write(largeText());
                if (otherChange) {
                    // Past the timestamp granularity of file systems without
                    // fine-grained times, so the change shows in the time.
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    tree.file("added.txt", "added meanwhile");
                }
                if (commit)
                    EXPECT_TRUE(stream.close()) << what << ": " << stream.error();
                else
                    stream.abandon();
                if (otherChange)
                    EXPECT_NE(directoryTime(tree.root()), original) << what;
                else
                    EXPECT_EQ(directoryTime(tree.root()), original) << what;
                EXPECT_EQ(readFile(tree.path("index.html")) == "the old index", existed && !commit) << what;
            }
        }
    }
}

}  // namespace
}  // namespace quilldex::platform
