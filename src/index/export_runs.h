// Export runs: one index of a directory, or one index in every directory of
// the tree below it. A run is given its directory by the options (opened
// once, at its start) and never changes or depends on the process's current
// directory.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "index/index_options.h"
#include "platform/platform.h"

namespace quilldex {

// How far a recursive run has come, summed over its jobs.
struct RecursiveProgress {
    std::size_t directories = 0;
    std::size_t entries = 0;
    // Index files written, found unchanged, kept (not this program's), and
    // directories that failed.
    std::size_t written = 0;
    std::size_t unchanged = 0;
    std::size_t kept = 0;
    std::size_t failed = 0;
    // The directory just indexed, from the top ("." for the top). Built on
    // each call, as long as the directory is deep, so that a caller that
    // does not ask for it does not pay for it.
    std::function<std::string()> directory;
};
// Called after each directory's index has been written (or found up to
// date, or kept), one call at a time whatever the number of jobs.
using ProgressCallback = std::function<void(const RecursiveProgress&)>;

// What a run met besides success. Paths are relative to the top of the run
// ("." for the top itself); in the messages with control bytes shown as
// "\xNN" so that each line is one path (stale paths are given as they are).
// A recursive run gives every list in the order of the walk with one job
// (depth first, each directory's names in name order), however many jobs it
// ran.
struct RunReport {
    // Failures: one line per directory that could not be opened, listed or
    // written: "call(path): reason".
    std::vector<std::string> problems;
    // Notes that change nothing of the outcome: index-named files this
    // program did not write, kept: "kept(path): not written by this program;
    // --force replaces it".
    std::vector<std::string> notes;
    // For a check: the index files that a run would write or replace.
    std::vector<std::string> stale;
    // A recursive run's counts at its end.
    RecursiveProgress counts;
};

// Writes the index of `options.directory` to `outputPath` ("-" is the
// standard output). False when the file cannot be created or any write to
// it fails; `reason`, when given, then tells why ("call(path): reason").
// With options.checkOnly, writes nothing and adds `outputPath` to
// report->stale when it is missing or differs.
bool exportSingle(const std::string& outputPath, const IndexOptions& options, std::string* reason = nullptr,
                  RunReport* report = nullptr);


// Writes an index named `options.outputName` into `options.directory` and
// into every directory below it, each directory's index before those of
// its subdirectories; up to options.jobs directories at a time. The walk
// keeps its own stack, so the depth of the tree is bounded by memory only,
// and holds a bounded number of directories open. Subdirectories reached
// through links and ones already visited are passed over; a directory that
// cannot be opened, listed or written is passed over with everything below
// it and reported in `report`; with options.keepForeignFiles, a file of the
// index name this program did not write is kept, noted, and the walk goes
// on below it. With options.oneFileSystem, directories on another file
// system than the top are listed but not entered. False only when the top
// index fails.
bool exportRecursive(const IndexOptions& options, const ProgressCallback& progress = {}, std::string* reason = nullptr,
                     RunReport* report = nullptr);

// The number of jobs a run takes when none is asked for: four per processor
// core (4 to 32) on a local file system, 32 on a network file system.
unsigned defaultJobs(bool networkFileSystem);

}  // namespace quilldex
