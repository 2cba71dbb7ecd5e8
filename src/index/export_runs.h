// Export runs: one index of the current directory, or one index in every
// directory of the tree below it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "index/index_options.h"

namespace quilldex {

// Writes the index of the current directory to `outputPath` ("-" is the
// standard output). False when the file cannot be created or any write to
// it fails; `reason`, when given, then tells why ("call(path): reason").
bool exportSingle(const std::string& outputPath, const IndexOptions& options, std::string* reason = nullptr);

// How far a recursive run has come.
struct RecursiveProgress {
    std::size_t directories = 0;
    std::size_t entries = 0;
};
// Called after each directory's index has been written, with that
// directory current.
using ProgressCallback = std::function<void(const RecursiveProgress&)>;

// Writes an index named `options.outputName` into the current directory and
// into every directory below it, depth first, each directory's index before
// those of its subdirectories. Subdirectories reached through links, ones
// already visited and ones whose index cannot be written are passed over
// with everything below them. False only when the top index fails (or the
// walk could not return to a directory it came from). The current directory
// is the same at the end as at the start.
bool exportRecursive(const IndexOptions& options, const ProgressCallback& progress = {},
                     std::string* reason = nullptr);

}  // namespace quilldex
