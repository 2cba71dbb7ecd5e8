// The progress of a recursive run, on one line of standard error that is
// rewritten in place, and its summary at the end.
#pragma once

#include <chrono>
#include <cstddef>

#include "index/export_runs.h"

namespace quilldex::cli {

class ProgressLine {
public:
    void update(const RecursiveProgress& progress);
    // Replaces the line, if anything was shown, with the run's summary:
    // "12 directories indexed: 10 files written, 1 unchanged, 1 kept,
    // 0 failed".
    void finish(const RecursiveProgress& counts);

private:
    void show(const RecursiveProgress& progress);

    bool shown_ = false;
    // The length of the line shown, so that a shorter one covers it.
    std::size_t shownLength_ = 0;
    std::chrono::steady_clock::time_point nextUpdate_{};
};

}  // namespace quilldex::cli
