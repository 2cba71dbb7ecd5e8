// The index of one directory within a run: listed once, then written,
// compared (a check), or kept when the file at its name is another's. A run
// and a check go through the same steps, so that a check reports exactly
// what the run would do.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "index/directory_listing.h"
#include "index/index_form.h"
#include "index/index_options.h"
#include "platform/platform.h"

namespace quilldex {

enum class IndexOutcome {
    Written,    // the file was written (a check: it would be)
    Unchanged,  // it already held these bytes
    Kept,       // another's file stands at the name and stays
    Failed,     // nothing could be written; the directory's subtree is skipped
};

struct DirectoryIndexResult {
    IndexOutcome outcome = IndexOutcome::Failed;
    std::size_t rows = 0;
    // The subdirectories to enter (all but when Failed).
    std::vector<std::string> subdirectories;
    // Failed: "call(path): reason"; Kept: the note.
    std::string message;
};

// A directory listed for its index, which is written later: after the
// indexes below it, which its folder totals wait for.
struct ListedDirectory {
    // Null when the directory could not be read to its end; `message` then
    // says why ("readdir(path): reason").
    std::unique_ptr<DirectoryListing> listing;
    std::string message;
};

ListedDirectory listDirectory(const platform::DirectoryHandle& directory, const IndexOptions& options,
                              const std::function<std::string()>& pathFromTop);

// Writes the index of `listing`, read from `directory`, as indexDirectory
// below does.
DirectoryIndexResult writeDirectoryIndex(const platform::DirectoryHandle& directory, DirectoryListing& listing,
                                         const IndexOptions& options, DirectoryPlace place,
                                         const std::function<std::string()>& pathFromTop, std::int64_t runStart);

// Indexes `directory`, lying at `place` in the run (place.path from the
// top), into its file options.outputName. `runStart` is when the run began
// (UTC seconds): a temporary file left before it by a killed run is
// removed. `pathFromTop` names the directory in messages ("." for the top);
// it is asked for only when there is one, since its length is the depth's.
DirectoryIndexResult indexDirectory(const platform::DirectoryHandle& directory, const IndexOptions& options,
                                    DirectoryPlace place, const std::function<std::string()>& pathFromTop,
                                    std::int64_t runStart);

}  // namespace quilldex
