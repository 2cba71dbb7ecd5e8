// The operating-system layer on POSIX systems.
//
// The directory search reads every matching name of the directory at once,
// because readdir's order is arbitrary and changes as files come and go,
// while an index must list its entries in the same order on every run. The
// names are kept in one block of memory and sorted there; the status of
// each entry is asked for only when the entry is handed out, so a listing
// never holds more than the names.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/listing_order.h"
#include "platform/platform.h"
#include "platform/wildcard.h"

namespace quilldex::platform {

namespace {

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// A descriptor that can only be used to change into the directory or to
// ask for its status, which needs no read permission where the system
// offers it.
#ifdef O_PATH
constexpr int kDirectoryHandleFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kDirectoryHandleFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// The size, as the file system reports it, from which a directory is
// measured before it is read (ext4: about 1,500 names).
constexpr off_t kMeasureDirectoriesFrom = 64 * 1024;

std::optional<DirectoryIdentity> identityOf(const struct stat& status)
{
    return DirectoryIdentity{static_cast<std::uint64_t>(status.st_dev),
                             static_cast<std::uint64_t>(status.st_ino)};
}

}  // namespace

// ---------------------------------------------------------------------------
// Directory search

struct DirectorySearch::State {
    DIR* directory = nullptr;
    EntryFacts facts = EntryFacts::Full;
    // Every matching name, each followed by a NUL, in one block.
    std::string names;
    struct Name {
        std::uint32_t offset;
        std::uint32_t length;
        unsigned char type;  // d_type
    };
    std::vector<Name> matches;
    std::size_t next = 0;

    std::string_view nameOf(const Name& n) const { return std::string_view(names).substr(n.offset, n.length); }
};

DirectorySearch::DirectorySearch(std::string_view mask, EntryFacts facts) : state_(std::make_unique<State>())
{
    state_->facts = facts;
    state_->directory = ::opendir(".");
    if (state_->directory == nullptr)
        return;
    // A large directory is read twice, the first time only to measure it,
    // so that its names are held in blocks of the right size from the
    // start: blocks grown as the names come are copied, and for that moment
    // hold the names twice. For a small one that costs more than it saves.
    struct stat status;
    if (::fstat(::dirfd(state_->directory), &status) == 0 && status.st_size > kMeasureDirectoriesFrom) {
        std::size_t count = 0;
        std::size_t bytes = 0;
        while (const dirent* found = ::readdir(state_->directory)) {
            ++count;
            bytes += std::strlen(found->d_name) + 1;
        }
        ::rewinddir(state_->directory);
        state_->names.reserve(bytes);
        state_->matches.reserve(count);
    }

    const WildcardMask wildcard(mask);
    while (const dirent* found = ::readdir(state_->directory)) {
        const std::string_view name(found->d_name);
        if (!wildcard.matches(name))
            continue;
        state_->matches.push_back(State::Name{static_cast<std::uint32_t>(state_->names.size()),
                                              static_cast<std::uint32_t>(name.size()), found->d_type});
        state_->names.append(name);
        state_->names.push_back('\0');
    }
    std::sort(state_->matches.begin(), state_->matches.end(),
              [this](const State::Name& a, const State::Name& b) {
                  return listsBefore(state_->nameOf(a), state_->nameOf(b));
              });
}

DirectorySearch::~DirectorySearch()
{
    if (state_->directory != nullptr)
        ::closedir(state_->directory);
}

bool DirectorySearch::next(DirectoryEntry& entry)
{
    State& s = *state_;
    if (s.directory == nullptr)
        return false;
    const int fd = ::dirfd(s.directory);
    while (s.next < s.matches.size()) {
        const State::Name& found = s.matches[s.next++];
        const char* name = s.names.c_str() + found.offset;
        const bool mayBeLink = found.type == DT_LNK || found.type == DT_UNKNOWN;

        entry.name.assign(name, found.length);
        entry.isLink = false;
        entry.size = 0;
        entry.lastWriteTime = 0;

        if (s.facts == EntryFacts::Kind && !mayBeLink) {
            entry.isDirectory = found.type == DT_DIR;
            return true;
        }

        struct stat status;
        if (::fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // Gone since the directory was read.
        if (S_ISLNK(status.st_mode)) {
            entry.isLink = true;
            // A link shows what it leads to; a broken one shows itself.
            struct stat target;
            if (::fstatat(fd, name, &target, 0) == 0)
                status = target;
        }
        entry.isDirectory = S_ISDIR(status.st_mode);
        entry.size = status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
        entry.lastWriteTime = static_cast<UtcSeconds>(status.st_mtime);
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Directory reader

struct DirectoryReader::State {
    DIR* directory = nullptr;
};

DirectoryReader::DirectoryReader() : state_(std::make_unique<State>())
{
    state_->directory = ::opendir(".");
}

DirectoryReader::~DirectoryReader()
{
    if (state_->directory != nullptr)
        ::closedir(state_->directory);
}

bool DirectoryReader::next(DirectoryName& found)
{
    if (state_->directory == nullptr)
        return false;
    const dirent* entry = ::readdir(state_->directory);
    if (entry == nullptr)
        return false;
    found.name = entry->d_name;
    found.hidden = entry->d_name[0] == '.';
    switch (entry->d_type) {
    case DT_DIR: found.kind = NameKind::Directory; break;
    case DT_LNK: found.kind = NameKind::Link; break;
    case DT_UNKNOWN: found.kind = NameKind::Unknown; break;
    default: found.kind = NameKind::File; break;
    }
    return true;
}

bool readEntryFacts(DirectoryEntry& entry)
{
    const char* name = entry.name.c_str();
    struct stat status;
    if (::fstatat(AT_FDCWD, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    entry.isLink = S_ISLNK(status.st_mode);
    if (entry.isLink) {
        // A link shows what it leads to; a broken one shows itself.
        struct stat target;
        if (::fstatat(AT_FDCWD, name, &target, 0) == 0)
            status = target;
    }
    entry.isDirectory = S_ISDIR(status.st_mode);
    entry.size = status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
    entry.lastWriteTime = static_cast<UtcSeconds>(status.st_mtime);
    return true;
}

// ---------------------------------------------------------------------------
// Time

LocalTime toLocalTime(UtcSeconds time)
{
    const std::time_t seconds = static_cast<std::time_t>(time);
    std::tm fields{};
    if (::localtime_r(&seconds, &fields) == nullptr)
        return LocalTime{1970, 1, 1, 0, 0, 0};
    return LocalTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                     fields.tm_hour,        fields.tm_min,     fields.tm_sec};
}

// ---------------------------------------------------------------------------
// Current directory

std::optional<std::string> currentDirectory()
{
    std::string path(256, '\0');
    for (;;) {
        if (::getcwd(path.data(), path.size()) != nullptr) {
            path.resize(std::strlen(path.c_str()));
            return path;
        }
        if (errno != ERANGE)
            return std::nullopt;
        path.resize(path.size() * 2);
    }
}

bool setCurrentDirectory(const std::string& path)
{
    return ::chdir(path.c_str()) == 0;
}

struct SavedDirectory::State {
    FileDescriptor fd{::open(".", kDirectoryHandleFlags)};
};

SavedDirectory::SavedDirectory() : state_(std::make_unique<State>()) {}

SavedDirectory::~SavedDirectory() = default;

bool SavedDirectory::valid() const
{
    return state_->fd.get() >= 0;
}

bool SavedDirectory::restore() const
{
    return valid() && ::fchdir(state_->fd.get()) == 0;
}

std::optional<DirectoryIdentity> currentDirectoryIdentity()
{
    struct stat status;
    if (::stat(".", &status) != 0)
        return std::nullopt;
    return identityOf(status);
}

std::optional<DirectoryIdentity> enterSubdirectory(const std::string& name)
{
    // O_NOFOLLOW makes the open fail if a symbolic link stands there now,
    // even one put there after the directory was listed.
    const FileDescriptor fd(::open(name.c_str(), kDirectoryHandleFlags | O_NOFOLLOW));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat status;
    if (::fstat(fd.get(), &status) != 0 || !S_ISDIR(status.st_mode))
        return std::nullopt;
    if (::fchdir(fd.get()) != 0)
        return std::nullopt;
    return identityOf(status);
}

// ---------------------------------------------------------------------------
// Files

std::size_t readFileStart(const std::string& name, char* buffer, std::size_t capacity)
{
    // O_NONBLOCK keeps the open from waiting for a writer on a FIFO, and
    // O_NOCTTY keeps a terminal from becoming ours; anything but a regular
    // file is then refused before a byte is read.
    const FileDescriptor fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return 0;
    struct stat status;
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return 0;
    // A file known to be shorter than the buffer is read in one call, not
    // one more to meet its end. Some system files report a size of 0 and
    // still have content, so that size sets no limit.
    const std::size_t wanted = status.st_size > 0 && static_cast<std::size_t>(status.st_size) < capacity
                                   ? static_cast<std::size_t>(status.st_size)
                                   : capacity;
    std::size_t total = 0;
    while (total < wanted) {
        const ssize_t n = ::read(fd.get(), buffer + total, wanted - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

bool OutputStream::open(const std::string& path, FollowLinks follow)
{
    int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    if (follow == FollowLinks::No)
        // Neither a link nor a FIFO planted where the file goes may take
        // the output elsewhere or stall the run.
        flags |= O_NOFOLLOW | O_NONBLOCK;
    FileDescriptor fd(::open(path.c_str(), flags, 0666));
    if (fd.get() < 0) {
        error_ = "open(" + path + "): " + lastErrorText();
        return false;
    }
    if (follow == FollowLinks::No) {
        struct stat status;
        if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
            error_ = "open(" + path + "): not a regular file";
            return false;
        }
        ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    }
    std::FILE* file = ::fdopen(fd.get(), "wb");
    if (file == nullptr) {
        error_ = "fdopen(" + path + "): " + lastErrorText();
        return false;
    }
    fd.release();
    attach(file, true, path);
    return true;
}

bool OutputStream::openStandardOutput()
{
    attach(stdout, false, "standard output");
    return true;
}

std::string lastErrorText()
{
    return std::strerror(errno);
}

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

bool carriesMarkedCharacters(std::string_view)
{
    return false;
}

std::string toUtf8(std::string_view text)
{
    return std::string(text);
}

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::string textEncodingName()
{
    // Names are bytes here; UTF-8 is what every current system writes.
    return "utf-8";
}

}  // namespace quilldex::platform
