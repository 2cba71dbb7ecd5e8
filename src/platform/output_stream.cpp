// The part of the output stream that is the same on every platform: the
// buffer, the line-end translation, the error bookkeeping, and the
// comparison with and replacement of the file already there. What differs
// between systems (creating, renaming, times) is in posix.cpp or win32.cpp.
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
// system calls; the file itself is unbuffered so nothing is copied twice.
constexpr std::size_t kBufferSize = 64 * 1024;

}  // namespace

OutputStream::~OutputStream()
{
    if (isOpen())
        abandon();
}

void OutputStream::startBuffer(Mode mode, std::string path)
{
    if (isOpen())
        abandon();
    mode_ = mode;
    path_ = std::move(path);
    failed_ = false;
    error_.clear();
    used_ = 0;
    buffer_ = std::make_unique<char[]>(kBufferSize);
    sameBytes_ = 0;
    differs_ = false;
    changed_ = false;
    targetExisted_ = false;
    writingInPlace_ = false;
}

void OutputStream::attach(std::FILE* file, bool ownsFile, std::string path)
{
    startBuffer(Mode::Stream, std::move(path));
    std::setvbuf(file, nullptr, _IONBF, 0);
    file_ = file;
    ownsFile_ = ownsFile;
}

bool OutputStream::open(const std::string& path, FollowLinks follow)
{
    const detail::OutputTarget target = detail::resolveOutputTarget(path, follow);
    switch (target.kind) {
    case detail::OutputTarget::Kind::Refuse:
        error_ = target.error;
        return false;
    case detail::OutputTarget::Kind::Stream: {
        std::FILE* file = detail::openStreamed(target.path, error_);
        if (file == nullptr)
            return false;
        attach(file, true, path);
        return true;
    }
    case detail::OutputTarget::Kind::Replace:
        break;
    }
    startBuffer(Mode::Replace, target.path);
    directoryTime_ = target.directoryTime;
    targetExisted_ = target.exists;
    existing_ = target.exists ? detail::openForComparison(target.path) : nullptr;
    differs_ = existing_ == nullptr;
    return true;
}

bool OutputStream::openComparison(const std::string& path)
{
    startBuffer(Mode::Compare, path);
    existing_ = detail::openForComparison(path);
    differs_ = existing_ == nullptr;
    return true;
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
    fail(call, std::strerror(errno));
}

bool OutputStream::writeOut(const char* bytes, std::size_t count)
{
    errno = 0;
    if (injectedFaultAt(FaultPoint::Write) || std::fwrite(bytes, 1, count, file_) != count) {
        if (errno == 0)
            errno = EIO;
        fail("write");
        return false;
    }
    return true;
}

// Whether the next `count` bytes of the existing file are these.
bool OutputStream::matchesExisting(const char* bytes, std::size_t count)
{
    char theirs[4096];
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(count - done, sizeof theirs);
        if (std::fread(theirs, 1, n, existing_) != n || std::memcmp(theirs, bytes + done, n) != 0)
            return false;
        done += n;
    }
    sameBytes_ += count;
    return true;
}

// The output differs from the existing file from here on: the temporary
// file starts with the bytes found equal so far, taken from that file.
bool OutputStream::startTemporary()
{
    std::string reason;
    // Where there was no file, the new one is written in place, created so
    // that it fails if one appeared since: there is nothing to keep, and it
    // spares the rename. A failure removes it like a temporary file.
    std::FILE* file = targetExisted_ ? nullptr : detail::createNew(path_, temporaryPath_);
    writingInPlace_ = file != nullptr;
    if (file == nullptr)
        file = detail::createTemporaryBeside(path_, temporaryPath_, reason);
    if (file == nullptr) {
        fail("open", reason);
        return false;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    file_ = file;
    ownsFile_ = true;
    if (existing_ != nullptr) {
        std::rewind(existing_);
        char copy[4096];
        std::uint64_t left = sameBytes_;
        while (left > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof copy));
            if (std::fread(copy, 1, n, existing_) != n) {
                fail("read", "the file changed while it was being replaced");
                return false;
            }
            if (!writeOut(copy, n))
                return false;
            left -= n;
        }
        std::fclose(existing_);
        existing_ = nullptr;
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
    if (file_ == nullptr && !startTemporary())
        return;
    writeOut(buffer_.get(), count);
}

void OutputStream::dropTemporary()
{
    if (file_ != nullptr && ownsFile_)
        std::fclose(file_);
    file_ = nullptr;
    ownsFile_ = false;
    if (existing_ != nullptr)
        std::fclose(existing_);
    existing_ = nullptr;
    if (!temporaryPath_.empty()) {
        detail::removeTemporary(temporaryPath_);
        detail::restoreDirectoryTime(path_, directoryTime_);
        temporaryPath_.clear();
    }
    mode_ = Mode::Closed;
    buffer_.reset();
    used_ = 0;
}

void OutputStream::abandon()
{
    dropTemporary();
}

bool OutputStream::close()
{
    if (!isOpen())
        return false;
    flushBuffer();
    if (mode_ == Mode::Replace || mode_ == Mode::Compare) {
        // Equal so far and the existing file ends here too: nothing to write.
        if (!differs_ && !failed_ && std::fgetc(existing_) != EOF)
            differs_ = true;
        changed_ = differs_;
        if (mode_ == Mode::Compare || !differs_ || failed_) {
            dropTemporary();
            return !failed_;
        }
        if (file_ == nullptr && !startTemporary()) {
            dropTemporary();
            return false;
        }
    }
    errno = 0;
    if (injectedFaultAt(FaultPoint::Flush) || std::fflush(file_) != 0)
        fail("flush");
    if (ownsFile_) {
        errno = 0;
        const bool closeFailed = injectedFaultAt(FaultPoint::Close);
        if (std::fclose(file_) != 0 || closeFailed)
            fail("close");
    }
    file_ = nullptr;
    ownsFile_ = false;
    if (mode_ == Mode::Replace) {
        std::string reason;
        if (!failed_ && !writingInPlace_ && !detail::renameOver(temporaryPath_, path_, reason))
            fail("rename", reason);
        if (!failed_) {
            if (writingInPlace_)
                detail::keepCreated();
            detail::restoreDirectoryTime(path_, directoryTime_);
            temporaryPath_.clear();
        }
        dropTemporary();
    }
    mode_ = Mode::Closed;
    buffer_.reset();
    return !failed_;
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
