// The part of the output stream that is the same on every platform: the
// buffer, the line-end translation, the error bookkeeping, and the
// comparison with and replacement of the file already there. What differs
// between systems (opening, creating, renaming, times) is behind
// file_replacement.h, in posix.cpp or win32.cpp.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/fault_injection.h"
#include "platform/file_replacement.h"
#include "platform/platform.h"

namespace quilldex::platform {

namespace {

// Large enough that a directory of thousands of entries takes a handful of
// system calls.
constexpr std::size_t kBufferSize = 64 * 1024;

}  // namespace

namespace detail {

namespace {

std::shared_mutex& directoryTimesLock()
{
    static std::shared_mutex lock;
    return lock;
}

// How many streams of this thread are changing a directory.
thread_local int changesHere = 0;

}  // namespace

DirectoryChange::DirectoryChange()
{
    if (changesHere++ == 0)
        directoryTimesLock().lock_shared();
}

DirectoryChange::~DirectoryChange()
{
    if (--changesHere == 0)
        directoryTimesLock().unlock_shared();
}

std::unique_lock<std::shared_mutex> settledDirectoryTimes()
{
    if (changesHere > 0)
        return {};
    return std::unique_lock(directoryTimesLock());
}

}  // namespace detail

namespace detail {

// The same on every system: only close() asks the system.
SystemFile::~SystemFile()
{
    close();
}

SystemFile::SystemFile(SystemFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kInvalid)), owned_(other.owned_)
{
}

SystemFile& SystemFile::operator=(SystemFile&& other) noexcept
{
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, kInvalid);
        owned_ = other.owned_;
    }
    return *this;
}

}  // namespace detail

struct OutputStream::Files {
    // The directory of a file being replaced: the caller's, or one opened
    // here for a path.
    DirectoryHandle ownDirectory;
    const DirectoryHandle* directory = nullptr;
    std::string name;
    detail::TargetKind found = detail::TargetKind::Absent;
    // The regular file there now (compared, and its owner and mode given to
    // the new one), or none.
    detail::SystemFile existing;
    std::uint64_t existingSize = 0;
    // A small existing file is read once, whole, and its recognition and
    // comparison served from here.
    std::optional<std::string> existingBytes;
    std::uint64_t readOffset = 0;

    std::optional<std::size_t> readExisting(char* buffer, std::size_t count, std::uint64_t offset) const
    {
        if (!existingBytes)
            return existing.readAt(buffer, count, offset);
        if (offset >= existingBytes->size())
            return std::size_t{0};
        const std::size_t n = std::min<std::size_t>(count, existingBytes->size() - offset);
        std::memcpy(buffer, existingBytes->data() + offset, n);
        return n;
    }
    // Written from the first byte that differs; or the stream written
    // directly.
    detail::SystemFile output;
    std::string temporaryName;
    // The directory's time before the temporary file was made, and right
    // after: equal to it again before the rename means nothing else changed
    // the directory meanwhile.
    detail::DirectoryTime before;
    detail::DirectoryTime afterCreate;
    bool restoreTime = true;
    // The name was free when opened: the rename must not replace.
    bool wasAbsent = false;
    // The file that appeared at a free name (after taken()).
    detail::SystemFile appeared;
    // Held from the temporary file's creation until the directory's time
    // is set back.
    std::optional<detail::DirectoryChange> change;
};

OutputStream::OutputStream() = default;

OutputStream::~OutputStream()
{
    if (isOpen() || taken_)
        abandon();
}

void OutputStream::startBuffer(Mode mode, std::string path)
{
    if (isOpen() || taken_)
        abandon();
    mode_ = mode;
    path_ = std::move(path);
    failed_ = false;
    error_.clear();
    used_ = 0;
    buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
    files_ = std::make_unique<Files>();
    sameBytes_ = 0;
    differs_ = false;
    changed_ = false;
    taken_ = false;
}

bool OutputStream::openIn(const DirectoryHandle& directory, const std::string& name, ExistingFile hint, Mode mode)
{
    startBuffer(mode, name);
    files_->directory = &directory;
    files_->name = name;
    if (hint != ExistingFile::Absent)
        files_->existing = detail::openExisting(directory, name, files_->found);
    if (files_->found == detail::TargetKind::Other || files_->found == detail::TargetKind::Directory) {
        error_ = "open(" + name + "): " +
                 (files_->found == detail::TargetKind::Directory ? std::strerror(EISDIR) : "not a regular file");
        mode_ = Mode::Closed;
        files_.reset();
        return false;
    }
    files_->wasAbsent = files_->found == detail::TargetKind::Absent;
    differs_ = !files_->existing.valid();
    if (files_->existing.valid()) {
        constexpr std::uint64_t kReadWhole = 256 * 1024;
        files_->existingSize = files_->existing.size().value_or(0);
        if (files_->existingSize <= kReadWhole) {
            std::string bytes(static_cast<std::size_t>(files_->existingSize), '\0');
            const auto got = files_->existing.readAt(bytes.data(), bytes.size(), 0);
            if (got && *got == bytes.size())
                files_->existingBytes = std::move(bytes);
        }
    }
    return true;
}

bool OutputStream::open(const DirectoryHandle& directory, const std::string& name, ExistingFile hint)
{
    return openIn(directory, name, hint, Mode::Replace);
}

bool OutputStream::openComparison(const DirectoryHandle& directory, const std::string& name, ExistingFile hint)
{
    return openIn(directory, name, hint, Mode::Compare);
}

bool OutputStream::openPath(const std::string& path, Mode mode)
{
    detail::PathTarget target = detail::resolveOutputPath(path);
    switch (target.kind) {
    case detail::PathTarget::Kind::Refuse:
        error_ = target.error;
        return false;
    case detail::PathTarget::Kind::Stream: {
        if (mode == Mode::Compare) {
            // Anything but a regular file differs.
            startBuffer(Mode::Compare, path);
            differs_ = true;
            return true;
        }
        std::string reason;
        detail::SystemFile file = detail::openStreamed(target, reason);
        if (!file.valid()) {
            error_ = reason;
            return false;
        }
        startBuffer(Mode::Stream, path);
        files_->output = std::move(file);
        return true;
    }
    case detail::PathTarget::Kind::InDirectory:
        break;
    }
    auto directory = std::make_unique<DirectoryHandle>(std::move(target.directory));
    // openIn() starts afresh; the directory is moved in after it.
    if (!openIn(*directory, target.name, ExistingFile::Unknown, mode))
        return false;
    files_->ownDirectory = std::move(*directory);
    files_->directory = &files_->ownDirectory;
    path_ = path;
    return true;
}

bool OutputStream::open(const std::string& path)
{
    return openPath(path, Mode::Replace);
}

bool OutputStream::openComparison(const std::string& path)
{
    return openPath(path, Mode::Compare);
}

bool OutputStream::openStandardOutput()
{
    startBuffer(Mode::Stream, "standard output");
    files_->output = detail::standardOutputFile();
    return true;
}

bool OutputStream::existingFound() const
{
    return files_ && files_->existing.valid();
}

bool OutputStream::existingUnreadable() const
{
    return files_ && files_->found == detail::TargetKind::Unreadable;
}

std::optional<std::size_t> OutputStream::readExistingStart(char* buffer, std::size_t capacity) const
{
    if (!existingFound())
        return std::nullopt;
    return files_->readExisting(buffer, capacity, 0);
}

namespace {

std::optional<std::size_t> readEnd(const detail::SystemFile& file, char* buffer, std::size_t capacity)
{
    const auto size = file.size();
    if (!size)
        return std::nullopt;
    const std::uint64_t wanted = std::min<std::uint64_t>(*size, capacity);
    return file.readAt(buffer, static_cast<std::size_t>(wanted), *size - wanted);
}

}  // namespace

std::optional<std::size_t> OutputStream::readExistingEnd(char* buffer, std::size_t capacity) const
{
    if (!existingFound())
        return std::nullopt;
    const std::uint64_t size = files_->existingSize;
    const std::uint64_t wanted = std::min<std::uint64_t>(size, capacity);
    return files_->readExisting(buffer, static_cast<std::size_t>(wanted), size - wanted);
}

std::optional<std::size_t> OutputStream::readTakenStart(char* buffer, std::size_t capacity) const
{
    if (!taken_ || !files_->appeared.valid())
        return std::nullopt;
    return files_->appeared.readAt(buffer, capacity, 0);
}

std::optional<std::size_t> OutputStream::readTakenEnd(char* buffer, std::size_t capacity) const
{
    if (!taken_ || !files_->appeared.valid())
        return std::nullopt;
    return readEnd(files_->appeared, buffer, capacity);
}

void OutputStream::fail(const char* call, std::string reason)
{
    if (!failed_) {
        failed_ = true;
        error_ = std::string(call) + "(" + path_ + "): " + reason;
    }
}

void OutputStream::fail(const char* call)
{
    fail(call, lastErrorText());
}

bool OutputStream::writeOut(const char* bytes, std::size_t count)
{
    if (injectedFaultAt(FaultPoint::Write) || !files_->output.writeAll(bytes, count)) {
        fail("write");
        return false;
    }
    return true;
}

// Whether the next `count` bytes of the existing file are these.
bool OutputStream::matchesExisting(const char* bytes, std::size_t count)
{
    char theirs[8192];
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(count - done, sizeof theirs);
        const auto got = files_->readExisting(theirs, n, files_->readOffset);
        if (!got || *got != n || std::memcmp(theirs, bytes + done, n) != 0)
            return false;
        files_->readOffset += n;
        done += n;
    }
    sameBytes_ += count;
    return true;
}

// The output differs from the existing file from here on: the temporary
// file starts with the bytes found equal so far, taken from that file.
bool OutputStream::startTemporary()
{
    Files& files = *files_;
    files.change.emplace();
    files.before = files.directory->modificationTime();
    std::string reason;
    files.output =
        detail::createTemporary(*files.directory, files.before, files.afterCreate, files.temporaryName, reason);
    if (!files.output.valid()) {
        fail("open", reason);
        return false;
    }
    char copy[8192];
    for (std::uint64_t offset = 0; offset < sameBytes_;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(sameBytes_ - offset, sizeof copy));
        const auto got = files.readExisting(copy, n, offset);
        if (!got || *got != n) {
            fail("read", "the file changed while it was being replaced");
            return false;
        }
        if (!writeOut(copy, n))
            return false;
        offset += n;
    }
    return true;
}

void OutputStream::flushBuffer()
{
    if (used_ == 0)
        return;
    const std::size_t count = std::exchange(used_, 0);
    if (failed_)
        return;
    if (mode_ == Mode::Stream) {
        writeOut(buffer_.get(), count);
        return;
    }
    if (!differs_) {
        if (matchesExisting(buffer_.get(), count))
            return;
        differs_ = true;
    }
    if (mode_ == Mode::Compare)
        return;
    if (!files_->output.valid() && !startTemporary())
        return;
    writeOut(buffer_.get(), count);
}

void OutputStream::dropTemporary()
{
    if (!files_)
        return;
    Files& files = *files_;
    files.output.close();
    if (!files.temporaryName.empty()) {
        // Set back only where nothing but this stream changed the directory
        // since `before`.
        const bool restore = files.before.known && files.directory->modificationTime() == files.afterCreate;
        detail::removeTemporary(*files.directory, files.temporaryName);
        files.temporaryName.clear();
        if (restore)
            files.directory->setModificationTime(files.before);
        detail::forgetTemporary(*files.directory);
    }
    files.change.reset();
}

void OutputStream::finish()
{
    files_.reset();
    mode_ = Mode::Closed;
    buffer_.reset();
    used_ = 0;
}

void OutputStream::abandon()
{
    dropTemporary();
    taken_ = false;
    finish();
}

// Renames the complete temporary file to its name and sets the directory's
// time back. False, keeping the temporary file, when a free name was taken.
bool OutputStream::commit()
{
    Files& files = *files_;
    // Something else changed the directory while the file was written: the
    // time it has now is not this stream's to undo.
    if (files.directory->modificationTime() != files.afterCreate)
        files.restoreTime = false;
    // Windows refuses to rename over a file that is open, even one shared
    // for deletion; the file there is no longer needed.
    files.existing.close();
    files.appeared.close();
    std::string reason;
    const bool replace = !files.wasAbsent || taken_;
    const auto result =
        injectedFaultAt(FaultPoint::Rename)
            ? detail::RenameResult::Failed
            : detail::renameTemporary(*files.directory, files.temporaryName, files.name, replace, reason);
    if (result == detail::RenameResult::Taken) {
        taken_ = true;
        detail::TargetKind kind = detail::TargetKind::Absent;
        files.appeared = detail::openExisting(*files.directory, files.name, kind);
        fail("rename", "a file appeared at the name while the index was written");
        return false;
    }
    if (result == detail::RenameResult::Failed) {
        if (reason.empty())
            reason = lastErrorText();
        fail("rename", reason);
        return false;
    }
    files.temporaryName.clear();
    if (files.restoreTime && files.before.known)
        files.directory->setModificationTime(files.before);
    detail::forgetTemporary(*files.directory);
    files.change.reset();
    return true;
}

bool OutputStream::replaceTaken()
{
    if (!taken_ || !files_)
        return false;
    failed_ = false;
    error_.clear();
    const bool done = commit();
    taken_ = false;
    if (!done)
        dropTemporary();
    finish();
    return done;
}

bool OutputStream::close()
{
    if (!isOpen())
        return false;
    flushBuffer();
    if (mode_ == Mode::Stream) {
        if (injectedFaultAt(FaultPoint::Flush))
            fail("flush");
        const bool closeFailed = injectedFaultAt(FaultPoint::Close);
        if (!files_->output.close() || closeFailed)
            fail("close");
        finish();
        return !failed_;
    }
    Files& files = *files_;
    // Equal so far and the existing file ends here too: nothing to write.
    if (!differs_ && !failed_ && files.existingSize != sameBytes_)
        differs_ = true;
    changed_ = differs_;
    if (mode_ == Mode::Compare || !differs_ || failed_) {
        dropTemporary();
        finish();
        return !failed_;
    }
    if (!files.output.valid() && !startTemporary()) {
        dropTemporary();
        finish();
        return false;
    }
    if (injectedFaultAt(FaultPoint::Flush))
        fail("flush");
    if (!failed_)
        detail::settleTemporary(files.output, files.existing.valid() ? &files.existing : nullptr);
    const bool closeFailed = injectedFaultAt(FaultPoint::Close);
    if (!files.output.close() || closeFailed)
        fail("close");
    if (!failed_ && commit()) {
        finish();
        return true;
    }
    if (taken_) {
        // The temporary file waits for replaceTaken() or abandon().
        mode_ = Mode::Closed;
        return false;
    }
    dropTemporary();
    finish();
    return false;
}

void OutputStream::write(char c)
{
    if (mode_ == Mode::Closed)
        return;
    if (c == '\n') {
        write(std::string_view("\n", 1));
        return;
    }
    if (used_ == kBufferSize)
        flushBuffer();
    buffer_[used_++] = c;
}

void OutputStream::write(std::string_view text)
{
    if (mode_ == Mode::Closed)
        return;
    while (!text.empty()) {
        // Copy up to the next line feed (or the end), then CR LF for it.
        const void* found = std::memchr(text.data(), '\n', text.size());
        const std::size_t run =
            found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) : text.size();
        std::size_t done = 0;
        while (done < run) {
            if (used_ == kBufferSize)
                flushBuffer();
            const std::size_t n = std::min(run - done, kBufferSize - used_);
            std::memcpy(buffer_.get() + used_, text.data() + done, n);
            used_ += n;
            done += n;
        }
        if (found == nullptr)
            break;
        if (kBufferSize - used_ < 2)
            flushBuffer();
        buffer_[used_++] = '\r';
        buffer_[used_++] = '\n';
        text.remove_prefix(run + 1);
    }
}

}  // namespace quilldex::platform
