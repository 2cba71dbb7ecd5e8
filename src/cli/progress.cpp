#include "cli/progress.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace quilldex::cli {

namespace {

// A terminal redrawn more often than this only slows the run down.
constexpr auto kUpdateInterval = std::chrono::milliseconds(100);

// "1 directory", "2 directories".
std::string counted(std::size_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + ' ' + std::string(count == 1 ? one : many);
}

}  // namespace

void ProgressLine::show(const RecursiveProgress& progress)
{
    const std::string line = counted(progress.directories, "directory", "directories") + ", " +
                             counted(progress.entries, "entry", "entries");
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    shown_ = true;
    shownLength_ = line.size();
}

void ProgressLine::update(const RecursiveProgress& progress)
{
    const auto now = std::chrono::steady_clock::now();
    if (now < nextUpdate_)
        return;
    nextUpdate_ = now + kUpdateInterval;
    show(progress);
}

void ProgressLine::finish(const RecursiveProgress& counts)
{
    if (!shown_)
        return;
    std::string line = counted(counts.directories, "directory", "directories") +
                       " indexed: " + counted(counts.written, "file", "files") + " written, " +
                       std::to_string(counts.unchanged) + " unchanged, " + std::to_string(counts.kept) + " kept, " +
                       std::to_string(counts.failed) + " failed";
    if (line.size() < shownLength_)
        line.append(shownLength_ - line.size(), ' ');
    std::fprintf(stderr, "\r%s\n", line.c_str());
}

}  // namespace quilldex::cli
