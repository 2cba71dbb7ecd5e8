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
#include <utility>
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

// The rows of one directory's index, as the manifest keeps them: already
// in the text of its columns, which the job that lists the directory
// writes, so that what is left after the walk is to join them.
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
    void shrink();

    bool atTop_ = false;
    std::size_t count_ = 0;
    // The names joined by '/' as JSON text (a byte that is not UTF-8 as
    // U+FFFD); as script text (such a byte as a lone surrogate) only where
    // the two differ.
    std::string names_;
    std::string scriptNames_;
    bool scriptDiffers_ = false;
    // Times and sizes joined by ','.
    std::string times_;
    std::string sizes_;
    // Titles as JSON strings, and the exact bytes of names that are not
    // UTF-8 in hex, each by its row's number here.
    std::vector<std::pair<std::size_t, std::string>> titles_;
    std::vector<std::pair<std::size_t, std::string>> nameBytes_;
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
