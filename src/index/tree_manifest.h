// The manifest of a whole tree: every entry the pages of a recursive run
// list, gathered while the jobs write the pages and written once after the
// walk, as JSON for programs (index.tree.json) and as a script a page loads
// with a script element (index.tree.js), since a page opened from file://
// cannot fetch a file.
//
// Paths are stored compactly: directories as a table of their parent's
// number and their own name, each entry under its directory's number.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "index/index_form.h"
#include "platform/platform.h"

namespace quilldex {

// The manifest's files at the top of the run, whatever the index's name.
inline constexpr std::string_view kTreeJsonName = "index.tree.json";
inline constexpr std::string_view kTreeScriptName = "index.tree.js";

// What a script file starts with: a byte order mark, so that a page in a
// code page reads it as UTF-8, then the call that hands the data to the page.
inline constexpr std::string_view kTreeScriptStart = "\xEF\xBB\xBFquilldexTree(";

// The rows of one directory's index, as the manifest keeps them: the names
// and titles (UTF-8, titles decoded) one after another in one text, and a
// record of 24 bytes per row.
class ManifestRows {
public:
    explicit ManifestRows(bool atTop = false) : atTop_(atTop) {}

    // Whether the entry `name` is one of the manifest's own files, which
    // the top's page leaves out as it leaves out the index files.
    bool leavesOut(std::string_view name) const { return atTop_ && (name == kTreeJsonName || name == kTreeScriptName); }

    // Takes a row the index lists ("." and ".." are no part of the tree).
    void add(const platform::DirectoryEntry& entry, EntryTitle title);

private:
    friend class TreeManifest;
    static constexpr std::uint64_t kDirectorySize = ~std::uint64_t{0};
    struct Row {
        std::uint32_t nameEnd = 0;
        std::uint32_t titleEnd = 0;  // past nameEnd when the row has a title
        std::uint64_t size = 0;      // kDirectorySize for a directory
        std::int64_t time = 0;
    };
    bool atTop_ = false;
    std::string text_;
    std::vector<Row> rows_;
};

class TreeManifest {
public:
    // Takes the rows of the directory at `path` from the top ("." for the
    // top, else "a/b"). Jobs call it at the same time.
    void add(std::string path, ManifestRows rows);

    // Puts the directories into the order one job walks them in, so that
    // the files do not depend on the number of jobs, and numbers them.
    void arrange();

    // After arrange(): the two forms of the manifest. `outputName` is the
    // index files' name, which links to a directory end in.
    void writeJson(platform::OutputStream& stream, std::string_view outputName) const;
    void writeScript(platform::OutputStream& stream, std::string_view outputName) const;

private:
    struct Directory {
        std::string path;
        ManifestRows rows;
        std::int64_t parent = -1;
    };
    std::string_view nameOf(const Directory& directory) const;

    std::mutex lock_;
    std::vector<Directory> directories_;
};

}  // namespace quilldex
