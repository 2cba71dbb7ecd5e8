// Export runs: one index of the current directory, or one index in every
// directory of the tree below it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "index/index_options.h"

namespace quilldex {

// How far a recursive run has come.
struct RecursiveProgress {
    std::size_t directories = 0;
    std::size_t entries = 0;
    // Index files: written (or, for a check, that would change), found
    // unchanged, kept as not this program's, and directories that failed.
    std::size_t written = 0;
    std::size_t unchanged = 0;
    std::size_t kept = 0;
    std::size_t failed = 0;
};

// What a run met besides success. Paths are relative to the directory the
// run started in ("." for that directory itself).
struct RunReport {
    // One line per directory that could not be listed, entered or written,
    // or whose index was kept: "call(path): reason".
    std::vector<std::string> problems;
    // For a check: the index files that are missing or would change.
    std::vector<std::string> stale;
    // A recursive run's counts at its end.
    RecursiveProgress counts;
};

// Writes the index of the current directory to `outputPath` ("-" is the
// standard output). False when the file cannot be created or any write to
// it fails; `reason`, when given, then tells why ("call(path): reason").
// With options.checkOnly, writes nothing and adds `outputPath` to
// report->stale when it is missing or differs.
bool exportSingle(const std::string& outputPath, const IndexOptions& options, std::string* reason = nullptr,
                  RunReport* report = nullptr);

// Called after each directory's index has been written, with that
// directory current.
using ProgressCallback = std::function<void(const RecursiveProgress&)>;

// Writes an index named `options.outputName` into the current directory and
// into every directory below it, depth first, each directory's index before
// those of its subdirectories. The walk keeps its own stack, so the depth
// of the tree is bounded by memory only. Subdirectories reached through
// links and ones already visited are passed over; a directory that cannot
// be listed, entered or written is passed over with everything below it and
// reported in `report`; so is, with options.keepForeignFiles, a file of the
// index name this program did not write, which is kept while the walk goes
// on below it. With options.oneFileSystem, directories on another device
// than the top are listed but not entered. False only when the top index
// fails (or the walk could not return to the top). The current directory is
// the same at the end as at the start.
bool exportRecursive(const IndexOptions& options, const ProgressCallback& progress = {}, std::string* reason = nullptr,
                     RunReport* report = nullptr);

// Whether a file, by its first and its last bytes, is an index this
// program wrote (the credit line that ends an HTML index, or the generator
// field that opens a data form), so that a recursive run may replace it.
bool writtenByThisProgram(std::string_view fileStart, std::string_view fileEnd);

}  // namespace quilldex
