// The progress of a recursive run, on one line of standard error that is
// rewritten in place.
#pragma once

#include <chrono>

#include "index/export_runs.h"

namespace quilldex::cli {

class ProgressLine {
public:
    void update(const RecursiveProgress& progress);
    // Writes the final counts and ends the line, if anything was shown.
    void finish();

private:
    void show(const RecursiveProgress& progress);

    RecursiveProgress last_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point nextUpdate_{};
};

}  // namespace quilldex::cli
