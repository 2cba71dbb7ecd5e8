// Single and recursive export runs.
#include "index/export_runs.h"

#include <set>
#include <vector>

#include "index/index_writer.h"
#include "platform/platform.h"

namespace quilldex {

namespace {

void setReason(std::string* reason, const std::string& text)
{
    if (reason != nullptr)
        *reason = text;
}

// Everything one recursive run keeps while it walks the tree.
struct Walk {
    const IndexOptions& options;
    const ProgressCallback& progress;
    RecursiveProgress counts;
    // Every directory indexed so far, so that no link, junction or bind
    // mount can make the walk index a directory twice or loop.
    std::set<platform::DirectoryIdentity> visited;
    // Set when the walk could not return to a directory it came from; the
    // current directory is then unknown and the walk must stop at once.
    bool lost = false;
    std::string lostReason;
};

bool writeIndexHere(Walk& walk, std::string* reason)
{
    OutputStream stream;
    // An index file is never written through a link planted in the tree.
    if (!stream.open(walk.options.outputName, platform::FollowLinks::No)) {
        setReason(reason, stream.error());
        return false;
    }
    walk.counts.entries += writeIndexTable(stream, walk.options);
    if (!stream.close()) {
        setReason(reason, stream.error());
        return false;
    }
    ++walk.counts.directories;
    if (walk.progress)
        walk.progress(walk.counts);
    return true;
}

// The subdirectories of the current directory that the walk may enter, in
// listing order. Collected before any is visited, so that each level of
// the walk holds one descriptor (the one it returns with) and not also an
// open listing.
std::vector<std::string> subdirectoriesToVisit()
{
    std::vector<std::string> names;
    platform::DirectorySearch search("*.*", platform::EntryFacts::Kind);
    DirectoryEntry entry;
    while (search.next(entry)) {
        if (entry.isDirectory && !entry.isLink && entry.name != "." && entry.name != "..")
            names.push_back(std::move(entry.name));
    }
    return names;
}

bool visit(Walk& walk, std::string* reason)
{
    if (!writeIndexHere(walk, reason))
        return false;

    const std::vector<std::string> names = subdirectoriesToVisit();
    if (names.empty())
        return true;
    const platform::SavedDirectory here;
    if (!here.valid())
        return true;  // Without a way back, the subtree stays unvisited.

    for (const std::string& name : names) {
        const auto identity = platform::enterSubdirectory(name);
        if (!identity)
            continue;  // Gone, replaced by a link, or no access.
        if (walk.visited.insert(*identity).second)
            visit(walk, nullptr);  // A subdirectory that fails is passed over.
        if (walk.lost)
            return true;
        if (!here.restore()) {
            walk.lost = true;
            walk.lostReason = "chdir(" + name + "/..): " + platform::lastErrorText();
            return true;
        }
    }
    return true;
}

}  // namespace

bool exportSingle(const std::string& outputPath, const IndexOptions& options, std::string* reason)
{
    OutputStream stream;
    const bool opened = outputPath == "-" ? stream.openStandardOutput() : stream.open(outputPath);
    if (!opened) {
        setReason(reason, stream.error());
        return false;
    }
    writeIndexTable(stream, options);
    if (!stream.close()) {
        setReason(reason, stream.error());
        return false;
    }
    return true;
}

bool exportRecursive(const IndexOptions& options, const ProgressCallback& progress, std::string* reason)
{
    Walk walk{options, progress, {}, {}, false, {}};
    const platform::SavedDirectory top;
    if (const auto identity = platform::currentDirectoryIdentity())
        walk.visited.insert(*identity);
    if (!visit(walk, reason))
        return false;
    if (walk.lost) {
        // Put the process back where it started if that is still possible.
        top.restore();
        setReason(reason, walk.lostReason);
        return false;
    }
    return true;
}

}  // namespace quilldex
