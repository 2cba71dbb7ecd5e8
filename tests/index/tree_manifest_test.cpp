// The tree manifest: its compact paths in the walk's order whatever order
// the jobs handed the directories over in, lossless names, how its files
// are told from another's, and whole runs with one job and with several.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "index/export_runs.h"
#include "index/own_files.h"
#include "index/page_assets.h"
#include "index/tree_manifest.h"
#include "platform/platform.h"
#include "run_helpers.h"
#include "support/temp_tree.h"
#include "version.h"

namespace quilldex {
namespace {

using testing::readFile;
using testing::TempTree;

struct Row {
    std::string name;
    bool isDirectory = false;
    std::uint64_t size = 0;
    platform::UtcSeconds time = 0;
    std::string title;
};

struct Added {
    std::string path;
    std::vector<Row> rows;
};

struct ManifestCase {
    std::string label;
    std::vector<Added> added;  // in the order jobs might hand them over
    std::string json;
    std::string script;
};

// Both files of a manifest of `added`, as written to disk.
std::pair<std::string, std::string> written(const std::vector<Added>& added)
{
    TreeManifest manifest;
    for (const Added& directory : added) {
        ManifestRows rows(directory.path == ".");
        for (const Row& row : directory.rows) {
            platform::DirectoryEntry entry;
            entry.name = row.name;
            entry.isDirectory = row.isDirectory;
            entry.size = row.size;
            entry.lastWriteTime = row.time;
            rows.add(entry, row.title.empty() ? EntryTitle() : EntryTitle(row.title));
        }
        manifest.add(directory.path, std::move(rows));
    }
    manifest.arrange();
    TempTree tree;
    const platform::DirectoryHandle directory = platform::DirectoryHandle::open(tree.root().string());
    for (const bool json : {true, false}) {
        platform::OutputStream stream;
        EXPECT_TRUE(stream.open(directory, json ? "m.json" : "m.js"));
        if (json)
            manifest.writeJson(stream, "index.html");
        else
            manifest.writeScript(stream, "index.html");
        EXPECT_TRUE(stream.close()) << stream.error();
    }
    return {readFile(tree.path("m.json")), readFile(tree.path("m.js"))};
}

const std::string kJsonStart = "{\"generator\": \"" QUILLDEX_TITLE "\", \"index\": \"index.html\"";
const std::string kScriptStart = std::string(kTreeScriptStart) + kJsonStart;

TEST(TreeManifest, PathsAreNumberedInTheWalksOrderAndNamesKeptWhole)
{
    std::vector<ManifestCase> cases = {
        {"walk order: a subtree before a sibling whose name sorts after it bytewise; letters without case",
         {{"a/b", {{"x.txt", false, 3, 100, ""}}},
          {".", {{"a", true, 0, 1, ""}, {"a b", true, 0, 2, ""}, {"B", true, 0, 3, ""}, {"..", true, 0, 9, ""}}},
          {"B", {{"l\nf", false, 0, 0, ""}}},
          {"a b", {{"t.html", false, 5, 7, "T &amp; t"}}},
          {"a", {{"b", true, 0, 4, ""}, {".", true, 0, 4, ""}}}},
         kJsonStart +
             ", \"directories\": [\r\n"
             "{\"parent\": null, \"name\": \"\", \"names\": \"a/a b/B\", \"modified\": [1,2,3], "
             "\"sizes\": [-1,-1,-1]},\r\n"
             "{\"parent\": 0, \"name\": \"a\", \"names\": \"b\", \"modified\": [4], \"sizes\": [-1]},\r\n"
             "{\"parent\": 1, \"name\": \"b\", \"names\": \"x.txt\", \"modified\": [100], \"sizes\": [3]},\r\n"
             "{\"parent\": 0, \"name\": \"a b\", \"names\": \"t.html\", \"modified\": [7], \"sizes\": [5], "
             "\"titles\": [[0,\"T & t\"]]},\r\n"
             "{\"parent\": 0, \"name\": \"B\", \"names\": \"l\\u000af\", \"modified\": [0], \"sizes\": [0]}\r\n"
             "]}\r\n",
         kScriptStart + ",\r\n"
                        "\"parents\": [-1,0,1,0,0],\r\n"
                        "\"directories\": \"/a/b/a b/B\",\r\n"
                        "\"counts\": [3,1,1,1,1],\r\n"
                        "\"names\": \"a/a b/B/b/x.txt/t.html/l\\u000af\",\r\n"
                        "\"sizes\": [-1,-1,-1,-1,3,5,0],\r\n"
                        "\"times\": [1,2,3,4,100,7,0],\r\n"
                        "\"titles\": [5,\"T & t\"]});\r\n"},
        {"an empty tree",
         {{".", {}}},
         kJsonStart + ", \"directories\": [\r\n"
                      "{\"parent\": null, \"name\": \"\", \"names\": \"\", \"modified\": [], \"sizes\": []}\r\n]}\r\n",
         kScriptStart + ",\r\n\"parents\": [-1],\r\n\"directories\": \"\",\r\n\"counts\": [0],\r\n"
                        "\"names\": \"\",\r\n\"sizes\": [],\r\n\"times\": [],\r\n\"titles\": []});\r\n"},
    };
    // Bytes that are no UTF-8 stay bytes on POSIX; on Windows a name is
    // code-page text, which is always converted.
    const std::string badName =
        "b\xE9"
        "d";
    if (platform::toUtf8(badName) == badName)
        cases.push_back(
            {"names that are not UTF-8, and a directory whose parent never came (added empty)",
             {{"x/q\xFF", {{badName, false, 1, 5, ""}}}, {".", {{"x", true, 0, 9, ""}}}},
             kJsonStart +
                 ", \"directories\": [\r\n"
                 "{\"parent\": null, \"name\": \"\", \"names\": \"x\", \"modified\": [9], \"sizes\": [-1]},\r\n"
                 "{\"parent\": 0, \"name\": \"x\", \"names\": \"\", \"modified\": [], \"sizes\": []},\r\n"
                 "{\"parent\": 1, \"name\": \"q\xEF\xBF\xBD\", \"name_bytes\": \"71ff\", "
                 "\"names\": \"b\xEF\xBF\xBD"
                 "d\", \"modified\": [5], \"sizes\": [1], \"names_bytes\": [[0,\"62e964\"]]}\r\n"
                 "]}\r\n",
             kScriptStart + ",\r\n\"parents\": [-1,0,1],\r\n\"directories\": \"/x/q\\udcff\",\r\n"
                            "\"counts\": [1,0,1],\r\n\"names\": \"x/b\\udce9d\",\r\n"
                            "\"sizes\": [-1,1],\r\n\"times\": [9,5],\r\n\"titles\": []});\r\n"});
    for (const ManifestCase& test : cases) {
        SCOPED_TRACE(test.label);
        const auto [json, script] = written(test.added);
        EXPECT_EQ(json, test.json);
        // The data, then the search the pages run on it.
        EXPECT_EQ(script, test.script + std::string(kTreeSearchScript) + "\r\n");
    }
}

TEST(TreeManifest, OnlyTheTopLeavesOutTheManifestsNames)
{
    const struct {
        bool atTop;
        std::string name;
        bool leftOut;
    } cases[] = {
        {true, "index.tree.json", true}, {true, "index.tree.js", true},     {true, "index.tree.jsonx", false},
        {true, "Index.tree.js", false},  {false, "index.tree.json", false}, {false, "index.tree.js", false},
    };
    for (const auto& test : cases)
        EXPECT_EQ(ManifestRows(test.atTop).leavesOut(test.name), test.leftOut) << test.name << " " << test.atTop;
}

TEST(TreeManifest, ItsFilesAreToldFromAnothersByTheGeneratorMember)
{
    const struct {
        std::string start;
        bool own;
    } cases[] = {
        {"{\"generator\": \"QUILLDEX 1.0.7\", \"index\": \"index.html\"", true},
        {"{\"generator\": \"QUILLDEX 0.9\", \"directory\": \"/\"", true},
        {"\xEF\xBB\xBFquilldexTree({\"generator\": \"QUILLDEX 1.0.7\", \"index\"", true},
        {"quilldexTree({\"generator\": \"QUILLDEX 1.0.7\"", false},
        {"\xEF\xBB\xBF{\"generator\": \"QUILLDEX 1.0.7\"", false},
        {"{\"generator\": \"another\"}", false},
        {"{ \"generator\": \"QUILLDEX 1.0.7\"}", false},
        {"", false},
    };
    for (const auto& test : cases)
        EXPECT_EQ(treeManifestWrittenByThisProgram(test.start), test.own) << test.start;
}

TEST(TreeManifest, ARunWritesTheSameFilesWithOneJobOrManyAndAgainNothing)
{
    TempTree tree;
    for (int a = 0; a < 6; ++a)
        for (int b = 0; b < 5; ++b)
            tree.file("top/d" + std::to_string(a) + "/e" + std::to_string(b) + "/f.txt", std::to_string(a * b));
    tree.file("top/index.tree.json.txt", "kept in the listing");
    IndexOptions options = testing::recursiveOptions();
    options.directory = tree.path("top").string();
    options.form = OutputForm::Page;
    options.treeIndex = true;
    std::vector<std::string> runs;
    for (const unsigned jobs : {1u, 8u, 1u}) {
        options.jobs = jobs;
        RunReport report;
        ASSERT_TRUE(exportRecursive(options, {}, nullptr, &report));
        EXPECT_TRUE(report.problems.empty());
        runs.push_back(readFile(tree.path("top/index.tree.json")) + readFile(tree.path("top/index.tree.js")));
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_EQ(runs[0], runs[2]);
    // The top's names in both files: "d0/.../d5/index.tree.json.txt".
    EXPECT_NE(runs[0].find("/d5/index.tree.json.txt\""), std::string::npos);
    EXPECT_EQ(runs[0].find("/index.tree.js/"), std::string::npos);
    EXPECT_EQ(runs[0].find("/index.tree.json/"), std::string::npos);
    EXPECT_EQ(readFile(tree.path("top/index.html")).find(">index.tree.js<"), std::string::npos);

    // Masked out: neither listed nor in the manifest; a directory the mask
    // hides is still entered, and its entries are there.
    options.fileMask = "*.txt";
    options.jobs = 4;
    ASSERT_TRUE(exportRecursive(options));
    const std::string masked = readFile(tree.path("top/index.tree.json"));
    EXPECT_NE(masked.find("\"name\": \"\", \"names\": \"index.tree.json.txt\""), std::string::npos) << masked;
    EXPECT_NE(masked.find("{\"parent\": 1, \"name\": \"e0\", \"names\": \"f.txt\""), std::string::npos);
    options.fileMask = "*.*";
    ASSERT_TRUE(exportRecursive(options));

    // A check finds nothing to do; a directory at a manifest's name is a
    // problem of the run, named, and the pages are still written.
    options.checkOnly = true;
    RunReport check;
    ASSERT_TRUE(exportRecursive(options, {}, nullptr, &check));
    EXPECT_TRUE(check.stale.empty());
    options.checkOnly = false;
    std::filesystem::remove(tree.path("top/index.tree.js"));
    tree.dir("top/index.tree.js");
    RunReport blocked;
    ASSERT_TRUE(exportRecursive(options, {}, nullptr, &blocked));
    ASSERT_EQ(blocked.problems.size(), 1u);
    EXPECT_NE(blocked.problems[0].find("(index.tree.js): "), std::string::npos) << blocked.problems[0];
}

}  // namespace
}  // namespace quilldex
