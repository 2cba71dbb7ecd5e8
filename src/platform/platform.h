// The operating-system interface of the index generation.
//
// Everything the index needs from the system goes through this header: a
// read of a directory's names and the status of an entry, the conversion of a UTC time to
// local calendar fields, the current directory, the first bytes of a file
// and the output stream. posix.cpp and win32.cpp implement it; CMake picks
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

// One pass over every name of the current directory, "." and ".."
// included, in the order the system keeps them, with no status call.
// Closes its handle when it is destroyed.
class DirectoryReader {
public:
    DirectoryReader();
    ~DirectoryReader();
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    // Fills `found` with the next name and returns true, or returns false
    // when there is none left or the directory could not be read.
    bool next(DirectoryName& found);

    // Why the read ended before the last name (the system's reason), or ""
    // when it reached the end.
    const std::string& error() const;

    // Roughly the most names the directory can hold, as the system tells
    // it without reading them (from the directory's size: ext4, XFS and
    // tmpfs give an upper bound), or 0. Only for reserving memory.
    std::size_t countHint() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Fills the kind, link flag, size and time of `entry` from the status of
// the entry `entry.name` of the current directory: a link gets the facts of
// what it leads to, a broken link its own. False when the entry is gone.
bool readEntryFacts(DirectoryEntry& entry);

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
// system cannot tell it.
std::optional<std::string> currentDirectory();

// Makes `path` the current directory. Returns false, changing nothing, when
// it cannot.
bool setCurrentDirectory(const std::string& path);

// Identifies a directory on this machine (device and inode on POSIX, volume
// serial and file index on Windows), so that a walk can tell when two names
// lead to the same directory.
struct DirectoryIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // The mount the directory was reached through, where the system tells
    // it (0 elsewhere). A bind mount of a folder of the same file system
    // has the same device as its source but a mount of its own, so a walk
    // that stays on one file system compares this too. It takes no part in
    // telling directories apart.
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

// Holds on to the directory that is current when it is made, so that a walk
// can return to exactly that directory however it moved since (a directory
// entered through a link has another parent than the one the walk came
// from). Releases its handle when destroyed.
class SavedDirectory {
public:
    SavedDirectory();
    ~SavedDirectory();
    SavedDirectory(const SavedDirectory&) = delete;
    SavedDirectory& operator=(const SavedDirectory&) = delete;

    // False when the current directory could not be held on to.
    bool valid() const;
    // Makes the saved directory current again.
    bool restore() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The identity of the current directory.
std::optional<DirectoryIdentity> currentDirectoryIdentity();

// Makes the subdirectory `name` of the current directory current, refusing
// to follow a symbolic link or reparse point that stands there (it may have
// replaced the directory since it was listed). Returns the identity of the
// directory entered, or nothing, having changed nothing (lastErrorText()
// then tells why).
std::optional<DirectoryIdentity> enterSubdirectory(const std::string& name);

// Reads up to `capacity` bytes from the start of the regular file `name` in
// the current directory and returns how many were read. Only an entry that
// is a regular file by its own status is read, and the file opened must be
// that same file; a symbolic link is followed only to a regular file inside
// `top` (an absolute directory; empty: the current directory). Anything else
// (a directory, a FIFO, a device, a link leading out) gives 0, and reading
// never blocks.
std::size_t readFileStart(const std::string& name, char* buffer, std::size_t capacity, const std::string& top = {});

// Reads the last bytes (up to `capacity`) of the regular file `name` in the
// current directory, never through a link, into the start of `buffer` and
// returns how many; nothing when no regular file of that name is there.
std::optional<std::size_t> readFileEnd(const std::string& name, char* buffer, std::size_t capacity);

// "" when the current directory can be listed, else why not.
std::string currentDirectoryUnreadable();

// The identity of the directory `path`, or nothing when there is none.
std::optional<DirectoryIdentity> directoryIdentity(const std::string& path);

// The bytes that separate the parts of a path: "/" on POSIX, where '\' is
// an ordinary name character, and "\\/" on Windows.
extern const std::string_view kPathSeparators;

// Whether to write through a symbolic link that stands where the output
// file is to be created.
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

// Reads the regular file `name` (relative to the current directory) whole
// when it holds at most `maxBytes` bytes. With FollowLinks::No a link that
// stands there is not followed, and the file opened must be the entry that
// was looked at; a device or FIFO is never opened for reading, and reading
// never blocks.
SmallFile readSmallFile(const std::string& name, std::size_t maxBytes, FollowLinks follow = FollowLinks::No);

namespace detail {
// A directory's modification time as the system holds it: seconds and
// nanoseconds on POSIX, the whole FILETIME in `seconds` on Windows.
struct DirectoryTime {
    bool known = false;
    std::int64_t seconds = 0;
    std::int64_t fraction = 0;
};
}  // namespace detail

// A buffered output file in which every line feed written becomes CR LF and
// no other byte changes, so that the bytes are the same on every platform.
// It remembers the first error of any write, and close() reports it.
//
// A regular file is never written in place: the output goes to a temporary
// file beside it, which replaces it only when close() has written, flushed
// and closed all of it. Until then the old file keeps its bytes, and any
// failure leaves it so and removes the temporary file. Output equal to the
// file already there is not written at all (the file and its directory
// keep their times). The directory's own modification time is set back
// after a replacement.
class OutputStream {
public:
    OutputStream() = default;
    ~OutputStream();
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    // Opens `path` for writing as described above. A device, FIFO or
    // terminal there is written directly, unless `follow` is No: then only
    // a regular file or a new one is accepted, and a link is refused. With
    // Yes, a link to a file has that file replaced and stays a link.
    bool open(const std::string& path, FollowLinks follow = FollowLinks::Yes);
    // Compares what is written with the file `path` and writes nothing;
    // close() then tells through changed() whether it differs (a missing
    // file, or anything but a regular one, differs).
    bool openComparison(const std::string& path);
    // Writes to the process's standard output instead of a file.
    bool openStandardOutput();
    bool isOpen() const { return file_ != nullptr || mode_ != Mode::Closed; }

    void write(std::string_view text);
    void write(char c);

    // Flushes and closes (replacing the file); false if any write, the
    // flush, the close or the replacement failed. A stream that was never
    // opened closes with false.
    bool close();
    // Closes without replacing anything: the old file stays as it was.
    void abandon();

    // After close(): whether the file was written (or, for a comparison,
    // would be): false when it already held these bytes.
    bool changed() const { return changed_; }

    // The reason of the first failure, worded "call(path): reason".
    const std::string& error() const { return error_; }

private:
    enum class Mode { Closed, Stream, Replace, Compare };

    // Takes over an open file (unbuffered: this class does the buffering).
    void attach(std::FILE* file, bool ownsFile, std::string path);
    void startBuffer(Mode mode, std::string path);
    void flushBuffer();
    bool writeOut(const char* bytes, std::size_t count);
    bool matchesExisting(const char* bytes, std::size_t count);
    bool startTemporary();
    void fail(const char* call);
    void fail(const char* call, std::string reason);
    void dropTemporary();

    Mode mode_ = Mode::Closed;
    std::FILE* file_ = nullptr;
    bool ownsFile_ = false;
    bool failed_ = false;
    std::string path_;
    std::string error_;
    std::size_t used_ = 0;
    std::unique_ptr<char[]> buffer_;

    // Replacement and comparison: the file there now, read alongside while
    // the output still equals its start, and the temporary file that the
    // output goes to from the first byte that differs.
    std::FILE* existing_ = nullptr;
    std::uint64_t sameBytes_ = 0;
    bool differs_ = false;
    bool changed_ = false;
    std::string temporaryPath_;
    detail::DirectoryTime directoryTime_;
    bool targetExisted_ = false;
    // A new file written under its own name: it needs no rename.
    bool writingInPlace_ = false;
};

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

// Removes the temporary file of an output stream that is being written when
// an interrupt (SIGINT, SIGTERM, SIGHUP; Ctrl+C or a closed console on
// Windows) ends the process, so that the old file stays and nothing is
// left behind. Called once by a program at its start.
void removeTemporaryFilesOnInterrupt();

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
