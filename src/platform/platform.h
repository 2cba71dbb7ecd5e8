// The operating-system interface of the index generation.
//
// Everything the index needs from the system goes through this header:
// directories held open, a read of a directory's names and the status of an
// entry, the conversion of a UTC time to local calendar fields, the first
// bytes of a file and the output stream. posix.cpp and win32.cpp implement it; CMake picks
// one. The index generation and quilldex-cli include no system header: they
// reach the system only through this one. The Windows dialog program
// (src/ui) is the exception: a dialog is made of Windows API calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quilldex::platform {

// A point in time as whole seconds since 1970-01-01 00:00:00 UTC.
using UtcSeconds = std::int64_t;

// An entry of a directory with its facts. The facts are those of what the
// name leads to: a symbolic link to a file reports the file's size and time.
struct DirectoryEntry {
    // In the system's code page, as the platform calls take it back. On
    // Windows a character the ANSI code page lacks is carried marked (see
    // marked_text.h and carriesMarkedCharacters below).
    std::string name;
    bool isDirectory = false;
    // A symbolic link, or on Windows any reparse point (junction, mount
    // point). Listed like any other entry; the recursive walk never enters
    // it.
    bool isLink = false;
    std::uint64_t size = 0;
    UtcSeconds lastWriteTime = 0;
};

// What one read of a directory tells about a name without a status call.
// Link covers a symbolic link (or a Windows reparse point) whatever it
// leads to; Unknown is a file system that does not report kinds.
enum class NameKind : unsigned char { Unknown, File, Directory, Link };

struct DirectoryName {
    // Valid until the next call of DirectoryReader::next.
    std::string_view name;
    NameKind kind = NameKind::Unknown;
    // A name the user does not normally see: on POSIX one that starts with
    // '.', on Windows one with the hidden or system attribute. "." and ".."
    // may carry it too.
    bool hidden = false;
    // The short 8.3 alias Windows keeps beside a long name, or empty (always
    // on POSIX). The system's own wildcard search matches a mask against
    // either name, so the listing does too. Valid as long as `name`.
    std::string_view shortName;
};

// Identifies a directory on this machine (device and inode on POSIX, volume
// serial and file index on Windows), so that a walk can tell when two names
// lead to the same directory.
struct DirectoryIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // The mount the directory was reached through, where the system tells
    // it and it was asked for (0 elsewhere). A bind mount of a folder of the
    // same file system has the same device as its source but a mount of its
    // own, so a walk that stays on one file system compares this too. It
    // takes no part in telling directories apart.
    std::uint64_t mount = 0;
    friend bool operator<(const DirectoryIdentity& a, const DirectoryIdentity& b)
    {
        return a.device != b.device ? a.device < b.device : a.inode < b.inode;
    }
    friend bool operator==(const DirectoryIdentity& a, const DirectoryIdentity& b)
    {
        return a.device == b.device && a.inode == b.inode;
    }
};

namespace detail {
// A directory's modification time as the system holds it: seconds and
// nanoseconds on POSIX, the whole FILETIME in `seconds` on Windows.
struct DirectoryTime {
    bool known = false;
    std::int64_t seconds = 0;
    std::int64_t fraction = 0;
    friend bool operator==(const DirectoryTime&, const DirectoryTime&) = default;
};
}  // namespace detail

// A directory held open. Every operation on what the directory holds goes
// through it, relative to it, so that no name in a path can be redirected
// between two calls by whoever owns the tree: a subdirectory is opened
// through its parent's handle without following a link, files are created,
// compared, renamed and removed in it by name relative to it. No operation
// of a run depends on the process's current directory. Closes itself when
// destroyed; moving it moves the handle.
class DirectoryHandle {
public:
    DirectoryHandle();
    ~DirectoryHandle();
    DirectoryHandle(DirectoryHandle&&) noexcept;
    DirectoryHandle& operator=(DirectoryHandle&&) noexcept;

    // Opens the directory `path` as the person running the program named
    // it; links in it are followed (it is their choice). A relative path is
    // taken from the current directory, once, here. Invalid on failure
    // (lastErrorText() tells why).
    static DirectoryHandle open(const std::string& path);

    bool valid() const;

    // Opens the subdirectory `name`, never through a link or reparse point
    // that stands there (one put there after the directory was listed
    // included). Invalid on failure; a link there fails as "not a
    // directory".
    DirectoryHandle openSubdirectory(std::string_view name) const;
    // Opens the directory above this one (which a rename may have changed:
    // callers compare its identity with the one they expect).
    DirectoryHandle openParent() const;
    // Whether the directory lies on a file system that answers each call
    // after a network round trip (NFS, SMB, a FUSE mount such as an
    // object-store mount), as far as the system tells.
    bool onNetworkFileSystem() const;
    // Whether the directory above this one is `parent` (false when this one
    // was moved elsewhere meanwhile). One status call, nothing opened.
    bool liesIn(const DirectoryIdentity& parent) const;

    // Taken when the handle was opened. `mount` is filled only by
    // identityWithMount(), which costs a call where the system has it.
    const DirectoryIdentity& identity() const;
    DirectoryIdentity identityWithMount() const;
    // The directory's modification time now (a call each time).
    detail::DirectoryTime modificationTime() const;
    // Sets the directory's modification time (its access time stays).
    bool setModificationTime(const detail::DirectoryTime& time) const;

    // Roughly the most names the directory can hold, from its size as the
    // system tells it when it was opened (ext4, XFS and tmpfs give an upper
    // bound), or 0. Only for reserving memory.
    std::size_t countHint() const;

    // "" when the directory could be written into, as far as the system
    // tells without trying (its permission bits for the effective user,
    // a read-only mount); else why not. What a check reports where the
    // run would fail.
    std::string unwritableReason() const;

    // Removes the regular file `name` when its last change is before
    // `before` (UTC seconds); what a killed run left behind. Never a
    // directory or link.
    bool removeStaleFile(std::string_view name, std::int64_t before) const;

    // The system's own handle, for the platform layer.
    struct State;
    State* state() const { return state_.get(); }

private:
    friend struct HandleAccess;
    std::unique_ptr<State> state_;
};

// One pass over every name of a directory, "." and ".." included, in the
// order the system keeps them, with no status call. The directory handle
// must outlive the reader.
class DirectoryReader {
public:
    explicit DirectoryReader(const DirectoryHandle& directory);
    ~DirectoryReader();
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    // Fills `found` with the next name and returns true, or returns false
    // when there is none left or the directory could not be read.
    bool next(DirectoryName& found);

    // Why the read ended before the last name (the system's reason), or ""
    // when it reached the end.
    const std::string& error() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Fills the kind, link flag, size and time of `entry` from the status of
// the entry `entry.name` of `directory`: a link gets the facts of what it
// leads to, a broken link its own. False when the entry is gone.
bool readEntryFacts(const DirectoryHandle& directory, DirectoryEntry& entry);

// Local calendar fields of a UTC time, as the platform's time zone rules
// give them for that date (summer time included where it applied then).
struct LocalTime {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
    int hour = 0;   // 0 to 23
    int minute = 0;
    int second = 0;
};

// The times shown lie in the years 1601 to 9999; one outside shows as the
// nearest end of that range.
inline constexpr UtcSeconds kLatestShownTime = 253402300799;  // 9999-12-31 23:59:59 UTC
inline constexpr LocalTime kFirstShownTime{1601, 1, 1, 0, 0, 0};
inline constexpr LocalTime kLastShownTime{9999, 12, 31, 23, 59, 59};

LocalTime toLocalTime(UtcSeconds time);

// The offset from UTC, in seconds east, of the local time that the time
// zone's rules give for `time` (the summer offset on a summer date).
std::int32_t utcOffsetAt(UtcSeconds time);

// The process's current directory as an absolute path, or nothing when the
// system cannot tell it. Front ends only: a run never asks.
std::optional<std::string> currentDirectory();

// Where a link met while reading a file may lead: to a regular file inside
// `top`, the directory at the top of the run, reached from it by
// `pathFromTop` ("" for the top itself, else "a/b/" with its last slash).
// Without a top no link is followed.
struct LinkBoundary {
    const DirectoryHandle* top = nullptr;
    std::string_view pathFromTop;
};

// Reads up to `capacity` bytes from the start of the regular file `name` in
// `directory` and returns how many were read. Only an entry that is a
// regular file is read; a symbolic link is followed only to a regular file
// inside `boundary` and is resolved relative to handles, never by a path
// that could be redirected. Anything else (a directory, a FIFO, a device, a
// link leading out) gives 0, and reading never blocks.
std::size_t readFileStart(const DirectoryHandle& directory, const std::string& name, char* buffer, std::size_t capacity,
                          const LinkBoundary& boundary = {});

// The bytes that separate the parts of a path: "/" on POSIX, where '\' is
// an ordinary name character, and "\\/" on Windows.
extern const std::string_view kPathSeparators;

// What a caller knows of the file at an output name before it opens it: a
// directory's listing tells whether the name is there, which spares a
// call that would fail.
enum class ExistingFile { Unknown, Absent, Present };

// Whether to follow a symbolic link that stands at a name.
enum class FollowLinks { Yes, No };

// A whole file read into memory, or why it was not.
struct SmallFile {
    enum class Status {
        Read,
        Missing,     // no entry of that name
        NotRegular,  // a directory, device, FIFO, socket or (not followed) link
        TooLarge,    // more than the bytes asked for
        Failed,      // the system refused (`error` tells why)
    };
    Status status = Status::Missing;
    std::string bytes;
    std::string error;
};

// Reads the regular file `name` of `directory` (without one: a path as the
// person running the program gave it) whole when it holds at most
// `maxBytes` bytes. With FollowLinks::No a link that stands there is not
// followed, and the file opened must be the entry that was looked at; a
// device or FIFO is never opened for reading, and reading never blocks.
SmallFile readSmallFile(const DirectoryHandle* directory, const std::string& name, std::size_t maxBytes,
                        FollowLinks follow = FollowLinks::No);

// A buffered output file in which every line feed written becomes CR LF and
// no other byte changes, so that the bytes are the same on every platform.
// It remembers the first error of any write, and close() reports it.
//
// A regular file is never written in place: the output goes to a temporary
// file in the same directory, created exclusively and readable by its
// writer only, which takes the name only when close() has written, flushed
// and closed all of it. A file that was there keeps its bytes until then;
// the new one gets its owner and permission bits, set on the temporary
// file's own handle. Where no file was there, the new one is renamed in
// only while the name is still free, so that a failure or a signal only
// ever removes this stream's own temporary file. Output equal to the file
// already there is not written at all (the file and its directory keep
// their times). After a change the directory's modification time is set
// back, unless something else changed the directory meanwhile.
//
// The temporary file's name starts with kTemporaryNamePrefix; listings
// leave such names out, and a run removes one that a killed run left.
class OutputStream {
public:
    OutputStream();
    ~OutputStream();
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    // Opens the file `name` of `directory` for writing as described above;
    // the handle must outlive the stream. Only a regular file or a free name
    // is accepted: a link, directory, FIFO or device there is refused.
    bool open(const DirectoryHandle& directory, const std::string& name, ExistingFile hint = ExistingFile::Unknown);
    // Opens the file `path` that the person running the program named. A
    // device, FIFO or terminal there is written directly; a link to a file
    // has that file replaced and stays a link.
    bool open(const std::string& path);
    // Compares what is written with the file and writes nothing; close()
    // then tells through changed() whether it differs (a missing file, or
    // anything but a regular one, differs).
    bool openComparison(const DirectoryHandle& directory, const std::string& name,
                        ExistingFile hint = ExistingFile::Unknown);
    bool openComparison(const std::string& path);
    // Writes to the process's standard output instead of a file.
    bool openStandardOutput();
    bool isOpen() const { return mode_ != Mode::Closed; }

    // After open() of a file: whether a regular file stands at the name,
    // and its first or last bytes (up to `capacity`), read from the handle
    // the comparison reads, so that the file is opened once. Nothing when
    // no regular file is there or it cannot be read.
    bool existingFound() const;
    // Whether a file stands at the name that this process may not read.
    bool existingUnreadable() const;
    std::optional<std::size_t> readExistingStart(char* buffer, std::size_t capacity) const;
    std::optional<std::size_t> readExistingEnd(char* buffer, std::size_t capacity) const;
    void write(std::string_view text);
    void write(char c);

    // Flushes and closes (replacing the file); false if any write, the
    // flush, the close or the replacement failed. A stream that was never
    // opened closes with false. Where the name was free when the stream was
    // opened and a file has appeared there since, it is not replaced:
    // close() returns false with taken() true and keeps the complete
    // temporary file until replaceTaken() or abandon().
    bool close();
    bool taken() const { return taken_; }
    // After taken(): the first and last bytes of the file that appeared.
    std::optional<std::size_t> readTakenStart(char* buffer, std::size_t capacity) const;
    std::optional<std::size_t> readTakenEnd(char* buffer, std::size_t capacity) const;
    // After taken(): puts the new file in place of the one that appeared.
    bool replaceTaken();
    // Closes without replacing anything: the old file stays as it was.
    void abandon();

    // After close(): whether the file was written (or, for a comparison,
    // would be): false when it already held these bytes.
    bool changed() const { return changed_; }

    // The reason of the first failure, worded "call(path): reason".
    const std::string& error() const { return error_; }

private:
    enum class Mode { Closed, Stream, Replace, Compare };
    struct Files;

    bool openIn(const DirectoryHandle& directory, const std::string& name, ExistingFile hint, Mode mode);
    bool openPath(const std::string& path, Mode mode);
    void startBuffer(Mode mode, std::string path);
    void flushBuffer();
    bool writeOut(const char* bytes, std::size_t count);
    bool matchesExisting(const char* bytes, std::size_t count);
    bool startTemporary();
    bool commit();
    void fail(const char* call);
    void fail(const char* call, std::string reason);
    void dropTemporary();
    void finish();

    Mode mode_ = Mode::Closed;
    bool failed_ = false;
    std::string path_;
    std::string error_;
    std::size_t used_ = 0;
    std::unique_ptr<char[]> buffer_;
    // The system's side: the directory, the file there now (read alongside
    // while the output still equals its start), the temporary file that the
    // output goes to from the first byte that differs, or the file or
    // device written directly.
    std::unique_ptr<Files> files_;
    std::uint64_t sameBytes_ = 0;
    bool differs_ = false;
    bool changed_ = false;
    bool taken_ = false;
};

// The start of the name of every temporary file an output stream makes:
// ".quilldex-tmp-", then the process number and a counter.
inline constexpr std::string_view kTemporaryNamePrefix = ".quilldex-tmp-";

// ---- Names the code page cannot hold ----
//
// On Windows the platform lists, enters, reads and creates through the wide
// API, and hands over a name with characters outside the ANSI code page as
// marked text (marked_text.h). Every call here that takes a name or a path
// accepts marked text. Output forms show such a name with
// forEachMarkedPiece (each marked character as "&#N;", the code-page runs as
// they are) and link it, or write it as JSON, by its toUtf8 form.

// Whether `text` carries marked characters: on Windows whether it holds the
// mark; never on POSIX, where a name may hold that byte as itself.
bool carriesMarkedCharacters(std::string_view text);

// `text` in UTF-8: on Windows the code-page text converted and the marked
// characters unmarked; on POSIX the bytes as they are (which need not be
// valid UTF-8).
std::string toUtf8(std::string_view text);

// The program's arguments after its name. On Windows they are taken from
// the wide command line, so that a directory or file name outside the code
// page arrives marked; elsewhere they are argv's.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Removes the temporary files of the output streams being written when an
// interrupt (SIGINT, SIGTERM, SIGHUP; Ctrl+C or a closed console on Windows)
// ends the process, and sets the times of their directories back, so that
// the old files stay and nothing is left behind. Called once by a program at
// its start, before it starts any thread.
void removeTemporaryFilesOnInterrupt();

// How many descriptors (handles) the process may hold open at once, as the
// system limits it now; a walk keeps well below it.
std::size_t descriptorLimit();

// The last system error as text, worded the same on every platform.
std::string lastErrorText();

// Whether the process's standard error is a terminal (where progress can be
// shown on one line that updates in place).
bool standardErrorIsTerminal();

// The character encoding that names and titles are written in, by the name
// an HTML page declares it with: "utf-8" on POSIX, the ANSI code page's on
// Windows ("windows-1252").
std::string textEncodingName();

}  // namespace quilldex::platform
