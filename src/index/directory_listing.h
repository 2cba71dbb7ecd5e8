// The listing of one directory: which entries an index shows, in which
// order, and which subdirectories a recursive walk enters. This is the
// only code that holds a directory's names in memory.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "index/index_form.h"
#include "index/index_options.h"
#include "platform/platform.h"

namespace quilldex {

// How many shown entries keep the size and time taken while reading: 24
// bytes each, at most 4.75 MiB, so that with the program's own 3 MiB a
// directory of any size costs at most its names and 8 MiB. Past that they
// are taken again as the entries are handed out.
inline constexpr std::size_t kFactsAtReadLimit = 4864 * 1024 / 24;

class DirectoryListing {
public:
    // Reads `directory` once, keeping only the names it shows or enters.
    // With `indexFileHere`, the index file being written lies in this
    // directory and counts as a match of the masks even while it does not
    // exist yet. The handle must outlive the listing.
    DirectoryListing(const platform::DirectoryHandle& directory, const IndexOptions& options,
                     bool indexFileHere = false, std::size_t factsAtReadLimit = kFactsAtReadLimit);
    ~DirectoryListing();
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;

    // Whether any name, "." and ".." included, matched a mask and was not
    // left out as excluded or hidden. A fragment of a directory where none
    // did is empty.
    bool anyMatched() const;

    // Why the directory could not be read to its end (the system's reason),
    // or "" when it was: a listing cut short must not pass for the whole.
    const std::string& readError() const;

    // Fills `entry` with the next entry to show, in listing order, with its
    // kind, size and time (isLink is always false: a link shows what it
    // leads to); false when there is none left.
    bool next(platform::DirectoryEntry& entry);

    // The subdirectories a recursive walk enters, in name order: every real
    // subdirectory, whether a mask shows it or not, never a link, nor one
    // excluded or hidden. Empty in a run that is not recursive.
    std::vector<std::string> subdirectories();

    // The files shown here, not links, and their bytes, as read: what the
    // directory itself adds to its folder total.
    const FolderTotal& ownFiles() const;

    // The listing reads its entries' facts through `directory` from now
    // on: the one it was made with was closed and the directory opened
    // again.
    void rebind(const platform::DirectoryHandle& directory);

    // With folder totals on and the size order, the subdirectories'
    // totals, which order them among the files. Before the first next().
    void orderByFolderTotals(const FolderTotals& totals);

    // Whether a name equal to options.outputName is in the directory.
    bool outputNamePresent() const;

    // The names of output streams' temporary files found (never shown nor
    // entered, whoever left them).
    const std::vector<std::string>& temporaryNames() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace quilldex
