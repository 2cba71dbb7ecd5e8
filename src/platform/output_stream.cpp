// The part of the output stream that is the same on every platform: the
// buffer, the line-end translation and the error bookkeeping. Opening is
// done by posix.cpp or win32.cpp.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/platform.h"

namespace quilldex::platform {

namespace {

// Large enough that a directory of thousands of entries takes a handful of
// system calls; the file itself is unbuffered so nothing is copied twice.
constexpr std::size_t kBufferSize = 64 * 1024;

}  // namespace

OutputStream::~OutputStream()
{
    if (file_ != nullptr)
        close();
}

void OutputStream::attach(std::FILE* file, bool ownsFile, std::string path)
{
    if (file_ != nullptr)
        close();
    std::setvbuf(file, nullptr, _IONBF, 0);
    file_ = file;
    ownsFile_ = ownsFile;
    path_ = std::move(path);
    failed_ = false;
    error_.clear();
    used_ = 0;
    buffer_ = std::make_unique<char[]>(kBufferSize);
}

void OutputStream::fail(const char* call)
{
    if (!failed_) {
        failed_ = true;
        error_ = std::string(call) + "(" + path_ + "): " + std::strerror(errno);
    }
}

void OutputStream::flushBuffer()
{
    if (used_ == 0)
        return;
    if (!failed_) {
        errno = 0;
        if (std::fwrite(buffer_.get(), 1, used_, file_) != used_) {
            if (errno == 0)
                errno = EIO;
            fail("write");
        }
    }
    used_ = 0;
}

void OutputStream::write(char c)
{
    if (file_ == nullptr)
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
    if (file_ == nullptr)
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

bool OutputStream::close()
{
    if (file_ == nullptr)
        return false;
    flushBuffer();
    errno = 0;
    if (std::fflush(file_) != 0)
        fail("flush");
    if (ownsFile_) {
        errno = 0;
        if (std::fclose(file_) != 0)
            fail("close");
    }
    file_ = nullptr;
    ownsFile_ = false;
    buffer_.reset();
    return !failed_;
}

}  // namespace quilldex::platform
