#include "cli/progress.h"

#include <cstdio>

namespace quilldex::cli {

namespace {

// A terminal redrawn more often than this only slows the run down.
constexpr auto kUpdateInterval = std::chrono::milliseconds(100);

}  // namespace

void ProgressLine::show(const RecursiveProgress& progress)
{
    std::fprintf(stderr, "\r%zu directories, %zu entries", progress.directories, progress.entries);
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::update(const RecursiveProgress& progress)
{
    last_ = progress;
    const auto now = std::chrono::steady_clock::now();
    if (now < nextUpdate_)
        return;
    nextUpdate_ = now + kUpdateInterval;
    show(progress);
}

void ProgressLine::finish()
{
    if (!shown_)
        return;
    show(last_);
    std::fputc('\n', stderr);
}

}  // namespace quilldex::cli
