// The forms an index can take (the HTML fragment, a full page, JSON). The
// writer lists a directory once and hands the form the pieces in order:
// header, one row per entry, footer. A form holds no listing of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "index/index_options.h"
#include "platform/platform.h"

namespace quilldex {

class ManifestRows;

// Where the listed directory lies in the run: its path from the top of the
// run, "/" for the top itself and "/docs/deep/" below it; and the directory
// itself, whose files' titles are read, with the bounds a link read for a
// title must stay in.
// What lies below a directory row with folder totals on: the files the
// indexes below it list, and their bytes. A lower bound when a directory
// below could not be read or lies on another file system, which is not
// entered.
struct FolderTotal {
    std::uint64_t bytes = 0;
    std::uint64_t files = 0;
    bool lowerBound = false;

    void add(const FolderTotal& below)
    {
        bytes += below.bytes;
        files += below.files;
        lowerBound = lowerBound || below.lowerBound;
    }
    friend bool operator==(const FolderTotal&, const FolderTotal&) = default;
};

// The totals of a directory's subdirectories, by name.
using FolderTotals = std::map<std::string, FolderTotal, std::less<>>;

struct DirectoryPlace {
    std::string path = "/";
    const platform::DirectoryHandle* directory = nullptr;
    platform::LinkBoundary boundary;
    // With folder totals on: those of the subdirectories the run entered.
    const FolderTotals* folderTotals = nullptr;
    // Where the rows listed go for the tree's manifest, if it is written.
    ManifestRows* manifestRows = nullptr;
};

// The title of an entry's document, where titles are read and it has one.
using EntryTitle = std::optional<std::string_view>;

// What the rows of one index held, for a footer that sums them up.
struct ListingTotals {
    std::size_t directories = 0;
    std::size_t files = 0;
    std::uint64_t fileBytes = 0;
};

class IndexForm {
public:
    virtual ~IndexForm();

    // Whether a directory whose search matched nothing at all still gets a
    // document. The fragment writes nothing then (a 0-byte file).
    virtual bool writesEmptyListing() const;

    virtual void writeHeader(platform::OutputStream& stream, const IndexOptions& options,
                             const DirectoryPlace& place) = 0;
    // `total` is the row's folder total, for a directory row with folder
    // totals on; else null.
    virtual void writeRow(platform::OutputStream& stream, const platform::DirectoryEntry& entry,
                          const IndexOptions& options, EntryTitle title, const FolderTotal* total) = 0;
    virtual void writeFooter(platform::OutputStream& stream, const IndexOptions& options,
                             const ListingTotals& totals) = 0;
};

// The form `options.form` asks for.
std::unique_ptr<IndexForm> makeIndexForm(const IndexOptions& options);

// Today's HTML table, the default form.
std::unique_ptr<IndexForm> makeFragmentForm();
// The JSON listing.
std::unique_ptr<IndexForm> makeJsonForm();

// A complete HTML page around the same rows, sortable in the browser.
std::unique_ptr<IndexForm> makePageForm();

}  // namespace quilldex
