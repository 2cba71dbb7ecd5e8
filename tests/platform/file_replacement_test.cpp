// Replacing a file through the output stream: a failure at any step keeps
// the old file byte for byte and leaves no temporary file; equal output
// leaves the file and its directory untouched.
#include <gtest/gtest.h>

#include <set>
#include <string>

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

}  // namespace
}  // namespace quilldex::platform
