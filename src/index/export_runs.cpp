// Single and recursive export runs.
#include "index/export_runs.h"

#include <set>
#include <vector>

#include "index/directory_listing.h"
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

// Writes the index of the current directory and hands back the
// subdirectories to enter, from the same listing: each directory is read
// once.
bool writeIndexHere(Walk& walk, const DirectoryPlace& place, std::vector<std::string>& subdirectories,
                    std::string* reason)
{
    platform::OutputStream stream;
    // An index file is never written through a link planted in the tree.
    if (!stream.open(walk.options.outputName, platform::FollowLinks::No)) {
        setReason(reason, stream.error());
        return false;
    }
    // Listed after the file is created, so that a mask that selects only
    // the index name still finds a match, as it always did.
    DirectoryListing listing(walk.options);
    walk.counts.entries += writeIndex(stream, walk.options, listing, place);
    subdirectories = listing.subdirectories();
    if (!stream.close()) {
        setReason(reason, stream.error());
        return false;
    }
    ++walk.counts.directories;
    if (walk.progress)
        walk.progress(walk.counts);
    return true;
}

bool visit(Walk& walk, const DirectoryPlace& place, std::string* reason)
{
    std::vector<std::string> names;
    if (!writeIndexHere(walk, place, names, reason))
        return false;
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
            visit(walk, DirectoryPlace{place.path + name + "/"}, nullptr);  // A failure is passed over.
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
    platform::OutputStream stream;
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
    if (!visit(walk, DirectoryPlace{}, reason))
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
