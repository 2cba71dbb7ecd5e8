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
#include <set>
#include <unordered_map>
#include <thread>
#include <vector>

#include "index/directory_index.h"
#include "index/directory_listing.h"
#include "index/index_writer.h"
#include "index/listing_order.h"
#include "index/message_text.h"
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

// Orders paths as the walk of one job meets them: component by component,
// each in the name order, a directory before what lies below it.
bool walkedBefore(std::string_view a, std::string_view b)
{
    if (a == ".")
        return b != ".";
    if (b == ".")
        return false;
    for (;;) {
        const auto aEnd = a.find('/');
        const auto bEnd = b.find('/');
        const std::string_view aName = a.substr(0, aEnd);
        const std::string_view bName = b.substr(0, bEnd);
        if (aName != bName)
            return listsBefore(aName, bName);
        if (aEnd == std::string_view::npos || bEnd == std::string_view::npos)
            return aEnd == std::string_view::npos && bEnd != std::string_view::npos;
        a.remove_prefix(aEnd + 1);
        b.remove_prefix(bEnd + 1);
    }
}

// A report line with the directory it is about.
struct Line {
    std::string directory;
    std::string text;
};

class TreeWalk {
public:
    TreeWalk(const IndexOptions& options, const ProgressCallback& progress) : options_(options), progress_(progress) {}

    bool run(std::string* reason, RunReport& report);

private:
    void work();
    void visit(Task task);
    bool startDirectory(platform::DirectoryHandle directory, Node* parent, const std::string& name);
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

// Indexes the directory just opened and queues its subdirectories. False
// when its index failed. Its path is built only where it is needed (a
// message, a page's heading, a link followed for a title): it is as long
// as the directory is deep.
bool TreeWalk::startDirectory(platform::DirectoryHandle directory, Node* parent, const std::string& name)
{
    const std::function<std::string()> path = [&] {
        return parent ? joined(parent->pathFromTop(), name) : std::string(".");
    };
    DirectoryPlace place;
    if (options_.form != OutputForm::Fragment) {
        const std::string fromTop = path();
        place.path = fromTop == "." ? "/" : "/" + fromTop + "/";
    }
    std::string linksFrom;
    if (options_.readTitles && parent)
        linksFrom = path() + "/";
    place.boundary.top = top_ ? &top_->handle : &directory;
    place.boundary.pathFromTop = linksFrom;
    DirectoryIndexResult result = indexDirectory(directory, options_, place, path, runStart_);
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
    if (result.subdirectories.empty() && parent)
        return true;

    auto owned = std::make_unique<Node>();
    Node* node = owned.get();
    node->parent = parent;
    node->name = name;
    node->identity = directory.identity();
    node->waiting = result.subdirectories.size();
    node->references = result.subdirectories.size();
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
    for (auto at = result.subdirectories.rbegin(); at != result.subdirectories.rend(); ++at)
        stack_.push_back({node, std::move(*at)});
    ready_.notify_all();
    return true;
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
            problem(parentPath,
                    "open(" + shortened(lineSafe(parentPath)) + "): moved or removed while its subdirectories were indexed");
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
    if (!directory.valid()) {
        if (!failure.empty()) {
            const std::string where = path();
            problem(where, "open(" + shortened(lineSafe(where)) + "): " + failure);
            const std::lock_guard guard(progressLock_);
            ++counts_.failed;
        }
        return;
    }
    if (options_.oneFileSystem) {
        const platform::DirectoryIdentity identity = directory.identityWithMount();
        if (identity.device != topIdentity_.device || identity.mount != topIdentity_.mount)
            return;
    }
    {
        const std::lock_guard guard(lock_);
        if (!visited_.insert(directory.identity()).second)
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
    if (!startDirectory(std::move(top), nullptr, "")) {
        setReason(reason, problems_.front().text);
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
    report.counts = counts_;
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
    DirectoryListing listing(directory, options, indexFileHere);
    if (const std::string& failure = listing.readError(); !failure.empty()) {
        stream.abandon();
        setReason(reason, "readdir(" + shortened(lineSafe(where)) + "): " + failure);
        return false;
    }
    DirectoryPlace place;
    place.directory = &directory;
    place.boundary.top = &directory;
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
