// An output file named by a path that leads through links: the file the
// links lead to is written, the links stay, and what cannot be a file is
// refused with the path named.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "support/temp_tree.h"

namespace quilldex::platform {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempTree;

TEST(OutputPath, LinksAreFollowedToTheFileTheyLeadTo)
{
    struct Case {
        const char* what;
        const char* named;    // the path given, below the tree
        const char* written;  // where the bytes must land
        const char* error;    // or the reason of the refusal
    };
    const Case cases[] = {
        {"a plain file", "out.html", "out.html", nullptr},
        {"a link to a file", "link.html", "real/page.html", nullptr},
        {"a link to a link", "chain.html", "real/page.html", nullptr},
        {"a link to a free name", "dangling.html", "real/new.html", nullptr},
        {"through a linked folder", "folder/page.html", "real/page.html", nullptr},
        {"a link to a folder", "to-folder", nullptr, "Is a directory"},
        {"links in a loop", "loop-a", nullptr, "Too many levels of symbolic links"},
    };
    for (const auto& c : cases) {
        TempTree tree;
        tree.file("real/page.html", "old");
        fs::create_symlink("real/page.html", tree.path("link.html"));
        fs::create_symlink("link.html", tree.path("chain.html"));
        fs::create_symlink("real/new.html", tree.path("dangling.html"));
        fs::create_directory_symlink("real", tree.path("folder"));
        fs::create_directory_symlink("real", tree.path("to-folder"));
        fs::create_symlink("loop-b", tree.path("loop-a"));
        fs::create_symlink("loop-a", tree.path("loop-b"));

        OutputStream stream;
        const bool opened = stream.open(tree.path(c.named).string());
        if (c.error != nullptr) {
            EXPECT_FALSE(opened) << c.what;
            EXPECT_EQ(stream.error(), "open(" + tree.path(c.named).string() + "): " + c.error) << c.what;
            continue;
        }
        ASSERT_TRUE(opened) << c.what << ": " << stream.error();
        stream.write("new\n");
        ASSERT_TRUE(stream.close()) << c.what << ": " << stream.error();
        EXPECT_EQ(readFile(tree.path(c.written)), "new\r\n") << c.what;
        EXPECT_TRUE(fs::is_symlink(tree.path("link.html"))) << c.what;
    }
}

}  // namespace
}  // namespace quilldex::platform
