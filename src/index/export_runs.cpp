// Single and recursive export runs.
#include "index/export_runs.h"

#include <array>
#include <memory>
#include <set>
#include <vector>

#include "index/directory_listing.h"
#include "index/index_writer.h"
#include "platform/platform.h"
#include "version.h"

namespace quilldex {

namespace {

void setReason(std::string* reason, const std::string& text)
{
    if (reason != nullptr)
        *reason = text;
}

// A path for a message: one longer than 200 characters keeps its start and
// its end, joined by "...", so that a line stays readable.
std::string shortened(std::string path)
{
    constexpr std::size_t kLongest = 200;
    if (path.size() <= kLongest)
        return path;
    constexpr std::size_t kKept = (kLongest - 3) / 2;
    return path.substr(0, kKept) + "..." + path.substr(path.size() - kKept);
}

// "call(path): reason" with the stream's path replaced by `path`.
std::string renamed(const std::string& error, const std::string& streamPath, const std::string& path)
{
    const std::string from = "(" + streamPath + "):";
    const auto at = error.find(from);
    if (at == std::string::npos)
        return error;
    return error.substr(0, at) + "(" + shortened(path) + "):" + error.substr(at + from.size());
}

// A directory of the walk that has subdirectories still to visit.
struct Frame {
    platform::DirectoryIdentity identity;
    std::string name;  // as entered from its parent
    std::size_t placeLength = 0;
    std::vector<std::string> subdirectories;
    std::size_t next = 0;
    // Held at a few depths (0, 1, 2, 4, 8, ...): the way back when ".." no
    // longer leads to the directory the walk came from.
    std::unique_ptr<platform::SavedDirectory> held;
};

bool holdsAtDepth(std::size_t depth)
{
    return (depth & (depth - 1)) == 0;
}

enum class Outcome { Written, Kept, Failed };

// Everything one recursive run keeps while it walks the tree.
struct Walk {
    const IndexOptions& options;
    const ProgressCallback& progress;
    RunReport& report;
    RecursiveProgress counts;
    // Every directory indexed so far, so that no link, junction or bind
    // mount can make the walk index a directory twice or loop.
    std::set<platform::DirectoryIdentity> visited;
    std::vector<Frame> stack;
    // The current directory's place; its path grows and shrinks with the
    // walk instead of being copied for each directory.
    DirectoryPlace place;
    std::string problem;

    // The current directory relative to the top ("." for the top).
    std::string directoryPath() const
    {
        return place.path.size() <= 1 ? std::string(".") : place.path.substr(1, place.path.size() - 2);
    }
    std::string indexPath() const { return place.path.substr(1) + options.outputName; }
};

// Whether the file of the index name here was written by this program (or
// there is none), so that it may be replaced.
bool mayReplace(const std::string& name)
{
    // A page closes its document after the credit line, within a few
    // kilobytes.
    std::array<char, 4096> end;
    const auto count = platform::readFileEnd(name, end.data(), end.size());
    if (!count || *count == 0)
        return true;
    std::array<char, 1024> start;
    const std::size_t startCount = platform::readFileStart(name, start.data(), start.size());
    return writtenByThisProgram(std::string_view(start.data(), startCount), std::string_view(end.data(), *count));
}

// Writes (or, for a check, compares) the index of the current directory and
// hands back the subdirectories to enter, from the same listing.
Outcome indexHere(Walk& walk, std::vector<std::string>& subdirectories)
{
    const IndexOptions& options = walk.options;
    if (const std::string unreadable = platform::currentDirectoryUnreadable(); !unreadable.empty()) {
        walk.problem = "opendir(" + shortened(walk.directoryPath()) + "): " + unreadable;
        return Outcome::Failed;
    }
    if (options.keepForeignFiles && !options.checkOnly && !mayReplace(options.outputName)) {
        walk.problem =
            "replace(" + shortened(walk.indexPath()) + "): kept, not written by this program (--force replaces it)";
        DirectoryListing listing(options, true);
        subdirectories = listing.subdirectories();
        ++walk.counts.kept;
        return Outcome::Kept;
    }
    platform::OutputStream stream;
    // An index file is never written through a link planted in the tree.
    const bool opened = options.checkOnly ? stream.openComparison(options.outputName)
                                          : stream.open(options.outputName, platform::FollowLinks::No);
    if (!opened) {
        walk.problem = renamed(stream.error(), options.outputName, walk.indexPath());
        return Outcome::Failed;
    }
    DirectoryListing listing(options, true);
    if (const std::string& failure = listing.readError(); !failure.empty()) {
        // An index of part of the directory would pass for the whole.
        stream.abandon();
        walk.problem = "readdir(" + shortened(walk.directoryPath()) + "): " + failure;
        return Outcome::Failed;
    }
    walk.counts.entries += writeIndex(stream, options, listing, walk.place);
    subdirectories = listing.subdirectories();
    if (!stream.close()) {
        walk.problem = renamed(stream.error(), options.outputName, walk.indexPath());
        return Outcome::Failed;
    }
    if (options.checkOnly && stream.changed())
        walk.report.stale.push_back(walk.indexPath());
    ++(stream.changed() ? walk.counts.written : walk.counts.unchanged);
    ++walk.counts.directories;
    if (walk.progress)
        walk.progress(walk.counts);
    return Outcome::Written;
}

// Makes the directory of the last frame current again. ".." leads there
// unless a directory on the way was moved or removed; then the walk goes
// back from the nearest held directory by name, checking each step, and a
// directory it cannot reach again is given up with what it had left.
// False when not even the top can be reached.
bool returnToLastFrame(Walk& walk)
{
    if (platform::setCurrentDirectory("..") && platform::currentDirectoryIdentity() == walk.stack.back().identity)
        return true;
    std::size_t base = walk.stack.size() - 1;
    while (!(walk.stack[base].held && walk.stack[base].held->valid())) {
        if (base == 0)
            return false;
        --base;
    }
    // Gives up the frames from `first` on, naming the first of them.
    const auto giveUpFrom = [&walk](std::size_t first) {
        walk.place.path.resize(walk.stack[first].placeLength);
        walk.report.problems.push_back("chdir(" + shortened(walk.directoryPath()) +
                                       "): moved or removed while its subdirectories were indexed");
        walk.stack.resize(first);
        walk.place.path.resize(walk.stack.back().placeLength);
    };
    if (!walk.stack[base].held->restore() || platform::currentDirectoryIdentity() != walk.stack[base].identity) {
        if (base == 0)
            return false;
        giveUpFrom(base);
        return returnToLastFrame(walk);
    }
    for (std::size_t i = base + 1; i < walk.stack.size(); ++i) {
        const auto identity = platform::enterSubdirectory(walk.stack[i].name);
        if (identity != walk.stack[i].identity) {
            giveUpFrom(i);
            // Having entered something else of that name, the walk goes back
            // to where it entered it from, which the loop reached just before.
            return identity ? returnToLastFrame(walk) : true;
        }
    }
    return true;
}

// Goes back up to the directory of the last frame; false, with the reason,
// when even the top cannot be reached.
bool goBack(Walk& walk, std::string* reason)
{
    walk.place.path.resize(walk.stack.back().placeLength);
    if (returnToLastFrame(walk))
        return true;
    setReason(reason, "chdir(" + shortened(walk.directoryPath()) + "): the way back to the top of the run was lost");
    return false;
}

}  // namespace

bool writtenByThisProgram(std::string_view fileStart, std::string_view fileEnd)
{
    // The credit line of an HTML index of any version, at its end (a page
    // closes its document after it), or a data form's generator field.
    constexpr std::string_view kCredit = "\">" QUILLDEX_PRODUCT_NAME " ";
    const auto credit = fileEnd.rfind(kCredit);
    if (credit != std::string_view::npos && fileEnd.find("</a></p>", credit) != std::string_view::npos)
        return true;
    constexpr std::string_view kGenerator = "\"generator\": \"" QUILLDEX_PRODUCT_NAME " ";
    return fileStart.find(kGenerator) != std::string_view::npos;
}

bool exportSingle(const std::string& outputPath, const IndexOptions& options, std::string* reason, RunReport* report)
{
    const std::string where = options.directory.empty() ? std::string(".") : options.directory;
    if (const std::string unreadable = platform::currentDirectoryUnreadable(); !unreadable.empty()) {
        setReason(reason, "opendir(" + shortened(where) + "): " + unreadable);
        return false;
    }
    platform::OutputStream stream;
    bool opened = false;
    if (outputPath == "-")
        opened = stream.openStandardOutput();
    else if (options.checkOnly)
        opened = stream.openComparison(outputPath);
    else
        opened = stream.open(outputPath);
    if (!opened) {
        setReason(reason, stream.error());
        return false;
    }
    // The index file counts as a match of the mask when it lies in the
    // listed directory, as it did when it was created before the listing.
    bool indexFileHere = false;
    if (outputPath != "-") {
        const auto separator = outputPath.find_last_of(platform::kPathSeparators);
        const std::string directory = separator == std::string::npos ? "." : outputPath.substr(0, separator + 1);
        const auto identity = platform::directoryIdentity(directory);
        indexFileHere = identity && identity == platform::currentDirectoryIdentity();
    }
    DirectoryListing listing(options, indexFileHere);
    if (const std::string& failure = listing.readError(); !failure.empty()) {
        stream.abandon();
        setReason(reason, "readdir(" + shortened(where) + "): " + failure);
        return false;
    }
    writeIndex(stream, options, listing, DirectoryPlace{});
    if (!stream.close()) {
        setReason(reason, stream.error());
        return false;
    }
    if (options.checkOnly && stream.changed() && report != nullptr)
        report->stale.push_back(outputPath);
    return true;
}

bool exportRecursive(const IndexOptions& options, const ProgressCallback& progress, std::string* reason,
                     RunReport* report)
{
    RunReport ignored;
    Walk walk{options, progress, report != nullptr ? *report : ignored, {}, {}, {}, {}, {}};
    const auto topIdentity = platform::currentDirectoryIdentity();
    auto top = std::make_unique<platform::SavedDirectory>();
    if (!topIdentity || !top->valid()) {
        setReason(reason, "open(.): " + platform::lastErrorText());
        return false;
    }
    walk.visited.insert(*topIdentity);

    std::vector<std::string> subdirectories;
    if (indexHere(walk, subdirectories) == Outcome::Failed) {
        setReason(reason, walk.problem);
        return false;
    }
    if (!walk.problem.empty())
        walk.report.problems.push_back(walk.problem);
    walk.stack.push_back(Frame{*topIdentity, {}, walk.place.path.size(), std::move(subdirectories), 0, std::move(top)});

    while (!walk.stack.empty()) {
        Frame& frame = walk.stack.back();
        if (frame.next == frame.subdirectories.size()) {
            std::unique_ptr<platform::SavedDirectory> held = std::move(frame.held);
            walk.stack.pop_back();
            if (walk.stack.empty()) {
                // Back at the top, where the run started.
                if (!held->restore()) {
                    setReason(reason, "chdir(.): " + platform::lastErrorText());
                    return false;
                }
                break;
            }
            if (!goBack(walk, reason))
                return false;
            continue;
        }
        const std::string name = frame.subdirectories[frame.next++];
        const auto identity = platform::enterSubdirectory(name);
        walk.place.path += name;
        walk.place.path += '/';
        if (!identity) {
            ++walk.counts.failed;
            walk.report.problems.push_back("chdir(" + shortened(walk.directoryPath()) +
                                           "): " + platform::lastErrorText());
            walk.place.path.resize(frame.placeLength);
            continue;
        }
        const bool otherFileSystem =
            options.oneFileSystem && (identity->device != topIdentity->device || identity->mount != topIdentity->mount);
        Outcome outcome = Outcome::Failed;
        walk.problem.clear();
        if (!otherFileSystem && walk.visited.insert(*identity).second)
            outcome = indexHere(walk, subdirectories);
        if (!walk.problem.empty())
            walk.report.problems.push_back(walk.problem);
        if (outcome == Outcome::Failed) {
            walk.counts.failed += walk.problem.empty() ? 0 : 1;
            // Passed over with everything below it.
            if (!goBack(walk, reason))
                return false;
            continue;
        }
        const std::size_t depth = walk.stack.size();
        walk.stack.push_back(Frame{*identity, name, walk.place.path.size(), std::move(subdirectories), 0,
                                   holdsAtDepth(depth) ? std::make_unique<platform::SavedDirectory>() : nullptr});
        subdirectories.clear();
    }
    walk.report.counts = walk.counts;
    return true;
}

}  // namespace quilldex
