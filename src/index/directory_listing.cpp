// The listing reads the directory once. Each name is judged as it comes:
// the masks, the exclusions and the hidden rule decide whether it is shown,
// entered or dropped, and only the names kept are stored. The status of an
// entry is asked for only when it is shown, or when the kind the read
// reports is not enough to tell whether it is a directory.
//
// The status calls follow the order of the read where they can: a file
// system answers them fastest in the order it keeps the names, and that
// order is not the listing's. Sizes and times that the order itself needs
// are taken while reading and kept with the name; otherwise they are taken
// for a window of entries at a time, just before the entries are handed
// out, so that the listing never holds more than a window of them.
#include "index/directory_listing.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <string_view>

#include "index/natural_order.h"
#include "platform/listing_order.h"
#include "platform/wildcard.h"

namespace quilldex {

namespace {

using Reference = std::uint32_t;

// Bits stored with each name.
constexpr unsigned kIsDirectory = 1;
constexpr unsigned kIsLink = 2;
constexpr unsigned kHasFacts = 4;

// The size and time of an entry, taken ahead of handing it out.
struct Facts {
    std::uint64_t size = 0;
    platform::UtcSeconds lastWriteTime = 0;
};

struct Record {
    std::string_view name;
    unsigned flags = 0;
    Facts facts;
};

// The kept names, each as a record: two bytes holding its length and
// flags, its bytes, and (with kHasFacts) its size and time. The records lie
// in blocks that double in size up to 1 MiB, so that the store never copies
// what it holds while it grows (which would hold the names twice for a
// moment) and a small directory costs a small block. A reference holds the
// block number in its high 12 bits and the position in the low 20; the
// order of references is the order in which the names were added.
class NameStore {
public:
    static constexpr std::size_t kMaxNameLength = 0x0FFF;

    // False when the store is full (4 GiB of names) or the name too long.
    bool add(std::string_view name, unsigned flags, const Facts* facts, Reference& reference)
    {
        const std::size_t size = 2 + name.size() + (facts != nullptr ? sizeof(Facts) : 0);
        if (name.size() > kMaxNameLength)
            return false;
        if (blocks_.empty() || used_ + size > blockSize_) {
            if (blocks_.size() == kMaxBlocks)
                return false;
            if (!blocks_.empty() && blockSize_ < kMaxBlockSize)
                blockSize_ *= 2;
            blocks_.push_back(std::make_unique<char[]>(blockSize_));
            used_ = 0;
        }
        reference = static_cast<Reference>(((blocks_.size() - 1) << kPositionBits) | used_);
        char* at = blocks_.back().get() + used_;
        const unsigned header = static_cast<unsigned>(name.size()) | (flags << 12);
        at[0] = static_cast<char>(header & 0xFF);
        at[1] = static_cast<char>(header >> 8);
        std::memcpy(at + 2, name.data(), name.size());
        if (facts != nullptr)
            std::memcpy(at + 2 + name.size(), facts, sizeof(Facts));
        used_ += size;
        return true;
    }

    Record at(Reference reference) const
    {
        const char* at = blocks_[reference >> kPositionBits].get() + (reference & kPositionMask);
        const unsigned header = static_cast<unsigned char>(at[0]) | (static_cast<unsigned char>(at[1]) << 8);
        Record record;
        record.name = std::string_view(at + 2, header & kMaxNameLength);
        record.flags = header >> 12;
        if ((record.flags & kHasFacts) != 0)
            std::memcpy(&record.facts, at + 2 + record.name.size(), sizeof(Facts));
        return record;
    }

private:
    static constexpr unsigned kPositionBits = 20;
    static constexpr Reference kPositionMask = (Reference{1} << kPositionBits) - 1;
    static constexpr std::size_t kMaxBlockSize = std::size_t{1} << kPositionBits;
    static constexpr std::size_t kMaxBlocks = std::size_t{1} << (32 - kPositionBits);

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockSize_ = 4096;
    std::size_t used_ = 0;
};

// How many entries have their status taken in one window.
constexpr std::size_t kWindowSize = 16384;

// "." and ".." first in every order.
int rank(std::string_view name)
{
    return name == "." ? 0 : name == ".." ? 1 : 2;
}

bool sortsByFacts(const IndexOptions& options)
{
    return options.sortKey == SortKey::Size || options.sortKey == SortKey::Time;
}

// Sizes and times cost a status call per entry; without those columns the
// kind of each entry is all the filters need.
bool needsFacts(const IndexOptions& options)
{
    return options.showSize || options.showTime || options.showDate || options.form != OutputForm::Fragment ||
           sortsByFacts(options);
}

std::vector<platform::WildcardMask> translate(const std::vector<std::string>& masks)
{
    return std::vector<platform::WildcardMask>(masks.begin(), masks.end());
}

bool matchesAny(const std::vector<platform::WildcardMask>& masks, std::string_view name)
{
    return std::any_of(masks.begin(), masks.end(), [name](const auto& mask) { return mask.matches(name); });
}

unsigned flagsOf(const platform::DirectoryEntry& entry)
{
    return (entry.isDirectory ? kIsDirectory : 0) | (entry.isLink ? kIsLink : 0);
}

}  // namespace

struct DirectoryListing::State {
    const IndexOptions& options;
    bool anyMatched = false;
    NameStore store;
    std::vector<Reference> shown;
    std::vector<Reference> entered;
    std::size_t nextShown = 0;
    // The facts of shown[windowStart] onwards, and whether each was found.
    std::vector<Facts> window;
    std::vector<bool> windowFound;
    std::size_t windowStart = 0;

    explicit State(const IndexOptions& o) : options(o) {}

    void read();
    void sort();
    void fillWindow();
    // Orders two shown entries; "." and ".." first whatever the order.
    bool before(Reference a, Reference b) const;
    bool keyBefore(const Record& a, const Record& b) const;
};

void DirectoryListing::State::read()
{
    const bool factsFirst = sortsByFacts(options);
    std::vector<std::string> masks{options.fileMask};
    masks.insert(masks.end(), options.extraMasks.begin(), options.extraMasks.end());
    const auto selected = translate(masks);
    const auto excluded = translate(options.excludeMasks);

    platform::DirectoryReader reader;
    platform::DirectoryName found;
    platform::DirectoryEntry entry;
    while (reader.next(found)) {
        const bool dots = rank(found.name) < 2;
        if (options.skipHidden && found.hidden && !dots)
            continue;
        if (!excluded.empty() && matchesAny(excluded, found.name))
            continue;
        const bool matched = matchesAny(selected, found.name);
        anyMatched = anyMatched || matched;
        const bool showable = matched && found.name != "." && found.name != options.outputName;
        const bool enterable = options.recursive && !dots && found.kind != platform::NameKind::File &&
                               found.kind != platform::NameKind::Link;
        // A single run shows no directories, so the kind matters there too.
        if (!(showable || enterable))
            continue;

        entry.name.assign(found.name);
        entry.isDirectory = found.kind == platform::NameKind::Directory;
        entry.isLink = found.kind == platform::NameKind::Link;
        const bool kindUnknown = found.kind == platform::NameKind::Unknown || entry.isLink;
        Facts facts;
        bool haveFacts = false;
        if ((showable && factsFirst) || kindUnknown) {
            if (!platform::readEntryFacts(entry))
                continue;  // Gone since the directory was read.
            facts = Facts{entry.isDirectory ? 0 : entry.size, entry.lastWriteTime};
            haveFacts = true;
        }
        const bool shows = showable && (options.recursive || !entry.isDirectory);
        const bool enters = options.recursive && !dots && entry.isDirectory && !entry.isLink;
        if (!shows && !enters)
            continue;
        const bool keepFacts = shows && factsFirst && haveFacts;
        Reference reference;
        if (!store.add(entry.name, flagsOf(entry) | (keepFacts ? kHasFacts : 0), keepFacts ? &facts : nullptr,
                       reference))
            continue;
        if (shows)
            shown.push_back(reference);
        if (enters)
            entered.push_back(reference);
    }
}

bool DirectoryListing::State::keyBefore(const Record& a, const Record& b) const
{
    switch (options.sortKey) {
    case SortKey::Name:
        break;
    case SortKey::Natural:
        if (const int order = compareNaturally(a.name, b.name); order != 0)
            return order < 0;
        break;
    case SortKey::Size:
        if (a.facts.size != b.facts.size)
            return a.facts.size < b.facts.size;
        break;
    case SortKey::Time:
        if (a.facts.lastWriteTime != b.facts.lastWriteTime)
            return a.facts.lastWriteTime < b.facts.lastWriteTime;
        break;
    }
    return platform::listsBefore(a.name, b.name);
}

bool DirectoryListing::State::before(Reference a, Reference b) const
{
    const Record x = store.at(a);
    const Record y = store.at(b);
    const int rankX = rank(x.name);
    const int rankY = rank(y.name);
    if (rankX != rankY || rankX < 2)
        return rankX < rankY;
    if (options.directoriesFirst) {
        const bool directoryX = (x.flags & kIsDirectory) != 0;
        const bool directoryY = (y.flags & kIsDirectory) != 0;
        if (directoryX != directoryY)
            return directoryX;
    }
    return options.reverseOrder ? keyBefore(y, x) : keyBefore(x, y);
}

void DirectoryListing::State::sort()
{
    if (options.sortKey == SortKey::Name && !options.reverseOrder && !options.directoriesFirst) {
        // The default order needs neither the flags nor the facts.
        std::sort(shown.begin(), shown.end(), [this](Reference a, Reference b) {
            return platform::listsBefore(store.at(a).name, store.at(b).name);
        });
    } else {
        std::sort(shown.begin(), shown.end(), [this](Reference a, Reference b) { return before(a, b); });
    }
    std::sort(entered.begin(), entered.end(), [this](Reference a, Reference b) {
        return platform::listsBefore(store.at(a).name, store.at(b).name);
    });
}

void DirectoryListing::State::fillWindow()
{
    windowStart = nextShown;
    const std::size_t count = std::min(kWindowSize, shown.size() - windowStart);
    window.assign(count, Facts{});
    windowFound.assign(count, false);
    // The entries of the window in the order they were read.
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [this](std::uint32_t a, std::uint32_t b) { return shown[windowStart + a] < shown[windowStart + b]; });
    platform::DirectoryEntry entry;
    for (const std::uint32_t i : order) {
        entry.name.assign(store.at(shown[windowStart + i]).name);
        if (platform::readEntryFacts(entry)) {
            window[i] = Facts{entry.size, entry.lastWriteTime};
            windowFound[i] = true;
        }
    }
}

DirectoryListing::DirectoryListing(const IndexOptions& options, bool indexFileHere)
    : state_(std::make_unique<State>(options))
{
    state_->read();
    state_->sort();
    if (indexFileHere && !state_->anyMatched)
        state_->anyMatched = matchesAny(translate({options.fileMask}), options.outputName);
}

DirectoryListing::~DirectoryListing() = default;

bool DirectoryListing::anyMatched() const
{
    return state_->anyMatched;
}

bool DirectoryListing::next(platform::DirectoryEntry& entry)
{
    State& s = *state_;
    const bool facts = needsFacts(s.options);
    while (s.nextShown < s.shown.size()) {
        const std::size_t index = s.nextShown++;
        const Record record = s.store.at(s.shown[index]);
        entry.name.assign(record.name);
        entry.isDirectory = (record.flags & kIsDirectory) != 0;
        entry.isLink = (record.flags & kIsLink) != 0;
        entry.size = 0;
        entry.lastWriteTime = 0;
        if (!facts)
            return true;
        if ((record.flags & kHasFacts) == 0) {
            if (index >= s.windowStart + s.window.size()) {
                s.nextShown = index;
                s.fillWindow();
                s.nextShown = index + 1;
            }
            if (!s.windowFound[index - s.windowStart])
                continue;  // Gone since the directory was read.
            entry.size = s.window[index - s.windowStart].size;
            entry.lastWriteTime = s.window[index - s.windowStart].lastWriteTime;
        } else {
            entry.size = record.facts.size;
            entry.lastWriteTime = record.facts.lastWriteTime;
        }
        return true;
    }
    return false;
}

std::vector<std::string> DirectoryListing::subdirectories()
{
    std::vector<std::string> names;
    names.reserve(state_->entered.size());
    for (const Reference reference : state_->entered)
        names.emplace_back(state_->store.at(reference).name);
    return names;
}

}  // namespace quilldex
