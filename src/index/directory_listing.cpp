#include "index/directory_listing.h"

namespace quilldex {

namespace {

// Sizes and times cost a status call per entry; without those columns the
// kind of each entry is all the filters need.
platform::EntryFacts factsNeeded(const IndexOptions& options)
{
    const bool needsFacts = options.showSize || options.showTime || options.showDate ||
                            options.form != OutputForm::Fragment;
    return needsFacts ? platform::EntryFacts::Full : platform::EntryFacts::Kind;
}

bool isShown(const platform::DirectoryEntry& entry, const IndexOptions& options)
{
    if (entry.isDirectory && !options.recursive)
        return false;
    // The index file itself, when it lies in the listed directory. The
    // comparison is exact: "Index.html" does not hide "index.html".
    if (entry.name == options.outputName)
        return false;
    return entry.name != ".";
}

}  // namespace

DirectoryListing::DirectoryListing(const IndexOptions& options)
    : options_(options), search_(options.fileMask, factsNeeded(options))
{
    platform::DirectoryEntry first;
    if (search_.next(first)) {
        pending_ = std::move(first);
        anyMatched_ = true;
    }
}

bool DirectoryListing::anyMatched() const
{
    return anyMatched_;
}

bool DirectoryListing::next(platform::DirectoryEntry& entry)
{
    if (pending_) {
        entry = std::move(*pending_);
        pending_.reset();
        if (isShown(entry, options_))
            return true;
    }
    while (search_.next(entry)) {
        if (isShown(entry, options_))
            return true;
    }
    return false;
}

std::vector<std::string> DirectoryListing::subdirectories()
{
    std::vector<std::string> names;
    platform::DirectorySearch search("*.*", platform::EntryFacts::Kind);
    platform::DirectoryEntry entry;
    while (search.next(entry)) {
        if (entry.isDirectory && !entry.isLink && entry.name != "." && entry.name != "..")
            names.push_back(std::move(entry.name));
    }
    return names;
}

}  // namespace quilldex
