// The options of one export run, filled by a front end before the run and
// only read while it goes on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "index/site_options.h"
#include "platform/platform.h"

namespace quilldex {

// How the Size column writes a byte count.
enum class SizeStyle {
    Auto,
    Bytes,
    Kilobytes,
    Megabytes,
    Human,  // IEC units, bytes to EiB, two decimals
};

// What an index file is: the HTML table alone (a fragment to paste into
// other pages), a complete HTML page, or a JSON document.
enum class OutputForm { Fragment, Page, Json };

// What the entries of a listing are ordered by.
enum class SortKey {
    Name,     // ASCII letters without case, ties by the raw bytes
    Natural,  // runs of digits by their value, letters without case
    Size,     // bytes; a directory counts as 0
    Time,     // last-write time
};

// The longest texts the front ends hand over (option_texts.h checks them).
// The dialog's edit controls take no more; the command line refuses a
// longer text.
inline constexpr std::size_t kMaxFileMaskLength = 127;
inline constexpr std::size_t kMaxLinkPrefixLength = 255;
inline constexpr std::size_t kMaxOutputNameLength = 255;
inline constexpr std::size_t kMaxPageTitleLength = 255;

struct IndexOptions {
    // Directory to index, absolute. The run opens it once, at its start.
    std::string directory;
    // Wildcard mask for the entries listed in each directory.
    std::string fileMask = "*.*";
    // Put in front of every link target; may be empty.
    std::string linkPrefix;
    // File-name part of the output file. The entry of that name is left
    // out of the listing; a recursive run writes a file of that name into
    // every directory, and directory links point at it.
    std::string outputName;
    bool showSize = true;
    bool showTime = false;
    bool showDate = false;
    bool makeLinks = false;
    bool readTitles = false;
    SizeStyle sizeStyle = SizeStyle::Auto;
    bool recursive = false;
    OutputForm form = OutputForm::Fragment;
    // Write nothing: only find the index files that are missing or differ
    // from what a run would write.
    bool checkOnly = false;
    // A recursive run keeps a file of the output name that it did not write
    // (a hand-written page) and reports it, instead of replacing it.
    bool keepForeignFiles = false;
    // A recursive run enters no directory on another device than the top.
    bool oneFileSystem = false;
    // How many directories a recursive run indexes at once; 0 lets the run
    // choose (defaultJobs in export_runs.h).
    unsigned jobs = 0;

    // More masks: an entry is listed when it matches `fileMask` or any of
    // these.
    std::vector<std::string> extraMasks;
    // Entries matching any of these are neither listed nor entered.
    std::vector<std::string> excludeMasks;
    // Hidden entries (see platform::DirectoryName) are neither listed nor
    // entered.
    bool skipHidden = false;
    // The order of the listing; ties and "." and ".." as for SortKey::Name.
    SortKey sortKey = SortKey::Name;
    bool reverseOrder = false;
    // Directories (and "..") before files, each group in the order above.
    bool directoriesFirst = false;
    // A recursive run shows, in each directory row, the bytes and the
    // number of the files listed below that directory, and writes each
    // directory's index after those of its subdirectories.
    bool folderTotals = false;
    // The full page's name for the top of the run, in its title, heading and
    // first breadcrumb; empty: the top directory's own name.
    std::string pageTitle;

    // A recursive run of full pages writes the manifest of the whole tree
    // at its top (tree_manifest.h), and every page gets a switch that
    // searches it.
    bool treeIndex = false;

    // The full page's README files, header, footer and style.
    SiteOptions site;

    friend bool operator==(const IndexOptions&, const IndexOptions&) = default;
};

// The file-name part of a path: the text after its last separator ('/',
// and on Windows also '\\').
inline std::string fileNamePart(std::string_view path)
{
    const auto slash = path.find_last_of(platform::kPathSeparators);
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace quilldex
