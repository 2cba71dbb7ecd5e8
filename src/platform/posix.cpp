// The operating-system layer on POSIX systems (Linux). Every operation on a
// tree goes through a descriptor: a directory is opened through its
// parent's descriptor without following links, and files are opened,
// created, renamed and removed relative to their directory's descriptor,
// so that no name can be redirected between two calls.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/syscall.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/openat2.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>
#include <utility>
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

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
// A file is read without blocking (a FIFO put in its place) and without
// becoming the controlling terminal.
constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

detail::DirectoryTime timeOf(const struct stat& status)
{
    return {true, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

mode_t newFileMode()
{
    // Read once: umask() sets as it reads, which threads must not race.
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

}  // namespace

// ---------------------------------------------------------------------------
// Directory handles

struct DirectoryHandle::State {
    FileDescriptor fd;
    struct stat status {};
    DirectoryIdentity identity;
    // The resolved path of a directory opened by path (the top of a run),
    // so that a link written as an absolute path can be followed inside it.
    std::string realPath;
    // A reader has moved the descriptor's position.
    bool read = false;

    explicit State(int descriptor) : fd(descriptor) {}
};

DirectoryHandle::DirectoryHandle() = default;
DirectoryHandle::~DirectoryHandle() = default;
DirectoryHandle::DirectoryHandle(DirectoryHandle&&) noexcept = default;
DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&&) noexcept = default;

namespace {

// Takes over `fd` if it is a directory, with its status.
DirectoryHandle adopt(int fd, std::unique_ptr<DirectoryHandle::State>& state)
{
    DirectoryHandle handle;
    if (fd < 0)
        return handle;
    state = std::make_unique<DirectoryHandle::State>(fd);
    if (::fstat(fd, &state->status) != 0) {
        state.reset();
        return handle;
    }
    if (!S_ISDIR(state->status.st_mode)) {
        state.reset();
        errno = ENOTDIR;
        return handle;
    }
    state->identity = {static_cast<std::uint64_t>(state->status.st_dev),
                       static_cast<std::uint64_t>(state->status.st_ino), 0};
    return handle;
}

}  // namespace

// Sets a handle's state, which only the platform layer defines.
struct HandleAccess {
    static DirectoryHandle make(int fd)
    {
        std::unique_ptr<DirectoryHandle::State> state;
        DirectoryHandle handle = adopt(fd, state);
        if (state)
            handle.state_ = std::move(state);
        return handle;
    }
};

DirectoryHandle DirectoryHandle::open(const std::string& path)
{
    DirectoryHandle handle = HandleAccess::make(::open(path.c_str(), kDirectoryFlags));
    if (handle.valid()) {
        // Where the directory opened stands, asked of its descriptor, not of
        // the path, which may lead elsewhere by now.
        char link[64];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", handle.state_->fd.get());
        char resolved[4096];
        const ssize_t length = ::readlink(link, resolved, sizeof resolved);
        if (length > 0 && static_cast<std::size_t>(length) < sizeof resolved && resolved[0] == '/')
            handle.state_->realPath.assign(resolved, static_cast<std::size_t>(length));
    }
    return handle;
}

bool DirectoryHandle::valid() const
{
    return state_ != nullptr;
}

DirectoryHandle DirectoryHandle::openSubdirectory(std::string_view name) const
{
    const std::string text(name);
    // O_NOFOLLOW makes the open fail if a symbolic link stands there now,
    // even one put there after the directory was listed.
    const int fd = ::openat(state_->fd.get(), text.c_str(), kDirectoryFlags | O_NOFOLLOW);
    if (fd < 0 && errno == ELOOP)
        errno = ENOTDIR;  // not a loop: a link where the directory was
    return HandleAccess::make(fd);
}

DirectoryHandle DirectoryHandle::openParent() const
{
    return HandleAccess::make(::openat(state_->fd.get(), "..", kDirectoryFlags));
}

bool DirectoryHandle::onNetworkFileSystem() const
{
    // The magic numbers of statfs(2) for NFS, SMB and CIFS (both kinds),
    // FUSE, Ceph, 9P, AFS and Coda.
    constexpr unsigned long kNetwork[] = {0x6969,     0x517B,     0xFF534D42, 0xFE534D42, 0x65735546,
                                          0x00C36400, 0x01021997, 0x5346414F, 0x73757245};
    struct statfs status;
    if (::fstatfs(state_->fd.get(), &status) != 0)
        return false;
    const auto type = static_cast<unsigned long>(status.f_type);
    return std::find(std::begin(kNetwork), std::end(kNetwork), type) != std::end(kNetwork);
}

bool DirectoryHandle::liesIn(const DirectoryIdentity& parent) const
{
    struct stat status;
    return ::fstatat(state_->fd.get(), "..", &status, 0) == 0 &&
           static_cast<std::uint64_t>(status.st_dev) == parent.device &&
           static_cast<std::uint64_t>(status.st_ino) == parent.inode;
}

const DirectoryIdentity& DirectoryHandle::identity() const
{
    return state_->identity;
}

DirectoryIdentity DirectoryHandle::identityWithMount() const
{
    DirectoryIdentity identity = state_->identity;
#ifdef STATX_MNT_ID
    struct statx status;
    if (::statx(state_->fd.get(), "", AT_EMPTY_PATH, STATX_MNT_ID, &status) == 0 &&
        (status.stx_mask & STATX_MNT_ID) != 0)
        identity.mount = status.stx_mnt_id;
#endif
    return identity;
}

detail::DirectoryTime DirectoryHandle::modificationTime() const
{
    struct stat status;
    if (::fstat(state_->fd.get(), &status) != 0)
        return {};
    return timeOf(status);
}

bool DirectoryHandle::setModificationTime(const detail::DirectoryTime& time) const
{
    if (!time.known)
        return false;
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(time.seconds), static_cast<long>(time.fraction)}};
    return ::futimens(state_->fd.get(), times) == 0;
}

std::size_t DirectoryHandle::countHint() const
{
    // A directory entry takes at least 12 bytes of the directory's size on
    // these file systems (ext4: 8 bytes and a name padded to 4).
    constexpr off_t kSmallestEntry = 12;
    return state_->status.st_size > 0 ? static_cast<std::size_t>(state_->status.st_size / kSmallestEntry) : 0;
}

std::string DirectoryHandle::unwritableReason() const
{
    if (::faccessat(state_->fd.get(), ".", W_OK | X_OK, AT_EACCESS) == 0)
        return {};
    return lastErrorText();
}

bool DirectoryHandle::removeStaleFile(std::string_view name, std::int64_t before) const
{
    const std::string text(name);
    struct stat status;
    if (::fstatat(state_->fd.get(), text.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode) ||
        status.st_mtim.tv_sec >= before)
        return false;
    return ::unlinkat(state_->fd.get(), text.c_str(), 0) == 0;
}

namespace {

int descriptorOf(const DirectoryHandle& handle)
{
    return handle.state()->fd.get();
}

}  // namespace

// ---------------------------------------------------------------------------
// Directory reader

namespace {

// One record of getdents64, which the C library does not declare.
struct LinuxDirent64 {
    std::uint64_t d_ino;
    std::int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

}  // namespace

struct DirectoryReader::State {
    int fd = -1;
    // Large enough that most directories are read in one call, plus the
    // one that finds the end.
    std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
    std::size_t used = 0;
    std::size_t at = 0;
    bool ended = false;
    std::string error;

    static constexpr std::size_t kBufferSize = 32 * 1024;
};

DirectoryReader::DirectoryReader(const DirectoryHandle& directory) : state_(std::make_unique<State>())
{
    DirectoryHandle::State& handle = *directory.state();
    state_->fd = handle.fd.get();
    // A second read of the same handle starts from the beginning again.
    if (handle.read)
        ::lseek(state_->fd, 0, SEEK_SET);
    handle.read = true;
}

const std::string& DirectoryReader::error() const
{
    return state_->error;
}

DirectoryReader::~DirectoryReader() = default;

bool DirectoryReader::next(DirectoryName& found)
{
    State& s = *state_;
    if (s.at == s.used) {
        if (s.ended)
            return false;
        long n = -1;
        if (injectedFaultAt(FaultPoint::ReadDirectory)) {
            errno = EIO;
        } else {
            do
                n = ::syscall(SYS_getdents64, s.fd, s.buffer.get(), State::kBufferSize);
            while (n < 0 && errno == EINTR);
        }
        if (n <= 0) {
            s.ended = true;
            if (n < 0)
                s.error = lastErrorText();
            return false;
        }
        s.used = static_cast<std::size_t>(n);
        s.at = 0;
    }
    const auto* entry = reinterpret_cast<const LinuxDirent64*>(s.buffer.get() + s.at);
    s.at += entry->d_reclen;
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

bool readEntryFacts(const DirectoryHandle& directory, DirectoryEntry& entry)
{
    const int fd = descriptorOf(directory);
    const char* name = entry.name.c_str();
    struct stat status;
    if (::fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    entry.isLink = S_ISLNK(status.st_mode);
    if (entry.isLink) {
        // A link shows what it leads to; a broken one shows itself. What
        // it leads to may be a directory another job is writing into.
        const auto settled = detail::settledDirectoryTimes();
        struct stat target;
        if (::fstatat(fd, name, &target, 0) == 0)
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
// Files

namespace {

// Opens what `path`, relative to `directory`, leads to, resolving every
// link on the way inside `directory` only (the kernel refuses a step out
// of it); O_PATH, so that nothing is opened for reading yet. -1 where the
// system cannot resolve beneath a directory.
int openBeneath(int directory, const std::string& path)
{
#if defined(__linux__) && defined(SYS_openat2)
    open_how how{};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    long fd;
    do
        fd = ::syscall(SYS_openat2, directory, path.c_str(), &how, sizeof how);
    while (fd < 0 && errno == EAGAIN);
    return static_cast<int>(fd);
#else
    (void)directory;
    (void)path;
    errno = ENOSYS;
    return -1;
#endif
}

// The path from the top of the run to what the link `name` of `directory`
// leads to, or nothing when it leads out of the top (an absolute target
// outside the top's own path).
std::optional<std::string> linkPathFromTop(int directory, const std::string& name, const LinkBoundary& boundary)
{
    char target[4096];
    const ssize_t length = ::readlinkat(directory, name.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) == sizeof target)
        return std::nullopt;
    const std::string_view text(target, static_cast<std::size_t>(length));
    if (text.front() != '/')
        return std::string(boundary.pathFromTop) + std::string(text);
    const std::string& top = boundary.top->state()->realPath;
    if (top.empty() || !text.starts_with(top) || text.size() <= top.size() + 1 || text[top.size()] != '/')
        return std::nullopt;
    return std::string(text.substr(top.size() + 1));
}

std::size_t readStart(int fd, const struct stat& status, char* buffer, std::size_t capacity)
{
    // A file known to be shorter than the buffer is read in one call, not
    // one more to meet its end. Some system files report a size of 0 and
    // still have content, so that size sets no limit.
    const std::size_t wanted = status.st_size > 0 && static_cast<std::size_t>(status.st_size) < capacity
                                   ? static_cast<std::size_t>(status.st_size)
                                   : capacity;
    std::size_t total = 0;
    while (total < wanted) {
        const ssize_t n = ::read(fd, buffer + total, wanted - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

}  // namespace

std::size_t readFileStart(const DirectoryHandle& directory, const std::string& name, char* buffer, std::size_t capacity,
                          const LinkBoundary& boundary)
{
    const int fd = descriptorOf(directory);
    // The entry's own status is taken before anything is opened, so that no
    // device, FIFO or terminal is ever opened.
    struct stat own;
    if (::fstatat(fd, name.c_str(), &own, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    if (S_ISREG(own.st_mode)) {
        const FileDescriptor file(::openat(fd, name.c_str(), kReadFlags | O_NOFOLLOW));
        struct stat status;
        if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
            status.st_dev != own.st_dev || status.st_ino != own.st_ino)
            return 0;
        return readStart(file.get(), status, buffer, capacity);
    }
    if (!S_ISLNK(own.st_mode) || boundary.top == nullptr)
        return 0;
    // A link is resolved by the kernel from the top of the run, each step
    // inside it; what it leads to is checked to be a regular file through
    // that handle, and only then opened for reading, and checked to be the
    // same file.
    const auto path = linkPathFromTop(fd, name, boundary);
    if (!path)
        return 0;
    const int top = descriptorOf(*boundary.top);
    const FileDescriptor found(openBeneath(top, *path));
    struct stat status;
    if (found.get() < 0 || ::fstat(found.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return 0;
    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", found.get());
    const FileDescriptor file(::open(procPath, kReadFlags));
    struct stat opened;
    if (file.get() < 0 || ::fstat(file.get(), &opened) != 0 || opened.st_dev != status.st_dev ||
        opened.st_ino != status.st_ino)
        return 0;
    return readStart(file.get(), opened, buffer, capacity);
}

SmallFile readSmallFile(const DirectoryHandle* directory, const std::string& name, std::size_t maxBytes,
                        FollowLinks follow)
{
    const int at = directory != nullptr ? descriptorOf(*directory) : AT_FDCWD;
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
    if (::fstatat(at, name.c_str(), &own, statFlags) != 0)
        return fail(errno == ENOENT || errno == ENOTDIR ? SmallFile::Status::Missing : SmallFile::Status::Failed);
    if (!S_ISREG(own.st_mode))
        return fail(SmallFile::Status::NotRegular);
    if (static_cast<std::uint64_t>(own.st_size) > maxBytes)
        return fail(SmallFile::Status::TooLarge);
    const int openFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (follow == FollowLinks::No ? O_NOFOLLOW : 0);
    const FileDescriptor fd(::openat(at, name.c_str(), openFlags));
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

const std::string_view kPathSeparators = "/";

// ---------------------------------------------------------------------------
// Temporary files and interrupts
//
// The interrupts are not handled in a signal handler: a program blocks them
// in every thread at its start, and one thread of its own waits for them.
// That thread takes the same lock as the streams that create and remove
// temporary files, removes the files still recorded, sets their
// directories' times back, and then ends the process by the same signal.
// So no stream ever blocks a signal per file, and the cleanup runs as
// ordinary code.

namespace {

struct TemporaryRecord {
    int directory = -1;
    std::string name;
    detail::DirectoryTime before;
    detail::DirectoryTime afterCreate;
};

std::mutex& recordsLock()
{
    static std::mutex lock;
    return lock;
}

// Records by directory descriptor: a stream has one temporary file at a
// time, and each stream writes into a directory of its own.
std::vector<TemporaryRecord>& records()
{
    static std::vector<TemporaryRecord> all;
    return all;
}

void cleanUpAfterInterrupt()
{
    const std::lock_guard guard(recordsLock());
    for (const TemporaryRecord& record : records()) {
        // Set back only where nothing but this run changed the directory
        // since it made its file.
        struct stat now;
        const bool restore =
            record.before.known && ::fstat(record.directory, &now) == 0 && timeOf(now) == record.afterCreate;
        if (!record.name.empty())
            ::unlinkat(record.directory, record.name.c_str(), 0);
        if (restore) {
            const timespec times[2] = {
                {0, UTIME_OMIT},
                {static_cast<time_t>(record.before.seconds), static_cast<long>(record.before.fraction)}};
            ::futimens(record.directory, times);
        }
    }
    records().clear();
}

sigset_t interruptSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void waitForInterrupts()
{
    const sigset_t set = interruptSignals();
    int signalNumber = 0;
    while (::sigwait(&set, &signalNumber) != 0) {
    }
    cleanUpAfterInterrupt();
    // Ends the process as the signal would have: its default action, now
    // unblocked in this thread alone.
    ::signal(signalNumber, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signalNumber);
    ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(signalNumber);
    std::_Exit(128 + signalNumber);
}

std::atomic<unsigned> temporaryCounter{0};

}  // namespace

void removeTemporaryFilesOnInterrupt()
{
    const sigset_t set = interruptSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(waitForInterrupts).detach();
}

namespace detail {

bool SystemFile::writeAll(const char* bytes, std::size_t count) const
{
    const int fd = static_cast<int>(handle_);
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::size_t> SystemFile::readAt(char* buffer, std::size_t count, std::uint64_t offset) const
{
    std::size_t total = 0;
    while (total < count) {
        const ssize_t n =
            ::pread(static_cast<int>(handle_), buffer + total, count - total, static_cast<off_t>(offset + total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

std::optional<std::uint64_t> SystemFile::size() const
{
    struct stat status;
    if (::fstat(static_cast<int>(handle_), &status) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0));
}

bool SystemFile::close()
{
    if (!valid())
        return true;
    const int fd = static_cast<int>(std::exchange(handle_, kInvalid));
    return !owned_ || ::close(fd) == 0;
}

SystemFile openExisting(const DirectoryHandle& directory, const std::string& name, TargetKind& kind)
{
    FileDescriptor fd(::openat(descriptorOf(directory), name.c_str(), kReadFlags | O_NOFOLLOW));
    if (fd.get() < 0) {
        kind = errno == ENOENT ? TargetKind::Absent : errno == EACCES ? TargetKind::Unreadable : TargetKind::Other;
        return {};
    }
    struct stat status;
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        kind = S_ISDIR(status.st_mode) ? TargetKind::Directory : TargetKind::Other;
        return {};
    }
    kind = TargetKind::Regular;
    return SystemFile(fd.release());
}

SystemFile createTemporary(const DirectoryHandle& directory, const DirectoryTime& before, DirectoryTime& afterCreate,
                           std::string& name, std::string& error)
{
    const int fd = descriptorOf(directory);
    // Where something stands at a name already (planted, or a file of a
    // run killed before), another name is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        static const pid_t process = ::getpid();
        name = std::string(kTemporaryNamePrefix) + std::to_string(process) + "-" + std::to_string(++temporaryCounter) +
               "-" + std::to_string(now.tv_nsec % 1000000);
        // Made under the records' lock, so that an interrupt either finds
        // the file recorded or finds no file.
        const std::lock_guard guard(recordsLock());
        const int file = ::openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file >= 0) {
            struct stat status;
            afterCreate = ::fstat(fd, &status) == 0 ? timeOf(status) : DirectoryTime{};
            records().push_back({fd, name, before, afterCreate});
            return SystemFile(file);
        }
        if (errno != EEXIST)
            break;
    }
    error = lastErrorText();
    name.clear();
    return {};
}

void settleTemporary(const SystemFile& temporary, const SystemFile* replaced)
{
    const int fd = static_cast<int>(temporary.get());
    if (replaced == nullptr) {
        ::fchmod(fd, newFileMode());
        return;
    }
    struct stat old;
    if (::fstat(static_cast<int>(replaced->get()), &old) != 0)
        return;
    // Owner first: changing it may clear permission bits that the mode then
    // sets again. Set-user-ID, set-group-ID and sticky bits are not carried
    // over: an index is no program, and a file owned by another user must
    // not come out of this with them.
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    ::fchmod(fd, old.st_mode & 0777);
}

RenameResult renameTemporary(const DirectoryHandle& directory, const std::string& temporaryName,
                             const std::string& name, bool replace, std::string& error)
{
    const int fd = descriptorOf(directory);
    if (replace) {
        if (::renameat(fd, temporaryName.c_str(), fd, name.c_str()) == 0)
            return RenameResult::Done;
        error = lastErrorText();
        return RenameResult::Failed;
    }
    if (::renameat2(fd, temporaryName.c_str(), fd, name.c_str(), RENAME_NOREPLACE) == 0)
        return RenameResult::Done;
    if (errno == EEXIST)
        return RenameResult::Taken;
    if (errno != EINVAL && errno != ENOSYS) {
        error = lastErrorText();
        return RenameResult::Failed;
    }
    // A file system without the no-replace rename: a second link made
    // exclusively, then the temporary name removed.
    if (::linkat(fd, temporaryName.c_str(), fd, name.c_str(), 0) == 0) {
        ::unlinkat(fd, temporaryName.c_str(), 0);
        return RenameResult::Done;
    }
    if (errno == EEXIST)
        return RenameResult::Taken;
    error = lastErrorText();
    return RenameResult::Failed;
}

void removeTemporary(const DirectoryHandle& directory, const std::string& temporaryName)
{
    ::unlinkat(descriptorOf(directory), temporaryName.c_str(), 0);
    const std::lock_guard guard(recordsLock());
    for (TemporaryRecord& record : records())
        if (record.directory == descriptorOf(directory))
            record.name.clear();
}

void forgetTemporary(const DirectoryHandle& directory)
{
    const std::lock_guard guard(recordsLock());
    auto& all = records();
    std::erase_if(all, [&](const TemporaryRecord& record) { return record.directory == descriptorOf(directory); });
}

namespace {

// A path's directory part ("." where it has none) and its last part.
std::pair<std::string, std::string> splitPath(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

PathTarget resolveOutputPath(const std::string& path)
{
    PathTarget target;
    target.path = path;
    const auto fail = [&](int error) {
        target.kind = PathTarget::Kind::Refuse;
        target.error = "open(" + path + "): " + std::strerror(error);
        return std::move(target);
    };
    auto [directoryPath, name] = splitPath(path);
    DirectoryHandle directory = DirectoryHandle::open(directoryPath);
    if (!directory.valid())
        return fail(errno);
    // A link at the name has the file it leads to replaced and stays a
    // link. Its target is followed from the handle of the directory it
    // stands in, one link at a time, never by a path string taken again.
    target.kind = PathTarget::Kind::InDirectory;
    for (int links = 0;; ++links) {
        struct stat status;
        if (::fstatat(descriptorOf(directory), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                return fail(errno);
            break;  // a free name: the file is made there
        }
        if (S_ISDIR(status.st_mode))
            return fail(EISDIR);
        if (!S_ISLNK(status.st_mode)) {
            if (!S_ISREG(status.st_mode))
                target.kind = PathTarget::Kind::Stream;
            break;
        }
        char text[4096];
        const ssize_t length = ::readlinkat(descriptorOf(directory), name.c_str(), text, sizeof text);
        if (links == 40 || length <= 0 || static_cast<std::size_t>(length) == sizeof text)
            return fail(links == 40 ? ELOOP : errno);
        const auto [linkDirectory, linkName] = splitPath(std::string(text, static_cast<std::size_t>(length)));
        DirectoryHandle next =
            HandleAccess::make(::openat(descriptorOf(directory), linkDirectory.c_str(), kDirectoryFlags));
        if (!next.valid())
            return fail(errno);
        directory = std::move(next);
        name = linkName;
    }
    target.directory = std::move(directory);
    target.name = std::move(name);
    return target;
}

SystemFile openStreamed(const PathTarget& target, std::string& error)
{
    const int fd = ::openat(descriptorOf(target.directory), target.name.c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        error = "open(" + target.path + "): " + lastErrorText();
    return SystemFile(fd);
}

SystemFile standardOutputFile()
{
    return SystemFile(STDOUT_FILENO, false);
}

}  // namespace detail

// ---------------------------------------------------------------------------
// Current directory (front ends only)

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

std::size_t descriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1024;
    return static_cast<std::size_t>(limit.rlim_cur);
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
