// The listing of one directory: which entries an index shows, in which
// order, and which subdirectories a recursive walk enters. This is the
// only code that holds a directory's names in memory.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "index/index_options.h"
#include "platform/platform.h"

namespace quilldex {

class DirectoryListing {
public:
    // Lists the current directory.
    explicit DirectoryListing(const IndexOptions& options);

    // Whether the search matched anything at all, "." and ".." included.
    // A fragment of a directory where nothing matched is empty.
    bool anyMatched() const;

    // Fills `entry` with the next entry to show, in listing order, with its
    // size and time; false when there is none left.
    bool next(platform::DirectoryEntry& entry);

    // The subdirectories a recursive walk enters, in listing order: every
    // real subdirectory, whether the mask shows it or not, never a link.
    std::vector<std::string> subdirectories();

private:
    const IndexOptions& options_;
    platform::DirectorySearch search_;
    // The first match, read ahead to learn whether there is any.
    std::optional<platform::DirectoryEntry> pending_;
    bool anyMatched_ = false;
};

}  // namespace quilldex
