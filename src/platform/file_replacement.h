// What the output stream needs from each system to replace a file safely:
// the file there now, a temporary file beside it, and the rename that puts
// the temporary file in its place, all relative to the directory's handle.
// posix.cpp and win32.cpp implement it; only the platform layer includes
// this header.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>

#include "platform/platform.h"

namespace quilldex::platform::detail {

// A file of the system, open, owned and closed when destroyed.
class SystemFile {
public:
    SystemFile() = default;
    explicit SystemFile(std::intptr_t handle, bool owned = true) : handle_(handle), owned_(owned) {}
    ~SystemFile();
    SystemFile(SystemFile&& other) noexcept;
    SystemFile& operator=(SystemFile&& other) noexcept;

    bool valid() const { return handle_ != kInvalid; }
    std::intptr_t get() const { return handle_; }

    // Writes all `count` bytes; false (the reason in lastErrorText()) when
    // it cannot.
    bool writeAll(const char* bytes, std::size_t count) const;
    // Reads up to `count` bytes from `offset`; nothing on an error.
    std::optional<std::size_t> readAt(char* buffer, std::size_t count, std::uint64_t offset) const;
    std::optional<std::uint64_t> size() const;
    // Closes it; false when the system reports a failure.
    bool close();

    static constexpr std::intptr_t kInvalid = -1;

private:
    std::intptr_t handle_ = kInvalid;
    bool owned_ = true;
};

// What stands at an output name: nothing, a regular file, one this process
// may not read, a directory, or something else (a link, FIFO, device).
enum class TargetKind { Absent, Regular, Unreadable, Directory, Other };

// Opens the file `name` of `directory` for reading if it is a regular file,
// never through a link and never blocking; `kind` tells what stands there.
SystemFile openExisting(const DirectoryHandle& directory, const std::string& name, TargetKind& kind);

// Creates a temporary file in `directory`, exclusively, readable and
// writable by its owner only, and records it so that an interrupt removes
// it and sets the directory's time back to `before` (only while the
// directory's time is still `afterCreate`, the one the creation gave it,
// which it returns). Its name is kTemporaryNamePrefix and a suffix of its
// own.
SystemFile createTemporary(const DirectoryHandle& directory, const DirectoryTime& before, DirectoryTime& afterCreate,
                           std::string& name, std::string& error);

// Gives the complete temporary file the owner and permission bits of the
// file it replaces, or without one those a new file gets; through its own
// handle, so that nothing else can receive them.
void settleTemporary(const SystemFile& temporary, const SystemFile* replaced);

enum class RenameResult { Done, Taken, Failed };

// Renames the temporary file to `name` in the same directory: over the file
// there with `replace`, else only while the name is free (Taken when it is
// not).
RenameResult renameTemporary(const DirectoryHandle& directory, const std::string& temporaryName,
                             const std::string& name, bool replace, std::string& error);

// Removes the temporary file (never anything else of that name: the name is
// this stream's own).
void removeTemporary(const DirectoryHandle& directory, const std::string& temporaryName);

// The temporary file is gone or renamed and the directory's time dealt
// with: an interrupt has nothing more to do for it.
void forgetTemporary(const DirectoryHandle& directory);

// While a stream changes a directory (from its temporary file to the
// directory's time set back), that directory's time is not the one it
// keeps. A stream holds this shared for that while; the facts of a link to
// a directory are taken holding it alone, so that several jobs never see
// each other's passing times and write the same index as one job does.
class DirectoryChange {
public:
    DirectoryChange();
    ~DirectoryChange();
    DirectoryChange(const DirectoryChange&) = delete;
    DirectoryChange& operator=(const DirectoryChange&) = delete;
};

// Waits until no stream is changing a directory, and keeps it so while it
// lives; holds nothing where this thread is itself changing one.
std::unique_lock<std::shared_mutex> settledDirectoryTimes();

// An output path as the person running the program named it: the directory
// the file lies in, opened, and the file's name there (where a link stood,
// those of the file it leads to); the file is a regular one or none yet
// (InDirectory), or a device, FIFO or terminal to write directly (Stream);
// or why nothing can be written.
struct PathTarget {
    enum class Kind { InDirectory, Stream, Refuse } kind = Kind::Refuse;
    DirectoryHandle directory;
    std::string name;
    // The path as given, for messages.
    std::string path;
    std::string error;
};
PathTarget resolveOutputPath(const std::string& path);

// Opens the Stream target for writing as it stands (created or truncated).
SystemFile openStreamed(const PathTarget& target, std::string& error);
// The process's standard output, not owned.
SystemFile standardOutputFile();

}  // namespace quilldex::platform::detail
