// Single and recursive export runs. The recursive run is a walk of the tree
// by directory handles, by one or more jobs.
//
// The walk keeps a stack of directories still to enter, each named by its
// parent and its name. A job takes the last one pushed, opens it through
// its parent's handle, indexes it, and pushes its subdirectories in reverse
// name order; so one job walks depth first in name order, and several jobs
// walk the same way, each taking the next directory. A directory's handle
// is kept open while subdirectories of it wait to be opened, up to a budget
// of descriptors; past it a handle is closed and opened again from the top
// when needed, by names, checking at each step that every directory is
// still the one the walk listed. Reports are sorted into the order one job
// gives, so that output does not depend on the number of jobs.
#include "index/export_runs.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <unordered_map>
#include <thread>
#include <vector>

#include "index/directory_index.h"
#include "index/directory_listing.h"
#include "index/index_writer.h"
#include "index/listing_order.h"
#include "index/message_text.h"
#include "index/tree_manifest_files.h"
#include "platform/platform.h"

namespace quilldex {

namespace {

void setReason(std::string* reason, const std::string& text)
{
    if (reason != nullptr)
        *reason = text;
}

std::int64_t nowSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A directory of the walk that has been indexed and has subdirectories. It
// lives as long as a directory below it waits or is being indexed: each
// waiting directory and each node below holds a reference, counted under
// the walk's lock.
struct Node {
    Node* parent = nullptr;
    std::string name;  // as entered from its parent; "" for the top
    platform::DirectoryIdentity identity;

    std::mutex lock;
    // Held while subdirectories wait to be opened (and always for the top).
    platform::DirectoryHandle handle;
    std::size_t waiting = 0;
    // Subdirectories opened through it so far.
    std::size_t opened = 0;
    // Reopening it failed: it was moved or removed meanwhile.
    bool lost = false;
    std::size_t references = 0;

    // With folder totals, the index waits for the subdirectories' totals:
    // its listing, the totals reported so far (with the files of the
    // directory itself in `total`), and how many have not reported yet.
    // Guarded by the walk's lock.
    std::unique_ptr<DirectoryListing> listing;
    FolderTotals below;
    FolderTotal total;
    std::size_t unreported = 0;

    // The directory's path from the top: "." for the top, else "a/b".
    std::string pathFromTop() const
    {
        std::vector<const Node*> chain;
        for (const Node* node = this; node->parent; node = node->parent)
            chain.push_back(node);
        if (chain.empty())
            return ".";
        std::string path;
        for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
            if (!path.empty())
                path += '/';
            path += (*at)->name;
        }
        return path;
    }
};

struct Task {
    Node* parent = nullptr;
    std::string name;
};

std::string joined(const std::string& directory, const std::string& name)
{
    return directory == "." ? name : directory + "/" + name;
}

// A report line with the directory it is about.
struct Line {
    std::string directory;
    std::string text;
};

class TreeWalk {
public:
    TreeWalk(const IndexOptions& options, const ProgressCallback& progress) : options_(options), progress_(progress) {}

    // Walks with folder totals but writes nothing: only the totals of the
    // top's subdirectories are wanted (topTotals).
    void sumOnly() { sumOnly_ = true; }
    FolderTotals& topTotals() { return topTotals_; }

    bool run(std::string* reason, RunReport& report);

private:
    void work();
    void visit(Task task);
    bool startDirectory(platform::DirectoryHandle directory, Node* parent, const std::string& name);
    Node* queueSubdirectories(platform::DirectoryHandle directory, Node* parent, const std::string& name,
                              std::vector<std::string> subdirectories, std::unique_ptr<DirectoryListing> listing = {},
                              FolderTotal own = {});
    bool record(DirectoryIndexResult& result, const std::function<std::string()>& path);
    void keepRows(const DirectoryIndexResult& result, const std::function<std::string()>& path, ManifestRows& rows);
    DirectoryPlace placeOf(const std::function<std::string()>& path, bool belowTop,
                           const platform::DirectoryHandle& directory, std::string& linksFrom) const;
    bool listFirst(platform::DirectoryHandle directory, Node* parent, const std::string& name);
    void reportUpwards(Node* parent, const std::string& name, const FolderTotal* total, bool partial,
                       platform::DirectoryHandle finished);
    std::optional<FolderTotal> finishNode(Node& node, platform::DirectoryHandle& fromChild);
    void release(Node* node);
    platform::DirectoryHandle reopen(const Node& node);
    void problem(const std::string& directory, std::string text);
    void count(const DirectoryIndexResult& result, const std::function<std::string()>& path);

    const IndexOptions& options_;
    const ProgressCallback& progress_;
    unsigned jobs_ = 1;
    std::size_t budget_ = 2;
    std::int64_t runStart_ = nowSeconds();
    std::unique_ptr<Node> top_;
    // Every node below the top, by its address; guarded by lock_.
    std::unordered_map<const Node*, std::unique_ptr<Node>> nodes_;
    platform::DirectoryIdentity topIdentity_;

    std::mutex lock_;
    std::condition_variable ready_;
    std::vector<Task> stack_;
    std::size_t busy_ = 0;
    std::set<platform::DirectoryIdentity> visited_;
    std::size_t heldHandles_ = 0;
    std::vector<Line> problems_;
    std::vector<Line> notes_;
    std::vector<Line> stale_;

    std::mutex progressLock_;
    RecursiveProgress counts_;
    // With folder totals the top's index is written last; why it failed.
    std::string topFailure_;
    bool sumOnly_ = false;
    FolderTotals topTotals_;
    // The rows of the whole tree, when its manifest is written.
    std::unique_ptr<TreeManifest> manifest_;
};

void TreeWalk::problem(const std::string& directory, std::string text)
{
    const std::lock_guard guard(lock_);
    problems_.push_back({directory, std::move(text)});
}

void TreeWalk::count(const DirectoryIndexResult& result, const std::function<std::string()>& path)
{
    const std::lock_guard guard(progressLock_);
    switch (result.outcome) {
    case IndexOutcome::Written:
        ++counts_.written;
        break;
    case IndexOutcome::Unchanged:
        ++counts_.unchanged;
        break;
    case IndexOutcome::Kept:
        ++counts_.kept;
        break;
    case IndexOutcome::Failed:
        ++counts_.failed;
        return;
    }
    ++counts_.directories;
    counts_.entries += result.rows;
    if (progress_) {
        counts_.directory = path;
        progress_(counts_);
        counts_.directory = nullptr;
    }
}

DirectoryPlace TreeWalk::placeOf(const std::function<std::string()>& path, bool belowTop,
                                 const platform::DirectoryHandle& directory, std::string& linksFrom) const
{
    DirectoryPlace place;
    if (options_.form != OutputForm::Fragment) {
        const std::string fromTop = path();
        place.path = fromTop == "." ? "/" : "/" + fromTop + "/";
    }
    if (options_.readTitles && belowTop)
        linksFrom = path() + "/";
    place.boundary.top = top_ ? &top_->handle : &directory;
    place.boundary.pathFromTop = linksFrom;
    return place;
}

// Hands the rows a directory's index listed to the tree's manifest, if it
// is written (none when the index failed).
void TreeWalk::keepRows(const DirectoryIndexResult& result, const std::function<std::string()>& path,
                        ManifestRows& rows)
{
    if (manifest_ && result.outcome != IndexOutcome::Failed)
        manifest_->add(path(), std::move(rows));
}

// Counts and reports what indexing a directory came to; false when it
// failed.
bool TreeWalk::record(DirectoryIndexResult& result, const std::function<std::string()>& path)
{
    count(result, path);
    if (result.outcome == IndexOutcome::Failed) {
        problem(path(), std::move(result.message));
        return false;
    }
    if (result.outcome == IndexOutcome::Kept) {
        std::string where = path();
        const std::lock_guard guard(lock_);
        notes_.push_back({std::move(where), std::move(result.message)});
    }
    if (options_.checkOnly && result.outcome == IndexOutcome::Written) {
        std::string where = path();
        std::string file = joined(where, options_.outputName);
        const std::lock_guard guard(lock_);
        stale_.push_back({std::move(where), std::move(file)});
    }
    return true;
}

// Indexes the directory just opened and queues its subdirectories. False
// when its index failed. Its path is built only where it is needed (a
// message, a page's heading, a link followed for a title): it is as long
// as the directory is deep.
bool TreeWalk::startDirectory(platform::DirectoryHandle directory, Node* parent, const std::string& name)
{
    if (options_.folderTotals)
        return listFirst(std::move(directory), parent, name);
    const std::function<std::string()> path = [&] {
        return parent ? joined(parent->pathFromTop(), name) : std::string(".");
    };
    std::string linksFrom;
    DirectoryPlace place = placeOf(path, parent != nullptr, directory, linksFrom);
    ManifestRows rows(parent == nullptr);
    place.manifestRows = manifest_ ? &rows : nullptr;
    DirectoryIndexResult result = indexDirectory(directory, options_, place, path, runStart_);
    keepRows(result, path, rows);
    if (!record(result, path))
        return false;
    if (!result.subdirectories.empty() || !parent)
        queueSubdirectories(std::move(directory), parent, name, std::move(result.subdirectories));
    return true;
}

// Makes the node of a directory with subdirectories (or of the top) and
// pushes them to be walked.
Node* TreeWalk::queueSubdirectories(platform::DirectoryHandle directory, Node* parent, const std::string& name,
                                    std::vector<std::string> subdirectories, std::unique_ptr<DirectoryListing> listing,
                                    FolderTotal own)
{
    auto owned = std::make_unique<Node>();
    Node* node = owned.get();
    node->listing = std::move(listing);
    node->total = own;
    node->parent = parent;
    node->name = name;
    node->identity = directory.identity();
    node->waiting = subdirectories.size();
    node->references = subdirectories.size();
    node->unreported = subdirectories.size();
    const std::lock_guard guard(lock_);
    if (!parent || heldHandles_ < budget_) {
        node->handle = std::move(directory);
        ++heldHandles_;
    }
    if (parent) {
        ++parent->references;
        nodes_.emplace(node, std::move(owned));
    } else {
        top_ = std::move(owned);
    }
    // Pushed in reverse, so that the first name is taken first.
    for (auto at = subdirectories.rbegin(); at != subdirectories.rend(); ++at)
        stack_.push_back({node, std::move(*at)});
    ready_.notify_all();
    return node;
}

// With folder totals: lists the directory just opened and writes its index
// at once when it has no subdirectories; else its index waits until they
// have reported their totals. False when the top cannot be listed.
bool TreeWalk::listFirst(platform::DirectoryHandle directory, Node* parent, const std::string& name)
{
    const std::function<std::string()> path = [&] {
        return parent ? joined(parent->pathFromTop(), name) : std::string(".");
    };
    ListedDirectory listed = listDirectory(directory, options_, path);
    if (!listed.listing) {
        DirectoryIndexResult failed;
        failed.message = std::move(listed.message);
        if (!parent) {
            topFailure_ = failed.message;
            return false;
        }
        record(failed, path);
        reportUpwards(parent, name, nullptr, true, {});
        return true;
    }
    std::vector<std::string> subdirectories = listed.listing->subdirectories();
    if (subdirectories.empty() && parent) {
        std::string linksFrom;
        DirectoryPlace place = placeOf(path, true, directory, linksFrom);
        if (!sumOnly_) {
            ManifestRows rows;
            place.manifestRows = manifest_ ? &rows : nullptr;
            DirectoryIndexResult result =
                writeDirectoryIndex(directory, *listed.listing, options_, place, path, runStart_);
            keepRows(result, path, rows);
            record(result, path);
        }
        const FolderTotal total = listed.listing->ownFiles();
        listed.listing.reset();
        reportUpwards(parent, name, &total, false, std::move(directory));
        return true;
    }
    // The top without subdirectories: nothing to wait for.
    const bool waits = !subdirectories.empty();
    const FolderTotal own = listed.listing->ownFiles();
    Node* node = queueSubdirectories(std::move(directory), parent, name, std::move(subdirectories),
                                     std::move(listed.listing), own);
    if (!waits) {
        platform::DirectoryHandle none;
        finishNode(*node, none);
    }
    return true;
}

// With folder totals: the subdirectory `name` of `parent` reports its
// total, or none when it was not walked (which makes the parent's total a
// lower bound when `partial`). A directory whose last subdirectory has
// reported gets its index written and reports in turn, up the tree as far
// as that goes. `finished` is the reporting directory's handle, if open:
// a parent whose handle was closed is opened again through it.
void TreeWalk::reportUpwards(Node* parent, const std::string& name, const FolderTotal* total, bool partial,
                             platform::DirectoryHandle finished)
{
    std::string reporting = name;
    std::optional<FolderTotal> current;
    if (total)
        current = *total;
    for (Node* node = parent; node != nullptr; node = node->parent) {
        {
            const std::lock_guard guard(lock_);
            if (current) {
                node->below[reporting] = *current;
                node->total.add(*current);
            }
            if (partial)
                node->total.lowerBound = true;
            if (--node->unreported != 0)
                return;
        }
        current = finishNode(*node, finished);
        partial = !current;
        reporting = node->name;
    }
}

// Writes the index of a directory whose subdirectories have all reported,
// and gives its total (none when it was moved or removed meanwhile). Its
// handle is left in `fromChild` for its parent.
std::optional<FolderTotal> TreeWalk::finishNode(Node& node, platform::DirectoryHandle& fromChild)
{
    const std::function<std::string()> path = [&] { return node.pathFromTop(); };
    {
        const std::lock_guard guard(node.lock);
        if (!node.handle.valid() && !node.lost) {
            // Up from the subdirectory that reported last: the one it came
            // from, if it still stands where the walk found it; else from the
            // top, by names.
            platform::DirectoryHandle reopened =
                fromChild.valid() ? fromChild.openParent() : platform::DirectoryHandle();
            if (reopened.valid() && !(reopened.identity() == node.identity))
                reopened = {};
            if (!reopened.valid())
                reopened = reopen(node);
            if (reopened.valid()) {
                node.handle = std::move(reopened);
                const std::lock_guard walkGuard(lock_);
                ++heldHandles_;
            }
        }
        // Written after its whole subtree, it must still stand where the
        // walk found it, or the index would be written outside the tree.
        if (!node.lost && (!node.handle.valid() || (node.parent && !node.handle.liesIn(node.parent->identity)))) {
            node.lost = true;
            const std::string where = path();
            problem(where,
                    "open(" + shortened(lineSafe(where)) + "): moved or removed while its subdirectories were indexed");
        }
    }
    fromChild = {};
    std::optional<FolderTotal> total;
    FolderTotals below;
    std::unique_ptr<DirectoryListing> listing;
    {
        const std::lock_guard guard(lock_);
        total = node.total;
        below = std::move(node.below);
        listing = std::move(node.listing);
    }
    if (node.lost)
        return std::nullopt;
    if (sumOnly_ && !node.parent) {
        topTotals_ = std::move(below);
    } else if (!sumOnly_) {
        listing->rebind(node.handle);
        listing->orderByFolderTotals(below);
        std::string linksFrom;
        DirectoryPlace place = placeOf(path, node.parent != nullptr, node.handle, linksFrom);
        place.folderTotals = &below;
        ManifestRows rows(!node.parent);
        place.manifestRows = manifest_ ? &rows : nullptr;
        DirectoryIndexResult result = writeDirectoryIndex(node.handle, *listing, options_, place, path, runStart_);
        keepRows(result, path, rows);
        if (!node.parent && result.outcome == IndexOutcome::Failed) {
            count(result, path);
            topFailure_ = std::move(result.message);
        } else {
            record(result, path);
        }
    }
    // The top stays open: every reopening starts there.
    if (node.parent) {
        const std::lock_guard guard(node.lock);
        fromChild = std::move(node.handle);
        const std::lock_guard walkGuard(lock_);
        --heldHandles_;
    }
    return total;
}

// Opens `node` again from the top, by the names the walk entered, checking
// that each directory on the way is still the one it indexed.
platform::DirectoryHandle TreeWalk::reopen(const Node& node)
{
    std::vector<const Node*> chain;
    for (const Node* at = &node; at->parent; at = at->parent)
        chain.push_back(at);
    const platform::DirectoryHandle* from = &top_->handle;
    platform::DirectoryHandle current;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        platform::DirectoryHandle next = from->openSubdirectory((*at)->name);
        if (!next.valid() || !(next.identity() == (*at)->identity))
            return {};
        current = std::move(next);
        from = &current;
    }
    return current;
}

void TreeWalk::visit(Task task)
{
    Node& parent = *task.parent;
    const auto path = [&] { return joined(parent.pathFromTop(), task.name); };
    platform::DirectoryHandle directory;
    std::string failure;
    {
        const std::lock_guard guard(parent.lock);
        if (!parent.handle.valid() && !parent.lost) {
            parent.handle = reopen(parent);
            if (parent.handle.valid()) {
                const std::lock_guard walkGuard(lock_);
                ++heldHandles_;
            } else {
                parent.lost = true;
                const std::string parentPath = parent.pathFromTop();
                problem(parentPath, "open(" + shortened(lineSafe(parentPath)) +
                                        "): moved or removed while its subdirectories were indexed");
            }
        }
        // Coming back to a directory after the walk was below another of
        // its subdirectories: it must still stand where the walk found it,
        // or what is opened through it may lie outside the tree now.
        if (parent.handle.valid() && parent.opened > 0 && parent.parent != nullptr && !parent.lost &&
            !parent.handle.liesIn(parent.parent->identity)) {
            parent.lost = true;
            const std::string parentPath = parent.pathFromTop();
            problem(parentPath, "open(" + shortened(lineSafe(parentPath)) +
                                    "): moved or removed while its subdirectories were indexed");
        }
        if (parent.handle.valid() && !parent.lost) {
            ++parent.opened;
            directory = parent.handle.openSubdirectory(task.name);
            if (!directory.valid())
                failure = platform::lastErrorText();
        }
        // The top stays open: every reopening starts there.
        if (--parent.waiting == 0 && parent.parent && parent.handle.valid()) {
            parent.handle = {};
            const std::lock_guard walkGuard(lock_);
            --heldHandles_;
        }
    }
    // With folder totals every subdirectory reports to its parent, walked
    // or not; one not walked leaves the parent's total a lower bound,
    // unless it was walked elsewhere.
    const auto notWalked = [&](bool partial) {
        if (options_.folderTotals)
            reportUpwards(task.parent, task.name, nullptr, partial, {});
    };
    if (!directory.valid()) {
        if (!failure.empty()) {
            const std::string where = path();
            problem(where, "open(" + shortened(lineSafe(where)) + "): " + failure);
            const std::lock_guard guard(progressLock_);
            ++counts_.failed;
        }
        notWalked(true);
        return;
    }
    if (options_.oneFileSystem) {
        const platform::DirectoryIdentity identity = directory.identityWithMount();
        if (identity.device != topIdentity_.device || identity.mount != topIdentity_.mount) {
            notWalked(true);
            return;
        }
    }
    bool seen = false;
    {
        const std::lock_guard guard(lock_);
        seen = !visited_.insert(directory.identity()).second;
    }
    if (seen) {
        notWalked(false);
        return;
    }
    startDirectory(std::move(directory), task.parent, task.name);
}

// Drops a reference to `node`; a node no directory below needs any more
// goes, and with it its reference to its parent. Called with lock_ held.
void TreeWalk::release(Node* node)
{
    while (node != nullptr && node != top_.get() && --node->references == 0) {
        Node* parent = node->parent;
        if (node->handle.valid())
            --heldHandles_;
        nodes_.erase(node);
        node = parent;
    }
}

void TreeWalk::work()
{
    for (;;) {
        Task task;
        {
            std::unique_lock guard(lock_);
            ready_.wait(guard, [this] { return !stack_.empty() || busy_ == 0; });
            if (stack_.empty())
                return;
            task = std::move(stack_.back());
            stack_.pop_back();
            ++busy_;
        }
        Node* parent = task.parent;
        visit(std::move(task));
        {
            const std::lock_guard guard(lock_);
            release(parent);
            if (--busy_ == 0 && stack_.empty())
                ready_.notify_all();
        }
    }
}

bool TreeWalk::run(std::string* reason, RunReport& report)
{
    const std::string where = options_.directory.empty() ? std::string(".") : options_.directory;
    platform::DirectoryHandle top = platform::DirectoryHandle::open(where);
    if (!top.valid()) {
        setReason(reason, "open(" + shortened(lineSafe(where)) + "): " + platform::lastErrorText());
        return false;
    }
    jobs_ = options_.jobs != 0 ? options_.jobs : defaultJobs(top.onNetworkFileSystem());
    // Each job holds up to four descriptors of its own (the directory, the
    // index there now, its temporary file, a file read for its title);
    // held directories get half of what is left.
    const std::size_t limit = platform::descriptorLimit();
    const std::size_t reserved = 16 + 4 * std::size_t{jobs_};
    budget_ = limit > reserved ? std::max<std::size_t>((limit - reserved) / 2, 2) : 2;
    topIdentity_ = options_.oneFileSystem ? top.identityWithMount() : top.identity();
    visited_.insert(topIdentity_);
    if (options_.treeIndex)
        manifest_ = std::make_unique<TreeManifest>();
    if (!startDirectory(std::move(top), nullptr, "")) {
        setReason(reason, options_.folderTotals ? topFailure_ : problems_.front().text);
        return false;
    }
    if (top_ && !stack_.empty()) {
        std::vector<std::thread> helpers;
        for (unsigned i = 1; i < jobs_; ++i)
            helpers.emplace_back([this] { work(); });
        work();
        for (auto& helper : helpers)
            helper.join();
    }
    const auto sorted = [](std::vector<Line>& lines, std::vector<std::string>& into) {
        std::stable_sort(lines.begin(), lines.end(),
                         [](const Line& a, const Line& b) { return walkedBefore(a.directory, b.directory); });
        for (Line& line : lines)
            into.push_back(std::move(line.text));
    };
    sorted(problems_, report.problems);
    sorted(notes_, report.notes);
    sorted(stale_, report.stale);
    if (manifest_) {
        manifest_->arrange();
        writeTreeManifest(top_->handle, options_, *manifest_, report);
    }
    report.counts = counts_;
    if (!topFailure_.empty()) {
        setReason(reason, topFailure_);
        return false;
    }
    return true;
}

}  // namespace

unsigned defaultJobs(bool networkFileSystem)
{
    // Most of a directory's time is spent waiting for the file system, not
    // computing, so a few jobs per core keep both the cores and the file
    // system busy. On a network file system each call waits a round trip
    // while the processor idles, and jobs pay as long as calls overlap.
    if (networkFileSystem)
        return 32;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return std::clamp(4 * cores, 4u, 32u);
}

bool exportSingle(const std::string& outputPath, const IndexOptions& options, std::string* reason, RunReport* report)
{
    const std::string where = options.directory.empty() ? std::string(".") : options.directory;
    const platform::DirectoryHandle directory = platform::DirectoryHandle::open(where);
    if (!directory.valid()) {
        setReason(reason, "open(" + shortened(lineSafe(where)) + "): " + platform::lastErrorText());
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
        const std::string parent = separator == std::string::npos ? "." : outputPath.substr(0, separator + 1);
        const platform::DirectoryHandle outputDirectory = platform::DirectoryHandle::open(parent);
        indexFileHere = outputDirectory.valid() && outputDirectory.identity() == directory.identity();
    }
    // Folder totals come from a walk below that writes nothing, before the
    // directory is listed for its index.
    FolderTotals totals;
    if (options.folderTotals) {
        IndexOptions walked = options;
        walked.recursive = true;
        TreeWalk walk(walked, {});
        walk.sumOnly();
        RunReport found;
        if (!walk.run(reason, found)) {
            stream.abandon();
            return false;
        }
        totals = std::move(walk.topTotals());
        if (report != nullptr)
            report->problems = std::move(found.problems);
    }
    DirectoryListing listing(directory, options, indexFileHere);
    if (const std::string& failure = listing.readError(); !failure.empty()) {
        stream.abandon();
        setReason(reason, "readdir(" + shortened(lineSafe(where)) + "): " + failure);
        return false;
    }
    listing.orderByFolderTotals(totals);
    DirectoryPlace place;
    place.directory = &directory;
    place.boundary.top = &directory;
    if (options.folderTotals)
        place.folderTotals = &totals;
    writeIndex(stream, options, listing, place);
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
    TreeWalk walk(options, progress);
    return walk.run(reason, report != nullptr ? *report : ignored);
}

}  // namespace quilldex
