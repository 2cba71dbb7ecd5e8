// The operating-system layer on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/file_replacement.h"
#include "platform/platform.h"

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

// The mount id of what `path` names relative to `directory` (with
// AT_EMPTY_PATH, the descriptor itself), or 0 where the system cannot tell.
std::uint64_t mountIdOf(int directory, const char* path)
{
#ifdef STATX_MNT_ID
    struct statx status;
    const int flags = (*path == '\0' ? AT_EMPTY_PATH : 0) | AT_SYMLINK_NOFOLLOW;
    if (::statx(directory, path, flags, STATX_MNT_ID, &status) == 0 && (status.stx_mask & STATX_MNT_ID) != 0)
        return status.stx_mnt_id;
#else
    (void)directory;
    (void)path;
#endif
    return 0;
}

std::optional<DirectoryIdentity> identityOf(const struct stat& status, std::uint64_t mount)
{
    return DirectoryIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
                             mount};
}

}  // namespace

// ---------------------------------------------------------------------------
// Directory reader

struct DirectoryReader::State {
    DIR* directory = nullptr;
    std::string error;
};

DirectoryReader::DirectoryReader() : state_(std::make_unique<State>())
{
    state_->directory = ::opendir(".");
    if (state_->directory == nullptr)
        state_->error = lastErrorText();
}

const std::string& DirectoryReader::error() const
{
    return state_->error;
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
    // readdir returns NULL at the end too; only errno tells a failure.
    errno = 0;
    const dirent* entry = injectedFaultAt(FaultPoint::ReadDirectory) ? nullptr : ::readdir(state_->directory);
    if (entry == nullptr) {
        if (errno != 0)
            state_->error = lastErrorText();
        return false;
    }
    found.name = entry->d_name;
    found.hidden = entry->d_name[0] == '.';
    switch (entry->d_type) {
    case DT_DIR:
        found.kind = NameKind::Directory;
        break;
    case DT_LNK:
        found.kind = NameKind::Link;
        break;
    case DT_UNKNOWN:
        found.kind = NameKind::Unknown;
        break;
    default:
        found.kind = NameKind::File;
        break;
    }
    return true;
}

std::size_t DirectoryReader::countHint() const
{
    // A directory entry takes at least 12 bytes of the directory's size on
    // these file systems (ext4: 8 bytes and a name padded to 4).
    constexpr off_t kSmallestEntry = 12;
    struct stat status;
    if (state_->directory == nullptr || ::fstat(::dirfd(state_->directory), &status) != 0 || status.st_size <= 0)
        return 0;
    return static_cast<std::size_t>(status.st_size / kSmallestEntry);
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
    // Far outside the shown range the year would not fit the conversion's
    // int.
    constexpr UtcSeconds kEarliest = -11644473600;  // 1601-01-01 00:00:00 UTC
    if (time < kEarliest)
        return kFirstShownTime;
    if (time > kLatestShownTime)
        return kLastShownTime;
    const std::time_t seconds = static_cast<std::time_t>(time);
    std::tm fields{};
    if (::localtime_r(&seconds, &fields) == nullptr)
        return LocalTime{1970, 1, 1, 0, 0, 0};
    if (fields.tm_year + 1900 < kFirstShownTime.year)
        return kFirstShownTime;
    if (fields.tm_year + 1900 > kLastShownTime.year)
        return kLastShownTime;
    return LocalTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                     fields.tm_hour,        fields.tm_min,     fields.tm_sec};
}

std::int32_t utcOffsetAt(UtcSeconds time)
{
    constexpr UtcSeconds kEarliest = -11644473600;  // 1601-01-01 00:00:00 UTC
    const std::time_t seconds = static_cast<std::time_t>(std::clamp(time, kEarliest, kLatestShownTime));
    std::tm fields{};
    if (::localtime_r(&seconds, &fields) == nullptr)
        return 0;
    return static_cast<std::int32_t>(fields.tm_gmtoff);
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
    return identityOf(status, mountIdOf(AT_FDCWD, "."));
}

std::optional<DirectoryIdentity> enterSubdirectory(const std::string& name)
{
    // O_NOFOLLOW makes the open fail if a symbolic link stands there now,
    // even one put there after the directory was listed.
    const FileDescriptor fd(::open(name.c_str(), kDirectoryHandleFlags | O_NOFOLLOW));
    if (fd.get() < 0) {
        // A link found where the directory was fails with ELOOP, which
        // would tell the user of a loop there is none.
        if (errno == ELOOP)
            errno = ENOTDIR;
        return std::nullopt;
    }
    struct stat status;
    if (::fstat(fd.get(), &status) != 0)
        return std::nullopt;
    if (!S_ISDIR(status.st_mode)) {
        errno = ENOTDIR;
        return std::nullopt;
    }
    if (::fchdir(fd.get()) != 0)
        return std::nullopt;
    return identityOf(status, mountIdOf(fd.get(), ""));
}

std::string currentDirectoryUnreadable()
{
    DIR* directory = ::opendir(".");
    if (directory == nullptr)
        return lastErrorText();
    // Some systems open a directory without read permission and fail only
    // when it is read.
    errno = 0;
    const bool read = ::readdir(directory) != nullptr || errno == 0;
    const std::string reason = read ? std::string() : lastErrorText();
    ::closedir(directory);
    return reason;
}

std::optional<DirectoryIdentity> directoryIdentity(const std::string& path)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return std::nullopt;
    return identityOf(status, mountIdOf(AT_FDCWD, path.c_str()));
}

const std::string_view kPathSeparators = "/";

// ---------------------------------------------------------------------------
// Files

namespace {

// Whether the canonical path `path` lies inside the directory `top`.
bool liesInside(std::string_view path, std::string_view top)
{
    if (top == "/")
        return path.size() > 1 && path.front() == '/';
    return path.size() > top.size() && path.substr(0, top.size()) == top && path[top.size()] == '/';
}

}  // namespace

std::size_t readFileStart(const std::string& name, char* buffer, std::size_t capacity, const std::string& top)
{
    // The entry's own status is taken before anything is opened, so that no
    // device, FIFO or terminal is ever opened, and a link is followed only
    // where it stays inside the top of the run.
    struct stat own;
    if (::lstat(name.c_str(), &own) != 0)
        return 0;
    std::string path = name;
    if (S_ISLNK(own.st_mode)) {
        char* resolved = ::realpath(name.c_str(), nullptr);
        if (resolved == nullptr)
            return 0;
        path = resolved;
        std::free(resolved);
        std::string boundary = top;
        if (boundary.empty()) {
            char* current = ::realpath(".", nullptr);
            if (current == nullptr)
                return 0;
            boundary = current;
            std::free(current);
        }
        if (!liesInside(path, boundary) || ::stat(path.c_str(), &own) != 0)
            return 0;
    }
    if (!S_ISREG(own.st_mode))
        return 0;
    // O_NONBLOCK and O_NOCTTY in case something else was put in its place;
    // the check below then refuses it before a byte is read.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0)
        return 0;
    struct stat status;
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_dev != own.st_dev ||
        status.st_ino != own.st_ino)
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

std::optional<std::size_t> readFileEnd(const std::string& name, char* buffer, std::size_t capacity)
{
    const FileDescriptor fd(::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status;
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    const auto size = static_cast<std::size_t>(std::max<off_t>(status.st_size, 0));
    const std::size_t wanted = std::min(size, capacity);
    const ssize_t n = ::pread(fd.get(), buffer, wanted, static_cast<off_t>(size - wanted));
    return n > 0 ? static_cast<std::size_t>(n) : std::size_t{0};
}

SmallFile readSmallFile(const std::string& name, std::size_t maxBytes, FollowLinks follow)
{
    SmallFile file;
    const auto fail = [&file](SmallFile::Status status) {
        file.status = status;
        if (status == SmallFile::Status::Failed)
            file.error = lastErrorText();
        return std::move(file);
    };
    // The entry's own status first, so that no device or FIFO is opened.
    struct stat own;
    const int statFlags = follow == FollowLinks::No ? AT_SYMLINK_NOFOLLOW : 0;
    if (::fstatat(AT_FDCWD, name.c_str(), &own, statFlags) != 0)
        return fail(errno == ENOENT || errno == ENOTDIR ? SmallFile::Status::Missing : SmallFile::Status::Failed);
    if (!S_ISREG(own.st_mode))
        return fail(SmallFile::Status::NotRegular);
    if (static_cast<std::uint64_t>(own.st_size) > maxBytes)
        return fail(SmallFile::Status::TooLarge);
    const int openFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (follow == FollowLinks::No ? O_NOFOLLOW : 0);
    const FileDescriptor fd(::open(name.c_str(), openFlags));
    if (fd.get() < 0)
        return fail(errno == ELOOP ? SmallFile::Status::NotRegular : SmallFile::Status::Failed);
    // Something else may have been put in its place since.
    struct stat status;
    if (::fstat(fd.get(), &status) != 0)
        return fail(SmallFile::Status::Failed);
    if (!S_ISREG(status.st_mode) || status.st_dev != own.st_dev || status.st_ino != own.st_ino)
        return fail(SmallFile::Status::NotRegular);
    // One byte more than allowed tells a file that grew past the limit.
    file.bytes.resize(maxBytes + 1);
    std::size_t total = 0;
    while (total < file.bytes.size()) {
        const ssize_t n = ::read(fd.get(), file.bytes.data() + total, file.bytes.size() - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(SmallFile::Status::Failed);
        if (n == 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    if (total > maxBytes)
        return fail(SmallFile::Status::TooLarge);
    file.bytes.resize(total);
    file.status = SmallFile::Status::Read;
    return file;
}

// ---------------------------------------------------------------------------
// Output files

namespace {

// The temporary file being written, for the interrupt handler: a path in a
// fixed buffer, since a handler may not allocate.
char temporaryForInterrupt[4096];
volatile sig_atomic_t temporaryForInterruptSet = 0;

// Blocks the interrupts for as long as it lives, so that a temporary file
// and its record for the handler come and go together.
class InterruptsBlocked {
public:
    InterruptsBlocked()
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        ::sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~InterruptsBlocked() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }
    InterruptsBlocked(const InterruptsBlocked&) = delete;
    InterruptsBlocked& operator=(const InterruptsBlocked&) = delete;

private:
    sigset_t old_;
};

void onInterrupt(int signalNumber)
{
    if (temporaryForInterruptSet)
        ::unlink(temporaryForInterrupt);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

std::string directoryPart(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

void removeTemporaryFilesOnInterrupt()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
}

namespace detail {

OutputTarget resolveOutputTarget(const std::string& path, FollowLinks follow)
{
    OutputTarget target;
    target.path = path;
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0) {
        if (errno != ENOENT) {
            target.error = "open(" + path + "): " + lastErrorText();
            return target;
        }
    } else if (S_ISLNK(status.st_mode)) {
        if (follow == FollowLinks::No) {
            target.error = "open(" + path + "): not a regular file";
            return target;
        }
        // The file the link leads to is replaced; the link stays. A link
        // that leads nowhere yet has its file created through it.
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (resolved == nullptr) {
            target.kind = OutputTarget::Kind::Stream;
            return target;
        }
        target.path = resolved;
        std::free(resolved);
        if (::stat(target.path.c_str(), &status) != 0) {
            target.error = "open(" + path + "): " + lastErrorText();
            return target;
        }
        target.exists = true;
    } else {
        target.exists = true;
    }
    if (target.exists && !S_ISREG(status.st_mode)) {
        if (follow == FollowLinks::No || S_ISDIR(status.st_mode)) {
            target.error = "open(" + path + "): " +
                           (S_ISDIR(status.st_mode) ? std::string(std::strerror(EISDIR)) : "not a regular file");
            return target;
        }
        target.kind = OutputTarget::Kind::Stream;
        return target;
    }
    target.kind = OutputTarget::Kind::Replace;
    struct stat directory;
    if (::stat(directoryPart(target.path).c_str(), &directory) == 0) {
        target.directoryTime.known = true;
        target.directoryTime.seconds = directory.st_mtim.tv_sec;
        target.directoryTime.fraction = directory.st_mtim.tv_nsec;
    }
    return target;
}

std::FILE* openStreamed(const std::string& path, std::string& error)
{
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666));
    if (fd.get() < 0) {
        error = "open(" + path + "): " + lastErrorText();
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd.get(), "wb");
    if (file == nullptr) {
        error = "fdopen(" + path + "): " + lastErrorText();
        return nullptr;
    }
    fd.release();
    return file;
}

std::FILE* openForComparison(const std::string& path)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status;
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    std::FILE* file = ::fdopen(fd.get(), "rb");
    if (file != nullptr)
        fd.release();
    return file;
}

namespace {

// Creates `path`, which must not exist (nor a link stand there), and records
// it for the interrupt handler. Nothing, with errno set, when it cannot.
std::FILE* createExclusive(const std::string& path)
{
    const InterruptsBlocked blocked;
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return nullptr;
    std::FILE* file = ::fdopen(fd.get(), "wb");
    if (file == nullptr) {
        const int error = errno;
        ::unlink(path.c_str());
        errno = error;
        return nullptr;
    }
    fd.release();
    if (path.size() < sizeof temporaryForInterrupt) {
        std::memcpy(temporaryForInterrupt, path.c_str(), path.size() + 1);
        temporaryForInterruptSet = 1;
    }
    return file;
}

}  // namespace

std::FILE* createTemporaryBeside(const std::string& target, std::string& temporaryPath, std::string& error)
{
    // A short name of its own, so that a target name of the greatest
    // length still leaves room for it. Where something stands at a name
    // already, another name is tried.
    static unsigned counter = 0;
    const std::string prefix = directoryPart(target) + "/.quilldex-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        std::string path = prefix + std::to_string(++counter) + "-" + std::to_string(now.tv_nsec % 1000000);
        if (std::FILE* file = createExclusive(path)) {
            temporaryPath = std::move(path);
            return file;
        }
        if (errno != EEXIST)
            break;
    }
    error = lastErrorText();
    return nullptr;
}

std::FILE* createNew(const std::string& path, std::string& createdPath)
{
    std::FILE* file = createExclusive(path);
    if (file != nullptr)
        createdPath = path;
    return file;
}

void keepCreated()
{
    temporaryForInterruptSet = 0;
}

bool renameOver(const std::string& temporaryPath, const std::string& target, std::string& error)
{
    struct stat old;
    if (::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // Owner first: changing it may clear the set-user-ID bits that the
        // mode then sets again.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            if (::chown(temporaryPath.c_str(), old.st_uid, old.st_gid) != 0)
                ::chown(temporaryPath.c_str(), static_cast<uid_t>(-1), old.st_gid);
        }
        static const mode_t newFileMode = 0666 & ~currentUmask();
        if ((old.st_mode & 07777) != newFileMode || old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            ::chmod(temporaryPath.c_str(), old.st_mode & 07777);
    }
    // A signal between the rename and the record's end removes a name that
    // no longer exists: harmless.
    if (injectedFaultAt(FaultPoint::Rename) || ::rename(temporaryPath.c_str(), target.c_str()) != 0) {
        error = lastErrorText();
        return false;
    }
    temporaryForInterruptSet = 0;
    return true;
}

void removeTemporary(const std::string& temporaryPath)
{
    ::unlink(temporaryPath.c_str());
    temporaryForInterruptSet = 0;
}

void restoreDirectoryTime(const std::string& target, const DirectoryTime& time)
{
    if (!time.known)
        return;
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(time.seconds), static_cast<long>(time.fraction)}};
    ::utimensat(AT_FDCWD, directoryPart(target).c_str(), times, 0);
}

}  // namespace detail

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
