// The listing reads the directory once. Each name is judged as it comes:
// the masks, the exclusions and the hidden rule decide whether it is shown,
// entered or dropped, and only the names kept are stored. The status of an
// entry is asked for only when it is shown, or when the kind the read
// reports is not enough to tell whether it is a directory.
//
// A file system answers status calls fastest in the order it keeps the
// names, which is not the listing's order. So sizes and times are taken
// while reading and kept beside the names, as long as that costs little
// memory; past kFactsAtReadLimit entries (directory_listing.h) they are
// dropped and taken again as the entries are handed out, so that a huge
// directory costs little more than its names. The size and time orders
// need them for every entry and always keep them.
#include "index/directory_listing.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "index/natural_order.h"
#include "index/listing_order.h"
#include "index/wildcard.h"

namespace quilldex {

namespace {

// A stored name: whether it is a directory in the top bit, the block it
// lies in in the next 12 bits, its position there in the low 19. The order
// of references is the order in which the names were added.
using Reference = std::uint32_t;
constexpr unsigned kPositionBits = 19;
constexpr unsigned kBlockBits = 12;
constexpr Reference kDirectoryBit = Reference{1} << 31;

bool isDirectory(Reference reference)
{
    return (reference & kDirectoryBit) != 0;
}

// The kept names, each as its length and its bytes. A length below 255
// takes one byte; a longer one (possible for Windows names) the byte 255
// and two more. The names lie in blocks that double in size up to 512 KiB,
// so that the store never copies what it holds while it grows (which would
// hold the names twice for a moment) and a small directory costs a small
// block. The store holds at most 2 GiB of names.
class NameStore {
public:
    // False when the store is full.
    bool add(std::string_view name, bool directory, Reference& reference)
    {
        const bool longName = name.size() >= 255;
        const std::size_t size = (longName ? 3 : 1) + name.size();
        if (blocks_.empty() || used_ + size > blockSize_) {
            if (blocks_.size() == kMaxBlocks)
                return false;
            if (!blocks_.empty() && blockSize_ < kMaxBlockSize)
                blockSize_ *= 2;
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize_));
            used_ = 0;
        }
        reference =
            static_cast<Reference>(((blocks_.size() - 1) << kPositionBits) | used_) | (directory ? kDirectoryBit : 0);
        auto* at = reinterpret_cast<unsigned char*>(blocks_.back().get() + used_);
        if (longName) {
            *at++ = 255;
            *at++ = static_cast<unsigned char>(name.size() & 0xFF);
            *at++ = static_cast<unsigned char>(name.size() >> 8);
        } else {
            *at++ = static_cast<unsigned char>(name.size());
        }
        std::memcpy(at, name.data(), name.size());
        used_ += size;
        return true;
    }

    std::string_view name(Reference reference) const
    {
        const auto* at = reinterpret_cast<const unsigned char*>(
            blocks_[(reference >> kPositionBits) & kBlockMask].get() + (reference & kPositionMask));
        std::size_t length = *at++;
        if (length == 255) {
            length = at[0] | (static_cast<std::size_t>(at[1]) << 8);
            at += 2;
        }
        return {reinterpret_cast<const char*>(at), length};
    }

private:
    static constexpr Reference kPositionMask = (Reference{1} << kPositionBits) - 1;
    static constexpr Reference kBlockMask = (Reference{1} << kBlockBits) - 1;
    static constexpr std::size_t kMaxBlockSize = std::size_t{1} << kPositionBits;
    static constexpr std::size_t kMaxBlocks = std::size_t{1} << kBlockBits;

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockSize_ = 4096;
    std::size_t used_ = 0;
};

// The first eight bytes of a name by the values listsBefore sorts them by
// (ASCII letters as capitals), as one number, 0 bytes after a shorter name.
// Where two names' prefixes differ they order the names as listsBefore
// does, so most comparisons of the name order never touch the names
// themselves. 0, as for a name with a byte that sorts above every byte
// value (a Windows name with a character the code page lacks), means the
// names must be compared whole.
std::uint64_t namePrefix(std::string_view name)
{
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const unsigned value = i < name.size() ? byteSortValue(static_cast<unsigned char>(name[i])) : 0u;
        if (value > 0xFF)
            return 0;
        prefix = (prefix << 8) | value;
    }
    return prefix;
}

// A shown entry with its size and time, packed into 24 bytes: the size and
// the time take 48 bits each, which holds any size below 256 TiB and any
// time within four million years of 1970. Larger values are held at those
// bounds, for the order, and taken again when the entry is handed out.
class Item {
public:
    // `prefix` is namePrefix, or naturalPrefix (natural_order.h) for the
    // natural order.
    Item(Reference r, std::uint64_t orderPrefix, std::uint64_t bytes, platform::UtcSeconds seconds)
        : prefix(orderPrefix), reference(r)
    {
        bytes = std::min(bytes, kMostBytes);
        seconds = std::clamp(seconds, kEarliest, kLatest);
        const auto t = static_cast<std::uint64_t>(seconds);
        words_[0] = static_cast<std::uint32_t>(bytes);
        words_[1] = static_cast<std::uint32_t>(((bytes >> 32) & 0xFFFF) | ((t >> 32) << 16));
        words_[2] = static_cast<std::uint32_t>(t);
    }
    std::uint64_t bytes() const { return words_[0] | (std::uint64_t{words_[1] & 0xFFFF} << 32); }
    platform::UtcSeconds seconds() const
    {
        // The high 16 bits of the time, sign-extended from bit 47.
        const auto high = static_cast<std::int64_t>(static_cast<std::int16_t>(words_[1] >> 16));
        return static_cast<platform::UtcSeconds>(static_cast<std::uint64_t>(high) << 32 | words_[2]);
    }
    // Whether the size or the time was held at a bound.
    bool atBound() const { return bytes() == kMostBytes || seconds() == kEarliest || seconds() == kLatest; }

    std::uint64_t prefix;
    Reference reference;

private:
    static constexpr std::uint64_t kMostBytes = (std::uint64_t{1} << 48) - 1;
    static constexpr platform::UtcSeconds kEarliest = -(std::int64_t{1} << 47);
    static constexpr platform::UtcSeconds kLatest = (std::int64_t{1} << 47) - 1;

    std::uint32_t words_[3];
};
static_assert(sizeof(Item) == 24);

// A directory with this many entries to show gets room for as many as the
// system says it can hold (few do; asking costs a call), up to a most.
constexpr std::size_t kReserveFrom = 4096;
constexpr std::size_t kMostReserved = std::size_t{1} << 22;

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
           options.folderTotals || sortsByFacts(options);
}

std::vector<WildcardMask> translate(const std::vector<std::string>& masks)
{
    return std::vector<WildcardMask>(masks.begin(), masks.end());
}

// The masks of which an entry must match one to be listed.
std::vector<std::string> selectingMasks(const IndexOptions& options)
{
    std::vector<std::string> masks{options.fileMask};
    masks.insert(masks.end(), options.extraMasks.begin(), options.extraMasks.end());
    return masks;
}

bool matchesAny(const std::vector<WildcardMask>& masks, std::string_view name)
{
    return std::any_of(masks.begin(), masks.end(), [name](const auto& mask) { return mask.matches(name); });
}

// What the order compares of an entry.
struct SortView {
    std::string_view name;
    bool directory;
    std::uint64_t size;  // 0 for a directory
    platform::UtcSeconds time;
    std::uint64_t prefix;  // the item's prefix, or 0 where not known
};

bool prefixesDecide(const SortView& a, const SortView& b)
{
    return a.prefix != b.prefix && a.prefix != 0 && b.prefix != 0;
}

}  // namespace

struct DirectoryListing::State {
    const platform::DirectoryHandle* directory;
    const IndexOptions& options;
    const std::size_t factsAtReadLimit;
    bool anyMatched = false;
    std::string readError;
    NameStore store;
    // The shown entries: with their facts while `factsKept`, else as names.
    bool factsKept = false;
    std::vector<Item> items;
    std::vector<Reference> shown;
    std::vector<Reference> entered;
    std::size_t next = 0;
    std::size_t reserve = 0;
    bool outputNamePresent = false;
    std::vector<std::string> temporaryNames;
    FolderTotal ownFiles;
    // Directories' items carry their folder totals, for the size order.
    bool directorySizes = false;

    State(const platform::DirectoryHandle& d, const IndexOptions& o, std::size_t limit)
        : directory(&d), options(o), factsAtReadLimit(limit)
    {
    }

    void read();
    void reserveRoom(std::size_t hint);
    void dropFacts();
    void sort();
    // Orders two shown entries other than "." and "..".
    bool before(const SortView& a, const SortView& b) const;
    bool keyBefore(const SortView& a, const SortView& b) const;
    SortView view(const Item& item) const
    {
        const bool directory = isDirectory(item.reference);
        const bool sized = !directory || directorySizes;
        return {store.name(item.reference), directory, sized ? item.bytes() : 0, item.seconds(), item.prefix};
    }
    SortView view(Reference reference) const { return {store.name(reference), isDirectory(reference), 0, 0, 0}; }
};

void DirectoryListing::State::read()
{
    factsKept = needsFacts(options);
    const auto selected = translate(selectingMasks(options));
    const auto excluded = translate(options.excludeMasks);

    platform::DirectoryReader reader(*directory);
    platform::DirectoryName found;
    platform::DirectoryEntry entry;
    while (reader.next(found)) {
        if (found.name == options.outputName)
            outputNamePresent = true;
        // An output stream's temporary file, this run's or another's, is
        // no entry of the directory.
        if (found.name.starts_with(platform::kTemporaryNamePrefix)) {
            temporaryNames.emplace_back(found.name);
            continue;
        }
        // "." and ".." are no content of the directory: neither the hidden
        // rule nor an exclusion takes them (a mask such as ".*", meant for
        // the dot files, would take away the way up).
        const bool dots = rank(found.name) < 2;
        if (options.skipHidden && found.hidden && !dots)
            continue;
        if (!dots && !excluded.empty() && matchesAny(excluded, found.name))
            continue;
        const bool matched =
            matchesAny(selected, found.name) || (!found.shortName.empty() && matchesAny(selected, found.shortName));
        anyMatched = anyMatched || matched;
        const bool showable = matched && found.name != "." && found.name != options.outputName;
        // A recursive run may enter what the read did not call a file; so
        // may a single run with folder totals, which lists directories.
        const bool walks = options.recursive || options.folderTotals;
        const bool enterable =
            walks && !dots && found.kind != platform::NameKind::File && found.kind != platform::NameKind::Link;
        if (!showable && !enterable)
            continue;

        entry.name.assign(found.name);
        entry.isDirectory = found.kind == platform::NameKind::Directory;
        entry.isLink = found.kind == platform::NameKind::Link;
        // A link, or a name of unknown kind, needs its status to tell a
        // directory from a file.
        const bool kindUnknown = found.kind == platform::NameKind::Unknown || entry.isLink;
        // Folder totals need every size, also past the facts kept.
        if ((showable && (factsKept || options.folderTotals)) || kindUnknown) {
            if (!platform::readEntryFacts(*directory, entry))
                continue;  // Gone since the directory was read.
        }
        if (options.folderTotals && showable && !entry.isDirectory && !entry.isLink) {
            ownFiles.bytes += entry.size;
            ++ownFiles.files;
        }
        const bool shows = showable && (options.recursive || !entry.isDirectory || (options.folderTotals && !dots));
        const bool enters = walks && !dots && entry.isDirectory && !entry.isLink;
        if (!shows && !enters)
            continue;
        Reference reference;
        if (!store.add(entry.name, entry.isDirectory, reference)) {
            readError = "more than 2 GiB of names";
            return;
        }
        if (shows && items.size() + shown.size() == kReserveFrom)
            reserveRoom(directory->countHint());
        if (shows && factsKept) {
            const bool natural = options.sortKey == SortKey::Natural;
            items.emplace_back(reference, natural ? naturalPrefix(entry.name) : namePrefix(entry.name), entry.size,
                               entry.lastWriteTime);
            if (items.size() > factsAtReadLimit && !sortsByFacts(options))
                dropFacts();
        } else if (shows) {
            shown.push_back(reference);
        }
        if (enters)
            entered.push_back(reference);
    }
    readError = reader.error();
}

void DirectoryListing::State::reserveRoom(std::size_t hint)
{
    // A vector that grows holds its old and its new copy for a moment;
    // room not used costs no memory until it is touched.
    reserve = std::min(hint, kMostReserved);
    if (factsKept)
        items.reserve(sortsByFacts(options) ? reserve : std::min(reserve, factsAtReadLimit + 1));
    else
        shown.reserve(reserve);
}

void DirectoryListing::State::dropFacts()
{
    shown.reserve(std::max(reserve, 2 * items.size()));
    for (const Item& item : items)
        shown.push_back(item.reference);
    std::vector<Item>().swap(items);
    factsKept = false;
}

bool DirectoryListing::State::keyBefore(const SortView& a, const SortView& b) const
{
    switch (options.sortKey) {
    case SortKey::Name:
        break;
    case SortKey::Natural:
        if (prefixesDecide(a, b))
            return a.prefix < b.prefix;
        if (const int order = compareNaturally(a.name, b.name); order != 0)
            return order < 0;
        return listsBefore(a.name, b.name);
    case SortKey::Size:
        if (a.size != b.size)
            return a.size < b.size;
        break;
    case SortKey::Time:
        if (a.time != b.time)
            return a.time < b.time;
        break;
    }
    // The name order, through the prefixes where both are known.
    return prefixesDecide(a, b) ? a.prefix < b.prefix : listsBefore(a.name, b.name);
}

bool DirectoryListing::State::before(const SortView& a, const SortView& b) const
{
    if (options.directoriesFirst && a.directory != b.directory)
        return a.directory;
    return options.reverseOrder ? keyBefore(b, a) : keyBefore(a, b);
}

void DirectoryListing::State::sort()
{
    // "." and ".." come first in every order, so they are put there and
    // the orders below need not look for them.
    const auto dotsFirst = [this](auto& entries, auto nameOf) {
        const auto rest = std::partition(entries.begin(), entries.end(),
                                         [&](const auto& e) { return rank(store.name(nameOf(e))) < 2; });
        std::sort(entries.begin(), rest, [&](const auto& a, const auto& b) {
            return rank(store.name(nameOf(a))) < rank(store.name(nameOf(b)));
        });
        return rest;
    };
    const auto itemsRest = dotsFirst(items, [](const Item& item) { return item.reference; });
    const auto shownRest = dotsFirst(shown, [](Reference reference) { return reference; });

    const auto byName = [this](Reference a, Reference b) { return listsBefore(store.name(a), store.name(b)); };
    const bool plain = options.sortKey == SortKey::Name && !options.reverseOrder && !options.directoriesFirst;
    if (plain) {
        std::sort(itemsRest, items.end(), [&](const Item& a, const Item& b) {
            return a.prefix != b.prefix && a.prefix != 0 && b.prefix != 0 ? a.prefix < b.prefix
                                                                          : byName(a.reference, b.reference);
        });
        std::sort(shownRest, shown.end(), byName);
    } else {
        if (options.sortKey == SortKey::Name || options.sortKey == SortKey::Natural) {
            // As `before`, with the prefixes tried before the names are
            // looked up: most comparisons end there.
            std::sort(itemsRest, items.end(), [this](const Item& a, const Item& b) {
                if (options.directoriesFirst && isDirectory(a.reference) != isDirectory(b.reference))
                    return isDirectory(a.reference);
                const Item& x = options.reverseOrder ? b : a;
                const Item& y = options.reverseOrder ? a : b;
                if (x.prefix != y.prefix && x.prefix != 0 && y.prefix != 0)
                    return x.prefix < y.prefix;
                return keyBefore(view(x), view(y));
            });
        } else {
            std::sort(itemsRest, items.end(),
                      [this](const Item& a, const Item& b) { return before(view(a), view(b)); });
        }
        std::sort(shownRest, shown.end(), [this](Reference a, Reference b) { return before(view(a), view(b)); });
    }
    std::sort(entered.begin(), entered.end(), byName);
}

DirectoryListing::DirectoryListing(const platform::DirectoryHandle& directory, const IndexOptions& options,
                                   bool indexFileHere, std::size_t factsAtReadLimit)
    : state_(std::make_unique<State>(directory, options, factsAtReadLimit))
{
    state_->read();
    state_->sort();
    if (indexFileHere && !state_->anyMatched)
        state_->anyMatched = matchesAny(translate(selectingMasks(options)), options.outputName);
}

DirectoryListing::~DirectoryListing() = default;

bool DirectoryListing::anyMatched() const
{
    return state_->anyMatched;
}

const std::string& DirectoryListing::readError() const
{
    return state_->readError;
}

bool DirectoryListing::next(platform::DirectoryEntry& entry)
{
    State& s = *state_;
    if (s.factsKept) {
        if (s.next == s.items.size())
            return false;
        const Item& item = s.items[s.next++];
        entry.name.assign(s.store.name(item.reference));
        entry.isDirectory = isDirectory(item.reference);
        entry.isLink = false;
        entry.size = item.bytes();
        entry.lastWriteTime = item.seconds();
        if (item.atBound())
            platform::readEntryFacts(*s.directory, entry);
        return true;
    }
    const bool facts = needsFacts(s.options);
    while (s.next < s.shown.size()) {
        const Reference reference = s.shown[s.next++];
        entry.name.assign(s.store.name(reference));
        entry.isDirectory = isDirectory(reference);
        entry.isLink = false;
        entry.size = 0;
        entry.lastWriteTime = 0;
        if (facts && !platform::readEntryFacts(*s.directory, entry))
            continue;  // Gone since the directory was read.
        entry.isLink = false;
        return true;
    }
    return false;
}

const FolderTotal& DirectoryListing::ownFiles() const
{
    return state_->ownFiles;
}

void DirectoryListing::rebind(const platform::DirectoryHandle& directory)
{
    state_->directory = &directory;
}

void DirectoryListing::orderByFolderTotals(const FolderTotals& totals)
{
    State& s = *state_;
    if (!s.options.folderTotals || s.options.sortKey != SortKey::Size || !s.factsKept)
        return;
    for (Item& item : s.items) {
        if (!isDirectory(item.reference))
            continue;
        const auto found = totals.find(s.store.name(item.reference));
        item = Item(item.reference, item.prefix, found == totals.end() ? 0 : found->second.bytes, item.seconds());
    }
    s.directorySizes = true;
    s.sort();
}

bool DirectoryListing::outputNamePresent() const
{
    return state_->outputNamePresent;
}

const std::vector<std::string>& DirectoryListing::temporaryNames() const
{
    return state_->temporaryNames;
}

std::vector<std::string> DirectoryListing::subdirectories()
{
    std::vector<std::string> names;
    names.reserve(state_->entered.size());
    for (const Reference reference : state_->entered)
        names.emplace_back(state_->store.name(reference));
    return names;
}

}  // namespace quilldex
