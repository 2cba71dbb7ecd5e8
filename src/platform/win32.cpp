// The platform layer on the Win32 API. Names and paths go to the system
// through the wide API, so that every name on the disk is found, entered
// and read exactly; to the rest of the program they are code-page texts,
// with the characters the code page lacks carried marked (marked_text.h).
#include "platform/platform.h"
#include "platform/fault_injection.h"
#include "platform/file_replacement.h"
#include "platform/marked_text.h"
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <limits>
#include <utility>
#include <vector>

namespace quilldex::platform {

namespace {

// Owns a handle from CreateFileW and closes it.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle()
    {
        if (valid())
            CloseHandle(handle_);
    }
    FileHandle(FileHandle&& other) noexcept : handle_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept
    {
        FileHandle old(std::exchange(handle_, other.release()));
        return *this;
    }

    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

private:
    HANDLE handle_;
};

// Owns a search handle from FindFirstFileW and closes it with FindClose.
class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle()
    {
        if (valid())
            FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    void reset(HANDLE handle)
    {
        if (valid())
            FindClose(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_;
};

// ---- Code-page texts and wide texts ----

void appendUtf16(std::wstring& wide, char32_t codePoint)
{
    if (codePoint < 0x10000) {
        wide += static_cast<wchar_t>(codePoint);
        return;
    }
    codePoint -= 0x10000;
    wide += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
    wide += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
}

void appendFromCodePage(std::wstring& wide, std::string_view text)
{
    if (text.empty())
        return;
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return;
    const auto start = wide.size();
    wide.resize(start + static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data() + start, length);
}

// The wide form of a code-page text with marked characters.
std::wstring toWide(std::string_view text)
{
    std::wstring wide;
    wide.reserve(text.size());
    forEachMarkedPiece(
        text, [&](std::string_view run) { appendFromCodePage(wide, run); },
        [&](char32_t codePoint) { appendUtf16(wide, codePoint); });
    return wide;
}

// Appends `units` in the ANSI code page and returns true, or returns false,
// appending nothing, when the code page cannot hold them exactly. No best
// fit is taken: a name shown as a look-alike would lead to no file.
bool appendInCodePage(std::string& text, std::wstring_view units)
{
    static const bool utf8CodePage = GetACP() == CP_UTF8;
    // The UTF-8 code page holds every character; it refuses the flag and
    // the default-character question, and reports a lone surrogate as an
    // invalid character instead.
    const DWORD flags = utf8CodePage ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const usedDefaultFlag = utf8CodePage ? nullptr : &usedDefault;
    const int count = static_cast<int>(units.size());
    const int length = WideCharToMultiByte(CP_ACP, flags, units.data(), count, nullptr, 0, nullptr, usedDefaultFlag);
    if (length <= 0 || usedDefault)
        return false;
    const auto start = text.size();
    text.resize(start + static_cast<std::size_t>(length));
    WideCharToMultiByte(CP_ACP, flags, units.data(), count, text.data() + start, length, nullptr, nullptr);
    return true;
}

// The character that starts at `wide[at]`, moving `at` past it: a
// surrogate pair is one character, a lone surrogate is kept as it is.
char32_t nextCodePoint(std::wstring_view wide, std::size_t& at)
{
    const char32_t unit = wide[at++];
    if (unit >= 0xD800 && unit <= 0xDBFF && at < wide.size() && wide[at] >= 0xDC00 && wide[at] <= 0xDFFF)
        return 0x10000 + ((unit - 0xD800) << 10) + (wide[at++] - 0xDC00);
    return unit;
}

// The code-page text of a wide name or path: exactly the bytes the ANSI API
// would give where the code page holds every character, else with each
// character it lacks marked.
std::string fromWide(std::wstring_view wide)
{
    std::string text;
    text.reserve(wide.size());
    const bool plain =
        std::all_of(wide.begin(), wide.end(), [](wchar_t unit) { return unit < 0x80 && unit != kCharacterMark; });
    if (plain) {
        for (const wchar_t unit : wide)
            text += static_cast<char>(unit);
        return text;
    }
    if (wide.find(static_cast<wchar_t>(kCharacterMark)) == std::wstring_view::npos && appendInCodePage(text, wide))
        return text;
    text.clear();
    for (std::size_t at = 0; at < wide.size();) {
        const std::size_t start = at;
        const char32_t codePoint = nextCodePoint(wide, at);
        if (codePoint == static_cast<char32_t>(kCharacterMark) ||
            !appendInCodePage(text, wide.substr(start, at - start)))
            appendMarkedCharacter(text, codePoint);
    }
    return text;
}

// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000LL;
constexpr std::int64_t kFileTimeTicksPerSecond = 10000000LL;

std::uint64_t joinHalves(DWORD high, DWORD low)
{
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

UtcSeconds toUtcSeconds(const FILETIME& time)
{
    const auto ticks =
        static_cast<std::int64_t>(joinHalves(time.dwHighDateTime, time.dwLowDateTime)) - kUnixEpochAsFileTime;
    // Round towards minus infinity, so that a time before 1970 falls in the
    // second it belongs to.
    auto seconds = ticks / kFileTimeTicksPerSecond;
    if (ticks % kFileTimeTicksPerSecond < 0)
        --seconds;
    return seconds;
}

// Opens a file or directory without asking for access to its content, only
// to learn what it is. `flags` may add FILE_FLAG_OPEN_REPARSE_POINT.
HANDLE openForInformation(const std::wstring& path, DWORD share, DWORD flags)
{
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens a directory for information and, where it can, without
// FILE_SHARE_DELETE, so that it can be neither removed nor renamed, nor a
// link put in its place, while the handle is held. Where another program
// holds it open for deletion that is refused; the directory is then opened
// all the same, and callers check its identity after changing into it.
HANDLE openHeld(const std::wstring& path, DWORD flags)
{
    HANDLE handle = openForInformation(path, FILE_SHARE_READ | FILE_SHARE_WRITE, flags);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
        handle = openForInformation(path, kShareAll, flags);
    return handle;
}

DirectoryIdentity identityFrom(const BY_HANDLE_FILE_INFORMATION& info)
{
    return DirectoryIdentity{info.dwVolumeSerialNumber, joinHalves(info.nFileIndexHigh, info.nFileIndexLow)};
}

std::optional<DirectoryIdentity> identityOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    return identityFrom(info);
}

// A link or junction reports its own facts in a search. The entry is to
// show those of what it leads to, so the target is opened; a broken link
// keeps its own.
void takeFactsOfTarget(const std::wstring& name, DirectoryEntry& entry)
{
    FileHandle target(openForInformation(name, kShareAll, 0));
    BY_HANDLE_FILE_INFORMATION info;
    if (!target.valid() || !GetFileInformationByHandle(target.get(), &info))
        return;
    entry.isDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.size = entry.isDirectory ? 0 : joinHalves(info.nFileSizeHigh, info.nFileSizeLow);
    entry.lastWriteTime = toUtcSeconds(info.ftLastWriteTime);
}

unsigned char upperAscii(unsigned char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Names that Win32 turns into devices in every directory. A file can carry
// such a name only if it was made through a "\\?\" path, and opening it by
// name would open the device instead.
bool isDeviceName(const std::string& name)
{
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (auto& c : stem)
        c = static_cast<char>(upperAscii(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" || stem == "CONOUT$")
        return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' && stem[3] <= '9';
}

std::string describeError(DWORD code)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length != 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr)
        LocalFree(text);
    // The system's texts end with a full stop and a line break; the errors
    // built from them go on after the text, so both are dropped.
    while (!message.empty() &&
           (message.back() == '\r' || message.back() == '\n' || message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    if (message.empty())
        message = "error " + std::to_string(code);
    return message;
}

}  // namespace

// ---- Directory reader ----

struct DirectoryReader::State {
    FindHandle search{INVALID_HANDLE_VALUE};
    WIN32_FIND_DATAW found;
    bool pending = false;   // `found` holds a name not yet handed out
    std::string name;       // the last name handed out
    std::string shortName;  // and its 8.3 alias
    std::string error;
};

DirectoryReader::DirectoryReader() : state_(std::make_unique<State>())
{
    HANDLE handle = FindFirstFileW(L"*", &state_->found);
    state_->pending = handle != INVALID_HANDLE_VALUE;
    if (!state_->pending && GetLastError() != ERROR_FILE_NOT_FOUND)
        state_->error = lastErrorText();
    state_->search.reset(handle);
}

const std::string& DirectoryReader::error() const
{
    return state_->error;
}

DirectoryReader::~DirectoryReader() = default;

bool DirectoryReader::next(DirectoryName& found)
{
    State& s = *state_;
    if (!s.pending) {
        if (!s.search.valid())
            return false;
        if (injectedFaultAt(FaultPoint::ReadDirectory)) {
            s.error = describeError(ERROR_READ_FAULT);
            return false;
        }
        if (!FindNextFileW(s.search.get(), &s.found)) {
            if (GetLastError() != ERROR_NO_MORE_FILES)
                s.error = lastErrorText();
            return false;
        }
    }
    s.pending = false;
    const DWORD attributes = s.found.dwFileAttributes;
    s.name = fromWide(s.found.cFileName);
    found.name = s.name;
    s.shortName = fromWide(s.found.cAlternateFileName);
    found.shortName = s.shortName;
    found.hidden = (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    found.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? NameKind::Link
                 : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? NameKind::Directory
                                                                  : NameKind::File;
    return true;
}

std::size_t DirectoryReader::countHint() const
{
    return 0;  // A search cannot tell before it has run.
}

bool readEntryFacts(DirectoryEntry& entry)
{
    const std::wstring name = toWide(entry.name);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data))
        return false;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.size = joinHalves(data.nFileSizeHigh, data.nFileSizeLow);
    entry.lastWriteTime = toUtcSeconds(data.ftLastWriteTime);
    if (entry.isLink)
        takeFactsOfTarget(name, entry);
    return true;
}

// ---- Local time ----

LocalTime toLocalTime(UtcSeconds time)
{
    // A time the system cannot convert shows as the start of 1970, as on
    // POSIX. FILETIME counts from 1601, and FileTimeToSystemTime takes no
    // more than 63 bits of it.
    const LocalTime unknown{1970, 1, 1, 0, 0, 0};
    constexpr auto earliest = -kUnixEpochAsFileTime / kFileTimeTicksPerSecond;
    constexpr auto latest = (std::numeric_limits<std::int64_t>::max() - kUnixEpochAsFileTime) / kFileTimeTicksPerSecond;
    static_assert(kLatestShownTime < latest);
    if (time < earliest)
        return kFirstShownTime;
    if (time > kLatestShownTime)
        return kLastShownTime;
    const auto ticks = static_cast<std::uint64_t>(time * kFileTimeTicksPerSecond + kUnixEpochAsFileTime);
    const FILETIME fileTime{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc;
    SYSTEMTIME fields;
    if (!FileTimeToSystemTime(&fileTime, &utc))
        return unknown;
    // The time zone's rule for that date applies, so that a summer time is
    // shown with the summer offset whenever the index is written.
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &fields))
        fields = utc;
    if (fields.wYear < kFirstShownTime.year)
        return kFirstShownTime;
    if (fields.wYear > kLastShownTime.year)
        return kLastShownTime;
    return LocalTime{fields.wYear, fields.wMonth, fields.wDay, fields.wHour, fields.wMinute, fields.wSecond};
}

std::int32_t utcOffsetAt(UtcSeconds time)
{
    constexpr auto earliest = -kUnixEpochAsFileTime / kFileTimeTicksPerSecond;
    time = std::clamp<UtcSeconds>(time, earliest, kLatestShownTime);
    const auto ticks = static_cast<std::uint64_t>(time * kFileTimeTicksPerSecond + kUnixEpochAsFileTime);
    const FILETIME fileTime{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc;
    SYSTEMTIME local;
    FILETIME localTime;
    if (!FileTimeToSystemTime(&fileTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
        !SystemTimeToFileTime(&local, &localTime))
        return 0;
    const auto localTicks = static_cast<std::int64_t>(joinHalves(localTime.dwHighDateTime, localTime.dwLowDateTime));
    return static_cast<std::int32_t>((localTicks - static_cast<std::int64_t>(ticks)) / kFileTimeTicksPerSecond);
}

// ---- Current directory ----

std::optional<std::string> currentDirectory()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(path.size()), path.data());
        if (length == 0)
            return std::nullopt;
        if (length < path.size()) {
            path.resize(length);
            return fromWide(path);
        }
        path.resize(length);
    }
}

bool setCurrentDirectory(const std::string& path)
{
    return SetCurrentDirectoryW(toWide(path).c_str()) != 0;
}

std::optional<DirectoryIdentity> currentDirectoryIdentity()
{
    FileHandle current(openForInformation(L".", kShareAll, 0));
    if (!current.valid())
        return std::nullopt;
    return identityOf(current.get());
}

// The saved directory is held open (see openHeld), so that returning by
// its path reaches the same directory; restore() checks that it did.
struct SavedDirectory::State {
    std::wstring path;
    FileHandle handle{INVALID_HANDLE_VALUE};
    DirectoryIdentity identity;
};

SavedDirectory::SavedDirectory()
{
    auto path = currentDirectory();
    if (!path)
        return;
    auto state = std::make_unique<State>();
    state->path = toWide(*path);
    FileHandle handle(openHeld(state->path, 0));
    if (!handle.valid())
        return;
    const auto identity = identityOf(handle.get());
    if (!identity)
        return;
    state->identity = *identity;
    state->handle = std::move(handle);
    state_ = std::move(state);
}

SavedDirectory::~SavedDirectory() = default;

bool SavedDirectory::valid() const
{
    return state_ != nullptr;
}

bool SavedDirectory::restore() const
{
    if (!state_ || !SetCurrentDirectoryW(state_->path.c_str()))
        return false;
    return currentDirectoryIdentity() == state_->identity;
}

std::optional<DirectoryIdentity> enterSubdirectory(const std::string& name)
{
    // Held (see openHeld) without following a reparse point, so that what
    // is checked here is what SetCurrentDirectoryW enters.
    const std::wstring wideName = toWide(name);
    FileHandle directory(openHeld(wideName, FILE_FLAG_OPEN_REPARSE_POINT));
    BY_HANDLE_FILE_INFORMATION info;
    if (!directory.valid() || !GetFileInformationByHandle(directory.get(), &info))
        return std::nullopt;
    // Wine opens the target of a link even when asked not to, but reports
    // the link by its name, so the name is asked as well.
    const DWORD byName = GetFileAttributesW(wideName.c_str());
    if (byName == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        ((info.dwFileAttributes | byName) & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        SetLastError(ERROR_DIRECTORY);
        return std::nullopt;
    }
    const DirectoryIdentity identity = identityFrom(info);
    const auto parent = currentDirectory();
    if (!parent || !SetCurrentDirectoryW(wideName.c_str()))
        return std::nullopt;
    // Where sharing rules do not hold (a Wine directory changed from the
    // host side), the name may lead elsewhere by now.
    if (currentDirectoryIdentity() != identity) {
        setCurrentDirectory(*parent);
        return std::nullopt;
    }
    return identity;
}

std::string currentDirectoryUnreadable()
{
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(L"*", &found));
    if (!search.valid() && GetLastError() != ERROR_FILE_NOT_FOUND)
        return lastErrorText();
    return {};
}

std::optional<DirectoryIdentity> directoryIdentity(const std::string& path)
{
    FileHandle directory(openForInformation(toWide(path), kShareAll, 0));
    BY_HANDLE_FILE_INFORMATION info;
    if (!directory.valid() || !GetFileInformationByHandle(directory.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return std::nullopt;
    return identityFrom(info);
}

const std::string_view kPathSeparators = "\\/";

std::optional<std::size_t> readFileEnd(const std::string& name, char* buffer, std::size_t capacity)
{
    if (isDeviceName(name))
        return std::nullopt;
    FileHandle file(CreateFileW(toWide(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return std::nullopt;
    const std::uint64_t size = joinHalves(info.nFileSizeHigh, info.nFileSizeLow);
    const auto wanted = static_cast<DWORD>(std::min<std::uint64_t>(size, capacity));
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(size - wanted);
    DWORD read = 0;
    if (!SetFilePointerEx(file.get(), offset, nullptr, FILE_BEGIN) ||
        !ReadFile(file.get(), buffer, wanted, &read, nullptr))
        return std::size_t{0};
    return read;
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
    const std::wstring wideName = toWide(name);
    const DWORD attributes = GetFileAttributesW(wideName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        return fail(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? SmallFile::Status::Missing
                                                                                 : SmallFile::Status::Failed);
    }
    const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | (follow == FollowLinks::No ? FILE_ATTRIBUTE_REPARSE_POINT : 0);
    if ((attributes & refused) != 0 || isDeviceName(name.substr(name.find_last_of("\\/") + 1)))
        return fail(SmallFile::Status::NotRegular);
    FileHandle handle(CreateFileW(wideName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, follow == FollowLinks::No ? FILE_FLAG_OPEN_REPARSE_POINT : 0,
                                  nullptr));
    if (!handle.valid())
        return fail(SmallFile::Status::Failed);
    // Something else may have been put in its place since.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle.get(), &info) ||
        (info.dwFileAttributes & refused) != 0)
        return fail(SmallFile::Status::NotRegular);
    if (joinHalves(info.nFileSizeHigh, info.nFileSizeLow) > maxBytes)
        return fail(SmallFile::Status::TooLarge);
    // One byte more than allowed tells a file that grew past the limit.
    file.bytes.resize(maxBytes + 1);
    std::size_t total = 0;
    while (total < file.bytes.size()) {
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(file.bytes.size() - total, 1u << 20));
        DWORD read = 0;
        if (!ReadFile(handle.get(), file.bytes.data() + total, wanted, &read, nullptr))
            return fail(SmallFile::Status::Failed);
        if (read == 0)
            break;
        total += read;
    }
    if (total > maxBytes)
        return fail(SmallFile::Status::TooLarge);
    file.bytes.resize(total);
    file.status = SmallFile::Status::Read;
    return file;
}

// ---- Reading the start of a file ----

namespace {

// Whether the file open in `handle` lies inside the directory `top`
// (compared without regard to case, as the file system does).
bool liesInside(HANDLE handle, const std::string& top)
{
    wchar_t resolved[MAX_PATH + 8];
    const DWORD length =
        GetFinalPathNameByHandleW(handle, resolved, MAX_PATH + 8, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= MAX_PATH + 8)
        return false;
    std::wstring path(resolved, length);
    if (path.starts_with(L"\\\\?\\"))
        path.erase(0, 4);
    std::wstring boundary = toWide(top);
    while (!boundary.empty() && (boundary.back() == L'\\' || boundary.back() == L'/'))
        boundary.pop_back();
    if (path.size() <= boundary.size() || path[boundary.size()] != L'\\')
        return false;
    return CompareStringOrdinal(path.data(), static_cast<int>(boundary.size()), boundary.data(),
                                static_cast<int>(boundary.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

std::size_t readFileStart(const std::string& name, char* buffer, std::size_t capacity, const std::string& top)
{
    if (capacity == 0 || isDeviceName(name))
        return 0;
    const DWORD attributes = GetFileAttributesW(toWide(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return 0;
    // A directory cannot be opened without FILE_FLAG_BACKUP_SEMANTICS, so it
    // fails here; pipes and character devices are refused before reading.
    FileHandle file(CreateFileW(toWide(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK)
        return 0;
    // A link is followed only to a file inside the top of the run.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        !liesInside(file.get(), top.empty() ? currentDirectory().value_or(std::string()) : top))
        return 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(capacity, std::numeric_limits<DWORD>::max()));
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer, wanted, &read, nullptr))
        return 0;
    return read;
}

// ---- Output stream ----

// The temporary file being written, for the console handler, which runs
// on a thread of its own while the run goes on.
namespace {

CRITICAL_SECTION temporaryLock;
wchar_t temporaryForInterrupt[MAX_PATH + 32];
bool temporaryForInterruptSet = false;

class TemporaryLocked {
public:
    TemporaryLocked() { EnterCriticalSection(&temporaryLock); }
    ~TemporaryLocked() { LeaveCriticalSection(&temporaryLock); }
    TemporaryLocked(const TemporaryLocked&) = delete;
    TemporaryLocked& operator=(const TemporaryLocked&) = delete;
};

struct TemporaryLockSetUp {
    TemporaryLockSetUp() { InitializeCriticalSection(&temporaryLock); }
} temporaryLockSetUp;

BOOL WINAPI onConsoleEvent(DWORD)
{
    // The lock is kept: the process ends when this returns, and no new
    // temporary file may appear before that.
    EnterCriticalSection(&temporaryLock);
    if (temporaryForInterruptSet)
        DeleteFileW(temporaryForInterrupt);
    temporaryForInterruptSet = false;
    return FALSE;
}

std::string directoryPart(const std::string& path)
{
    const auto separator = path.find_last_of("\\/");
    if (separator == std::string::npos)
        return ".";
    return path.substr(0, separator + 1);
}

std::FILE* fileFromHandle(FileHandle& handle, const char* mode, std::string& error, const std::string& path)
{
    const int flags = mode[0] == 'r' ? _O_BINARY | _O_RDONLY : _O_BINARY | _O_WRONLY;
    const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle.get()), flags);
    if (descriptor == -1) {
        error = "open(" + path + "): " + std::strerror(errno);
        return nullptr;
    }
    handle.release();
    std::FILE* file = _fdopen(descriptor, mode);
    if (file == nullptr) {
        error = "open(" + path + "): " + std::strerror(errno);
        _close(descriptor);
    }
    return file;
}

}  // namespace

void removeTemporaryFilesOnInterrupt()
{
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

namespace detail {

OutputTarget resolveOutputTarget(const std::string& path, FollowLinks follow)
{
    OutputTarget target;
    target.path = path;
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND) {
            target.error = "open(" + path + "): " + describeError(code);
            return target;
        }
    } else {
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && follow == FollowLinks::No) {
            target.error = "open(" + path + "): not a regular file";
            return target;
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            target.error = "open(" + path + "): " + describeError(ERROR_ACCESS_DENIED);
            return target;
        }
        // Devices (NUL, CON) and pipes are written directly.
        FileHandle probe(CreateFileW(toWide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
        if (probe.valid() && GetFileType(probe.get()) != FILE_TYPE_DISK) {
            if (follow == FollowLinks::No) {
                target.error = "open(" + path + "): not a regular file";
                return target;
            }
            target.kind = OutputTarget::Kind::Stream;
            return target;
        }
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            // The file the link leads to is replaced; the link stays.
            wchar_t resolved[MAX_PATH + 8];
            const DWORD length = probe.valid() ? GetFinalPathNameByHandleW(probe.get(), resolved, MAX_PATH + 8,
                                                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS)
                                               : 0;
            if (length == 0 || length >= MAX_PATH + 8) {
                target.kind = OutputTarget::Kind::Stream;
                return target;
            }
            const std::wstring_view full(resolved, length);
            target.path = fromWide(full.starts_with(L"\\\\?\\") ? full.substr(4) : full);
        }
        target.exists = true;
    }
    if (attributes == INVALID_FILE_ATTRIBUTES && isDeviceName(path.substr(path.find_last_of("\\/") + 1))) {
        target.kind = OutputTarget::Kind::Stream;
        return target;
    }
    target.kind = OutputTarget::Kind::Replace;
    FileHandle directory(openForInformation(toWide(directoryPart(target.path)), kShareAll, 0));
    FILETIME written;
    if (directory.valid() && GetFileTime(directory.get(), nullptr, nullptr, &written)) {
        target.directoryTime.known = true;
        target.directoryTime.seconds =
            static_cast<std::int64_t>(joinHalves(written.dwHighDateTime, written.dwLowDateTime));
    }
    return target;
}

std::FILE* openStreamed(const std::string& path, std::string& error)
{
    FileHandle handle(CreateFileW(toWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
        error = "open(" + path + "): " + lastErrorText();
        return nullptr;
    }
    return fileFromHandle(handle, "wb", error, path);
}

std::FILE* openForComparison(const std::string& path)
{
    FileHandle handle(CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle.valid() || GetFileType(handle.get()) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handle.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return nullptr;
    std::string ignored;
    return fileFromHandle(handle, "rb", ignored, path);
}

namespace {

// Creates `path`, which must not exist, and records it for the console
// handler. Nothing when it cannot; GetLastError() then tells why.
std::FILE* createExclusive(const std::string& path, std::string& error)
{
    const TemporaryLocked locked;
    FileHandle handle(CreateFileW(toWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
        const DWORD code = GetLastError();
        error = describeError(code);
        SetLastError(code);
        return nullptr;
    }
    std::FILE* file = fileFromHandle(handle, "wb", error, path);
    if (file == nullptr) {
        DeleteFileW(toWide(path).c_str());
        return nullptr;
    }
    const std::wstring wide = toWide(path);
    if (wide.size() < MAX_PATH + 32) {
        std::wmemcpy(temporaryForInterrupt, wide.c_str(), wide.size() + 1);
        temporaryForInterruptSet = true;
    }
    return file;
}

}  // namespace

std::FILE* createTemporaryBeside(const std::string& target, std::string& temporaryPath, std::string& error)
{
    const std::string directory = directoryPart(target);
    const std::string prefix = directory == "." ? std::string() : directory;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string path = prefix + ".quilldex-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(GetTickCount() + attempt) + ".tmp";
        if (std::FILE* file = createExclusive(path, error)) {
            temporaryPath = std::move(path);
            return file;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return nullptr;
    }
    error = describeError(ERROR_FILE_EXISTS);
    return nullptr;
}

std::FILE* createNew(const std::string& path, std::string& createdPath)
{
    std::string ignored;
    std::FILE* file = createExclusive(path, ignored);
    if (file != nullptr)
        createdPath = path;
    return file;
}

void keepCreated()
{
    const TemporaryLocked locked;
    temporaryForInterruptSet = false;
}

bool renameOver(const std::string& temporaryPath, const std::string& target, std::string& error)
{
    const TemporaryLocked locked;
    if (injectedFaultAt(FaultPoint::Rename)) {
        SetLastError(ERROR_WRITE_FAULT);
        error = describeError(ERROR_WRITE_FAULT);
        return false;
    }
    if (!MoveFileExW(toWide(temporaryPath).c_str(), toWide(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = lastErrorText();
        return false;
    }
    temporaryForInterruptSet = false;
    return true;
}

void removeTemporary(const std::string& temporaryPath)
{
    const TemporaryLocked locked;
    DeleteFileW(toWide(temporaryPath).c_str());
    temporaryForInterruptSet = false;
}

void restoreDirectoryTime(const std::string& target, const DirectoryTime& time)
{
    if (!time.known)
        return;
    FileHandle directory(CreateFileW(toWide(directoryPart(target)).c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!directory.valid())
        return;
    const auto ticks = static_cast<std::uint64_t>(time.seconds);
    const FILETIME written{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    SetFileTime(directory.get(), nullptr, nullptr, &written);
}

}  // namespace detail

bool OutputStream::openStandardOutput()
{
    // In text mode the C runtime would put a second CR before each LF.
    std::fflush(stdout);
    if (_setmode(_fileno(stdout), _O_BINARY) == -1) {
        error_ = std::string("_setmode(standard output): ") + std::strerror(errno);
        return false;
    }
    attach(stdout, false, "standard output");
    return true;
}

// ---- Names the code page cannot hold ----

bool carriesMarkedCharacters(std::string_view text)
{
    return text.find(kCharacterMark) != std::string_view::npos;
}

std::string toUtf8(std::string_view text)
{
    const std::wstring wide = toWide(text);
    std::string utf8;
    utf8.reserve(wide.size());
    for (std::size_t at = 0; at < wide.size();)
        appendUtf8(utf8, nextCodePoint(wide, at));
    return utf8;
}

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** const wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(fromWide(wide[i]));
    LocalFree(wide);
    return arguments;
}

std::string lastErrorText()
{
    const DWORD code = GetLastError();
    if (code == ERROR_SUCCESS && errno != 0)
        return std::strerror(errno);
    return describeError(code);
}

bool standardErrorIsTerminal()
{
    // _isatty would also say yes for the NUL device.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::string textEncodingName()
{
    // The labels browsers know for the ANSI code pages: the single-byte
    // "windows-N" pages, and the East Asian multi-byte ones by name.
    const UINT codePage = GetACP();
    switch (codePage) {
    case 932:
        return "shift_jis";
    case 936:
        return "gbk";
    case 949:
        return "euc-kr";
    case 950:
        return "big5";
    case 65001:
        return "utf-8";
    default:
        return "windows-" + std::to_string(codePage);
    }
}

}  // namespace quilldex::platform
