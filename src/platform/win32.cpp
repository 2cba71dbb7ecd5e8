// The platform layer on the Win32 API. Names and paths go to the system
// through the wide API, so that every name on the disk is found, entered
// and read exactly; to the rest of the program they are code-page texts,
// with the characters the code page lacks carried marked (marked_text.h).
//
// A directory is held open by a handle and known by its full path in the
// "\\?\" form, which takes paths longer than MAX_PATH and no device or
// short-name rewriting. Everything in it is reached by that path and the
// entry's name. The handle is held without FILE_SHARE_DELETE, so that the
// directory can be neither removed nor renamed while it is held (nor, on
// Windows, any directory above it, which holds an open entry), and so the
// path keeps leading to the same directory. A reparse point met at an
// entry's name is never entered.
#include "platform/platform.h"
#include "platform/fault_injection.h"
#include "platform/file_replacement.h"
#include "platform/marked_text.h"
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
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

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

DirectoryIdentity identityFrom(const BY_HANDLE_FILE_INFORMATION& info)
{
    return DirectoryIdentity{info.dwVolumeSerialNumber, joinHalves(info.nFileIndexHigh, info.nFileIndexLow), 0};
}

// The path `path` as the system resolves it, in the "\\?\" form: from the
// process's current directory where it is relative, "\\?\UNC\" for a
// network share. A path already in that form, or a "\\.\" device path,
// stays as it is. Empty when the system cannot make it full.
std::wstring longPath(const std::string& path)
{
    const std::wstring wide = toWide(path);
    if (wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\"))
        return wide;
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return {};
    full.resize(length);
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The final path of what `handle` is open on ("\\?\C:\..." or
// "\\?\UNC\..."), with every link and junction on the way resolved; empty
// when the system cannot tell.
std::wstring finalPath(HANDLE handle)
{
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length);
    }
    return {};
}

// The full path of the entry `name` of the directory at `directory`. A
// root ("\\?\C:\") ends with its separator already.
std::wstring childPath(const std::wstring& directory, std::wstring_view name)
{
    std::wstring path = directory;
    if (!path.ends_with(L'\\'))
        path += L'\\';
    path += name;
    return path;
}

std::wstring childPath(const std::wstring& directory, std::string_view name)
{
    return childPath(directory, std::wstring_view(toWide(name)));
}

// The path of the directory above the one at `path`; a root's is its
// own, as on POSIX. A root keeps its separator ("\\?\C:\"): without it the
// path names the volume, not its root directory.
std::wstring parentPath(std::wstring path)
{
    const std::size_t prefix = path.starts_with(L"\\\\?\\UNC\\") ? 8 : 4;
    const std::wstring root = path;
    if (path.ends_with(L'\\'))
        path.pop_back();
    const auto separator = path.rfind(L'\\');
    if (separator == std::wstring::npos || separator < prefix)
        return root;
    path.resize(separator);
    if (path.size() == prefix + 2 && path[prefix + 1] == L':')
        path += L'\\';
    return path;
}

// Whether `name` is one entry's name: not empty, no separator, not "." or
// "..", which a "\\?\" path would hand to the file system as they are.
bool isEntryName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/") == std::string_view::npos;
}

// Opens a file or directory without asking for access to its content, only
// to learn what it is. `flags` may add FILE_FLAG_OPEN_REPARSE_POINT.
HANDLE openForInformation(const std::wstring& path, DWORD share, DWORD flags)
{
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

// Opens a directory to hold it: where it can, without FILE_SHARE_DELETE,
// so that it can be neither removed nor renamed, nor a link put in its
// place, while the handle is held; and with FILE_WRITE_ATTRIBUTES where
// the runner may set its time. Where another program holds it open for
// deletion that is refused; the directory is then opened all the same.
HANDLE openHeld(const std::wstring& path, DWORD flags, bool& canSetTime)
{
    for (const DWORD access : {DWORD{FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES}, DWORD{FILE_READ_ATTRIBUTES}}) {
        for (const DWORD share : {DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}, kShareAll}) {
            HANDLE handle = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
            if (handle != INVALID_HANDLE_VALUE) {
                canSetTime = (access & FILE_WRITE_ATTRIBUTES) != 0;
                return handle;
            }
            if (GetLastError() != ERROR_SHARING_VIOLATION)
                break;
        }
        const DWORD code = GetLastError();
        if (code != ERROR_ACCESS_DENIED && code != ERROR_WRITE_PROTECT)
            return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

// Wine opens the target of a link even when asked not to; a link to a
// directory it reports by its name, so the name is asked as well (a link to
// a file it reports nowhere: see isOwnEntry).
bool isReparsePointByName(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The part of a "\\?\" path below its volume's root: what follows
// "\\?\C:" or "\\?\UNC\server\share".
std::wstring_view belowVolume(std::wstring_view path)
{
    std::size_t at = path.find(L'\\', 4);
    // "\\?\UNC\server\share": past the server's and the share's names.
    if (path.starts_with(L"\\\\?\\UNC\\") && at != std::wstring_view::npos)
        at = path.find(L'\\', path.find(L'\\', 8) + 1);
    return at == std::wstring_view::npos ? std::wstring_view(L"\\") : path.substr(at);
}

// Where the file open in `handle` lies, in a form comparable with the path
// `expected` on the volume `volume`: its final path and `expected`, or
// where the system cannot give that (Wine, for a path longer than
// MAX_PATH), its path below its volume's root and that of `expected`. False
// when neither is known or it lies on another volume.
bool locate(HANDLE handle, std::wstring_view expected, std::uint64_t volume, std::wstring& opened,
            std::wstring_view& reference)
{
    opened = finalPath(handle);
    reference = expected;
    if (!opened.empty())
        return true;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info) || info.dwVolumeSerialNumber != volume)
        return false;
    constexpr DWORD kSize = 70000;  // a 32767-character path and the header
    const auto buffer = std::make_unique<std::uint64_t[]>(kSize / sizeof(std::uint64_t));
    auto* name = reinterpret_cast<FILE_NAME_INFO*>(buffer.get());
    if (!GetFileInformationByHandleEx(handle, FileNameInfo, name, kSize))
        return false;
    opened.assign(name->FileName, name->FileNameLength / sizeof(wchar_t));
    reference = belowVolume(expected);
    return true;
}

bool equalIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                        static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Whether `handle`, opened by `path` (on the volume `volume`) without
// following a reparse point, is open on the entry at `path` itself. Wine
// follows a symbolic link made on the host side all the same and reports
// it neither by name nor by handle; only where the opened file lies tells
// that it is another.
bool isOwnEntry(HANDLE handle, const std::wstring& path, std::uint64_t volume)
{
    std::wstring opened;
    std::wstring_view reference;
    return locate(handle, path, volume, opened, reference) && equalIgnoringCase(opened, reference);
}

// What `handle` is open on: a regular file (a disk file, no pipe or
// character device, no directory), a reparse point, or something else;
// and its basic facts. Two calls that ask the file system nothing more: the
// full information call also asks the volume's serial, which under Wine
// costs ten times as much.
enum class OpenedKind { Regular, ReparsePoint, Other };

OpenedKind openedKind(HANDLE handle, FILE_BASIC_INFO* facts = nullptr)
{
    FILE_BASIC_INFO basic;
    if (GetFileType(handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return OpenedKind::Other;
    if (facts != nullptr)
        *facts = basic;
    if ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return OpenedKind::ReparsePoint;
    return (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? OpenedKind::Other : OpenedKind::Regular;
}

FILETIME toFileTime(std::int64_t ticks)
{
    const auto value = static_cast<std::uint64_t>(ticks);
    return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

// A link or junction reports its own facts. The entry is to show those of
// what it leads to, so the target is opened; a broken link keeps its own.
void takeFactsOfTarget(const std::wstring& path, DirectoryEntry& entry)
{
    FileHandle target(openForInformation(path, kShareAll, 0));
    BY_HANDLE_FILE_INFORMATION info;
    if (!target.valid() || !GetFileInformationByHandle(target.get(), &info))
        return;
    entry.isDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.size = entry.isDirectory ? 0 : joinHalves(info.nFileSizeHigh, info.nFileSizeLow);
    entry.lastWriteTime = toUtcSeconds(info.ftLastWriteTime);
}

}  // namespace

// ---- Directory handles ----

struct DirectoryHandle::State {
    FileHandle handle{INVALID_HANDLE_VALUE};
    // The full path in the "\\?\" form: the final path of a directory
    // opened by path, its parent's and its name for a subdirectory.
    std::wstring path;
    DirectoryIdentity identity;
    // The handle was opened with FILE_WRITE_ATTRIBUTES.
    bool canSetTime = false;
};

DirectoryHandle::DirectoryHandle() = default;
DirectoryHandle::~DirectoryHandle() = default;
DirectoryHandle::DirectoryHandle(DirectoryHandle&&) noexcept = default;
DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&&) noexcept = default;

// Sets a handle's state, which only the platform layer defines.
struct HandleAccess {
    // Holds the directory at `path`; `flags` may add
    // FILE_FLAG_OPEN_REPARSE_POINT, and then a reparse point there is
    // refused. Invalid on failure, GetLastError() telling why.
    static DirectoryHandle make(std::wstring path, DWORD flags)
    {
        DirectoryHandle result;
        auto state = std::make_unique<DirectoryHandle::State>();
        state->handle = FileHandle(openHeld(path, flags, state->canSetTime));
        BY_HANDLE_FILE_INFORMATION info;
        if (!state->handle.valid() || !GetFileInformationByHandle(state->handle.get(), &info))
            return result;
        const bool link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
                          ((flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0 && isReparsePointByName(path));
        if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            (link && (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0)) {
            SetLastError(ERROR_DIRECTORY);
            return result;
        }
        state->identity = identityFrom(info);
        state->path = std::move(path);
        result.state_ = std::move(state);
        return result;
    }
};

DirectoryHandle DirectoryHandle::open(const std::string& path)
{
    std::wstring full = longPath(path);
    if (full.empty())
        return {};
    DirectoryHandle handle = HandleAccess::make(full, 0);
    // The final path leads to the directory without the links the given
    // path went through, and is what a file's final path is compared with.
    if (handle.valid()) {
        std::wstring resolved = finalPath(handle.state_->handle.get());
        if (!resolved.empty())
            handle.state_->path = std::move(resolved);
    }
    return handle;
}

bool DirectoryHandle::valid() const
{
    return state_ != nullptr;
}

DirectoryHandle DirectoryHandle::openSubdirectory(std::string_view name) const
{
    if (!isEntryName(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return {};
    }
    return HandleAccess::make(childPath(state_->path, name), FILE_FLAG_OPEN_REPARSE_POINT);
}

DirectoryHandle DirectoryHandle::openParent() const
{
    return HandleAccess::make(parentPath(state_->path), 0);
}

bool DirectoryHandle::onNetworkFileSystem() const
{
    // A UNC path, or a drive the system calls remote.
    const std::wstring& path = state_->path;
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return true;
    if (path.size() >= 7 && path.rfind(L"\\\\?\\", 0) == 0 && path[5] == L':') {
        const wchar_t root[] = {path[4], L':', L'\\', L'\0'};
        return GetDriveTypeW(root) == DRIVE_REMOTE;
    }
    return false;
}

bool DirectoryHandle::liesIn(const DirectoryIdentity& parent) const
{
    // Where the directory stands now, as its handle tells. Windows moves no
    // directory held so; Wine does, and tracks the moves made through it.
    std::wstring now = finalPath(state_->handle.get());
    if (now.empty())
        now = state_->path;
    const FileHandle above(openForInformation(parentPath(now), kShareAll, 0));
    BY_HANDLE_FILE_INFORMATION info;
    return above.valid() && GetFileInformationByHandle(above.get(), &info) && identityFrom(info) == parent;
}

const DirectoryIdentity& DirectoryHandle::identity() const
{
    return state_->identity;
}

DirectoryIdentity DirectoryHandle::identityWithMount() const
{
    // Windows has no bind mounts: a volume's serial tells its file system.
    return state_->identity;
}

detail::DirectoryTime DirectoryHandle::modificationTime() const
{
    FILETIME written;
    if (!GetFileTime(state_->handle.get(), nullptr, nullptr, &written))
        return {};
    return {true, static_cast<std::int64_t>(joinHalves(written.dwHighDateTime, written.dwLowDateTime)), 0};
}

bool DirectoryHandle::setModificationTime(const detail::DirectoryTime& time) const
{
    if (!time.known || !state_->canSetTime)
        return false;
    const FILETIME written = toFileTime(time.seconds);
    return SetFileTime(state_->handle.get(), nullptr, nullptr, &written) != 0;
}

std::size_t DirectoryHandle::countHint() const
{
    return 0;  // A directory's size tells nothing of its entries here.
}

std::string DirectoryHandle::unwritableReason() const
{
    // Only a read-only volume is told without trying. Whether the runner
    // may create files here is a matter of the directory's access control
    // list (its read-only attribute forbids nothing), which only the
    // attempt tells for sure.
    DWORD flags = 0;
    if (GetVolumeInformationByHandleW(state_->handle.get(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
        (flags & FILE_READ_ONLY_VOLUME) != 0)
        return describeError(ERROR_WRITE_PROTECT);
    return {};
}

bool DirectoryHandle::removeStaleFile(std::string_view name, std::int64_t before) const
{
    if (!isEntryName(name))
        return false;
    const std::wstring path = childPath(state_->path, name);
    if (isReparsePointByName(path))
        return false;
    // Removed through the handle that was checked, so that only this file
    // goes, whatever is put at its name meanwhile.
    FileHandle file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILE_BASIC_INFO facts;
    if (!file.valid() || openedKind(file.get(), &facts) != OpenedKind::Regular ||
        toUtcSeconds(toFileTime(facts.LastWriteTime.QuadPart)) >= before ||
        !isOwnEntry(file.get(), path, state_->identity.device))
        return false;
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// ---- Directory reader ----

struct DirectoryReader::State {
    FindHandle search{INVALID_HANDLE_VALUE};
    WIN32_FIND_DATAW found;
    bool pending = false;   // `found` holds a name not yet handed out
    std::string name;       // the last name handed out
    std::string shortName;  // and its 8.3 alias
    std::string error;
};

DirectoryReader::DirectoryReader(const DirectoryHandle& directory) : state_(std::make_unique<State>())
{
    // The standard level of information, not the basic one: it carries the
    // 8.3 alias that a mask may match.
    const std::wstring pattern = childPath(directory.state()->path, "*");
    HANDLE handle =
        FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &state_->found, FindExSearchNameMatch, nullptr, 0);
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

bool readEntryFacts(const DirectoryHandle& directory, DirectoryEntry& entry)
{
    // A "\\?\" path takes "." and ".." as names, which no entry has.
    const std::wstring& own = directory.state()->path;
    const std::wstring path = entry.name == "."         ? own
                              : entry.name == ".."      ? parentPath(own)
                              : isEntryName(entry.name) ? childPath(own, entry.name)
                                                        : std::wstring();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.size = joinHalves(data.nFileSizeHigh, data.nFileSizeLow);
    entry.lastWriteTime = toUtcSeconds(data.ftLastWriteTime);
    if (entry.isLink) {
        // What it leads to may be a directory another job is writing into.
        const auto settled = detail::settledDirectoryTimes();
        takeFactsOfTarget(path, entry);
    }
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

// ---- Reading the start of a file ----

namespace {

// Whether the file open in `handle` lies below the directory `top`
// (compared without regard to case, as the file system does). Where the
// file lies is asked from its handle, so what is checked is what is read.
bool liesInside(HANDLE handle, const DirectoryHandle& top)
{
    std::wstring opened;
    std::wstring_view boundary;
    if (!locate(handle, top.state()->path, top.identity().device, opened, boundary))
        return false;
    while (boundary.ends_with(L'\\'))
        boundary.remove_suffix(1);
    return opened.size() > boundary.size() + 1 && opened[boundary.size()] == L'\\' &&
           equalIgnoringCase(std::wstring_view(opened).substr(0, boundary.size()), boundary);
}

// Opens the file at `path` for reading; `flags` may add
// FILE_FLAG_OPEN_REPARSE_POINT. A directory cannot be opened without
// FILE_FLAG_BACKUP_SEMANTICS, so it fails here.
HANDLE openForReading(const std::wstring& path, DWORD share, DWORD flags)
{
    return CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | flags,
                       nullptr);
}

std::size_t readStart(HANDLE handle, char* buffer, std::size_t capacity)
{
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(capacity, std::numeric_limits<DWORD>::max()));
    DWORD total = 0;
    while (total < wanted) {
        DWORD read = 0;
        if (!ReadFile(handle, buffer + total, wanted - total, &read, nullptr) || read == 0)
            break;
        total += read;
    }
    return total;
}

}  // namespace

const std::string_view kPathSeparators = "\\/";

std::size_t readFileStart(const DirectoryHandle& directory, const std::string& name, char* buffer, std::size_t capacity,
                          const LinkBoundary& boundary)
{
    // A device name is refused even though a "\\?\" path would open a file
    // of that name: no device is ever opened by mistake.
    if (capacity == 0 || !isEntryName(name) || isDeviceName(name))
        return 0;
    const std::wstring path = childPath(directory.state()->path, name);
    const bool linkByName = isReparsePointByName(path);
    FileHandle file(openForReading(path, FILE_SHARE_READ, FILE_FLAG_OPEN_REPARSE_POINT));
    OpenedKind kind = file.valid() ? openedKind(file.get()) : OpenedKind::Other;
    if (kind == OpenedKind::Other)
        return 0;
    if (kind == OpenedKind::Regular && !linkByName && isOwnEntry(file.get(), path, directory.identity().device))
        return readStart(file.get(), buffer, capacity);
    // A link, junction or other reparse point is followed only to a regular
    // file below the top of the run, as its opened handle's final path
    // tells.
    if (boundary.top == nullptr)
        return 0;
    if (kind == OpenedKind::ReparsePoint) {
        file = FileHandle(openForReading(path, FILE_SHARE_READ, 0));
        kind = file.valid() ? openedKind(file.get()) : OpenedKind::Other;
    }
    if (kind != OpenedKind::Regular || !liesInside(file.get(), *boundary.top))
        return 0;
    return readStart(file.get(), buffer, capacity);
}

SmallFile readSmallFile(const DirectoryHandle* directory, const std::string& name, std::size_t maxBytes,
                        FollowLinks follow)
{
    SmallFile file;
    const auto fail = [&file](SmallFile::Status status) {
        file.status = status;
        if (status == SmallFile::Status::Failed)
            file.error = lastErrorText();
        return std::move(file);
    };
    // In a directory, one of its entries; without one, the path as the
    // person running the program gave it.
    const std::size_t separator = name.find_last_of("\\/");
    if (directory != nullptr && separator != std::string::npos)
        return fail(SmallFile::Status::Missing);
    if (isDeviceName(separator == std::string::npos ? name : name.substr(separator + 1)))
        return fail(SmallFile::Status::NotRegular);
    const std::wstring path = directory != nullptr ? childPath(directory->state()->path, name) : longPath(name);
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        return fail(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? SmallFile::Status::Missing
                                                                                 : SmallFile::Status::Failed);
    }
    const bool noLinks = follow == FollowLinks::No;
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | (noLinks ? FILE_ATTRIBUTE_REPARSE_POINT : 0))) != 0)
        return fail(SmallFile::Status::NotRegular);
    const FileHandle handle(
        openForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE, noLinks ? FILE_FLAG_OPEN_REPARSE_POINT : 0));
    if (!handle.valid())
        return fail(SmallFile::Status::Failed);
    // Something else may have been put in its place since; and Wine follows
    // a link even when asked not to.
    LARGE_INTEGER size;
    if (openedKind(handle.get()) != OpenedKind::Regular ||
        (noLinks && directory != nullptr && !isOwnEntry(handle.get(), path, directory->identity().device)))
        return fail(SmallFile::Status::NotRegular);
    if (!GetFileSizeEx(handle.get(), &size))
        return fail(SmallFile::Status::Failed);
    if (static_cast<std::uint64_t>(size.QuadPart) > maxBytes)
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

// ---- Temporary files and interrupts ----
//
// The console control handler runs on a thread of its own while the run
// goes on. It takes the same lock as the streams that create and remove
// temporary files, removes the files still recorded, sets their
// directories' times back and keeps the lock, so that no new temporary
// file appears before the process ends.

namespace {

struct TemporaryRecord {
    // The stream's directory, which identifies the record: a stream has one
    // temporary file at a time, and each writes into a directory of its own.
    const DirectoryHandle::State* directory = nullptr;
    std::wstring directoryPath;
    std::wstring name;
    // The stream's handle of the temporary file while it is being written.
    HANDLE file = INVALID_HANDLE_VALUE;
    detail::DirectoryTime before;
    detail::DirectoryTime afterCreate;
};

std::mutex& recordsLock()
{
    static std::mutex lock;
    return lock;
}

std::vector<TemporaryRecord>& records()
{
    static std::vector<TemporaryRecord> all;
    return all;
}

BOOL WINAPI onConsoleEvent(DWORD)
{
    // Locked without a guard: the lock is kept until the process ends.
    recordsLock().lock();
    for (const TemporaryRecord& record : records()) {
        // Set back only where nothing but this run changed the directory
        // since it made its file.
        const FileHandle directory(CreateFileW(record.directoryPath.c_str(),
                                               FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        FILETIME now;
        const bool restore =
            record.before.known && directory.valid() && GetFileTime(directory.get(), nullptr, nullptr, &now) &&
            static_cast<std::int64_t>(joinHalves(now.dwHighDateTime, now.dwLowDateTime)) == record.afterCreate.seconds;
        // A file is removed only when its last handle is closed, and that
        // changes its directory's time: the stream's handle is closed
        // first (the process ends right after), so that the time set back
        // stays.
        if (record.file != INVALID_HANDLE_VALUE)
            CloseHandle(record.file);
        if (!record.name.empty())
            DeleteFileW(childPath(record.directoryPath, record.name).c_str());
        const FILETIME written = toFileTime(record.before.seconds);
        if (restore)
            SetFileTime(directory.get(), nullptr, nullptr, &written);
    }
    records().clear();
    // The next handler, the system's, ends the process.
    return FALSE;
}

std::atomic<unsigned> temporaryCounter{0};

HANDLE handleOf(const detail::SystemFile& file)
{
    return reinterpret_cast<HANDLE>(file.get());
}

}  // namespace

void removeTemporaryFilesOnInterrupt()
{
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

namespace detail {

bool SystemFile::writeAll(const char* bytes, std::size_t count) const
{
    while (count > 0) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handleOf(*this), bytes, chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes += written;
        count -= written;
    }
    return true;
}

std::optional<std::size_t> SystemFile::readAt(char* buffer, std::size_t count, std::uint64_t offset) const
{
    std::size_t total = 0;
    while (total < count) {
        const std::uint64_t at = offset + total;
        OVERLAPPED position{};
        position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
        position.OffsetHigh = static_cast<DWORD>(at >> 32);
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        DWORD read = 0;
        if (!ReadFile(handleOf(*this), buffer + total, chunk, &read, &position)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            return std::nullopt;
        }
        if (read == 0)
            break;
        total += read;
    }
    return total;
}

std::optional<std::uint64_t> SystemFile::size() const
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handleOf(*this), &size))
        return std::nullopt;
    return static_cast<std::uint64_t>(std::max<LONGLONG>(size.QuadPart, 0));
}

bool SystemFile::close()
{
    if (!valid())
        return true;
    const auto handle = reinterpret_cast<HANDLE>(std::exchange(handle_, kInvalid));
    if (!owned_)
        return true;
    // Under the records' lock, so that an interrupt never closes a handle
    // that was closed already (and perhaps given to another file since).
    const std::lock_guard guard(recordsLock());
    for (TemporaryRecord& record : records())
        if (record.file == handle)
            record.file = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0;
}

SystemFile openExisting(const DirectoryHandle& directory, const std::string& name, TargetKind& kind)
{
    kind = TargetKind::Other;
    if (!isEntryName(name) || isDeviceName(name))
        return {};
    const std::wstring path = childPath(directory.state()->path, name);
    // Shared for deletion, so that the new file can be renamed over it while
    // it is held.
    FileHandle file(openForReading(path, kShareAll, FILE_FLAG_OPEN_REPARSE_POINT));
    if (!file.valid()) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
            kind = TargetKind::Absent;
        } else if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) {
            // A directory refuses a file's open as access denied.
            const DWORD attributes = GetFileAttributesW(path.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
                kind = TargetKind::Other;
            else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                kind = TargetKind::Directory;
            else
                kind = TargetKind::Unreadable;
        }
        return {};
    }
    if (openedKind(file.get()) != OpenedKind::Regular || isReparsePointByName(path) ||
        !isOwnEntry(file.get(), path, directory.identity().device))
        return {};
    kind = TargetKind::Regular;
    return SystemFile(reinterpret_cast<std::intptr_t>(file.release()));
}

SystemFile createTemporary(const DirectoryHandle& directory, const DirectoryTime& before, DirectoryTime& afterCreate,
                           std::string& name, std::string& error)
{
    const DirectoryHandle::State& state = *directory.state();
    // Where something stands at a name already (planted, or a file of a
    // run killed before), another name is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = std::string(kTemporaryNamePrefix) + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++temporaryCounter) + "-" + std::to_string(GetTickCount() % 1000000);
        const std::wstring wideName = toWide(name);
        // Made under the records' lock, so that an interrupt either finds
        // the file recorded or finds no file. Shared for deletion, so that
        // the interrupt's removal succeeds while the stream holds it.
        const std::lock_guard guard(recordsLock());
        HANDLE file =
            CreateFileW(childPath(state.path, name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            afterCreate = directory.modificationTime();
            records().push_back({&state, state.path, wideName, file, before, afterCreate});
            return SystemFile(reinterpret_cast<std::intptr_t>(file));
        }
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)
            break;
    }
    error = lastErrorText();
    name.clear();
    return {};
}

void settleTemporary(const SystemFile&, const SystemFile*)
{
    // The new file takes the access control list its directory gives new
    // files, as any file made there does; there are no permission bits to
    // carry over, and its owner is the runner.
}

RenameResult renameTemporary(const DirectoryHandle& directory, const std::string& temporaryName,
                             const std::string& name, bool replace, std::string& error)
{
    if (!isEntryName(name)) {
        error = describeError(ERROR_INVALID_NAME);
        return RenameResult::Failed;
    }
    const std::wstring& path = directory.state()->path;
    // Without MOVEFILE_REPLACE_EXISTING the file system itself refuses a
    // name that is taken, in the same operation as the rename.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(childPath(path, temporaryName).c_str(), childPath(path, name).c_str(), flags))
        return RenameResult::Done;
    const DWORD code = GetLastError();
    if (!replace && (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS))
        return RenameResult::Taken;
    error = describeError(code);
    return RenameResult::Failed;
}

void removeTemporary(const DirectoryHandle& directory, const std::string& temporaryName)
{
    DeleteFileW(childPath(directory.state()->path, temporaryName).c_str());
    const std::lock_guard guard(recordsLock());
    for (TemporaryRecord& record : records())
        if (record.directory == directory.state())
            record.name.clear();
}

void forgetTemporary(const DirectoryHandle& directory)
{
    const std::lock_guard guard(recordsLock());
    std::erase_if(records(), [&](const TemporaryRecord& record) { return record.directory == directory.state(); });
}

namespace {

// The directory part of `path`: without its last separator ("C:\dir"),
// unless that is a root's ("C:\", "\"); "C:" for a path relative to a
// drive's current directory; "." for a bare name.
std::string directoryPart(const std::string& path)
{
    const auto separator = path.find_last_of("\\/");
    if (separator != std::string::npos)
        return path.substr(0, separator == 0 || path[separator - 1] == ':' ? separator + 1 : separator);
    if (path.size() >= 2 && path[1] == ':')
        return path.substr(0, 2);
    return ".";
}

std::string namePart(const std::string& path)
{
    const auto separator = path.find_last_of("\\/");
    if (separator != std::string::npos)
        return path.substr(separator + 1);
    if (path.size() >= 2 && path[1] == ':')
        return path.substr(2);
    return path;
}

// Where a file is written directly, as its path stands: a device name
// (NUL, CON) or a "\\.\" device path, which the long form would turn into
// a file name.
bool namesDevice(const std::string& path)
{
    return isDeviceName(namePart(path)) || path.starts_with("\\\\.\\") || path.starts_with("//./");
}

}  // namespace

PathTarget resolveOutputPath(const std::string& path)
{
    PathTarget target;
    if (namesDevice(path)) {
        target.kind = PathTarget::Kind::Stream;
        target.path = path;
        return target;
    }
    const std::wstring full = longPath(path);
    const DWORD attributes = full.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(full.c_str());
    std::string file = path;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND) {
            target.error = "open(" + path + "): " + describeError(code);
            return target;
        }
    } else {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            target.error = "open(" + path + "): " + describeError(ERROR_ACCESS_DENIED);
            return target;
        }
        const FileHandle probe(CreateFileW(full.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
        // Pipes and devices are written directly.
        if (probe.valid() && GetFileType(probe.get()) != FILE_TYPE_DISK) {
            target.kind = PathTarget::Kind::Stream;
            target.path = path;
            return target;
        }
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            // The file the link leads to is replaced; the link stays. A link
            // that leads nowhere yet has its file created through it.
            const std::wstring resolved = probe.valid() ? finalPath(probe.get()) : std::wstring();
            if (resolved.empty()) {
                target.kind = PathTarget::Kind::Stream;
                target.path = path;
                return target;
            }
            file = fromWide(resolved);
        }
    }
    target.name = namePart(file);
    target.directory = DirectoryHandle::open(directoryPart(file));
    if (!target.directory.valid()) {
        target.error = "open(" + path + "): " + lastErrorText();
        return target;
    }
    target.kind = PathTarget::Kind::InDirectory;
    return target;
}

SystemFile openStreamed(const PathTarget& target, std::string& error)
{
    const std::string& path = target.path;
    const std::wstring wide = namesDevice(path) ? toWide(path) : longPath(path);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        error = "open(" + path + "): " + lastErrorText();
    return SystemFile(reinterpret_cast<std::intptr_t>(file));
}

SystemFile standardOutputFile()
{
    // Written by handle, after what the C library holds: no text mode puts
    // a second CR before each LF.
    std::fflush(stdout);
    return SystemFile(reinterpret_cast<std::intptr_t>(GetStdHandle(STD_OUTPUT_HANDLE)), false);
}

}  // namespace detail

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

std::size_t descriptorLimit()
{
    // Windows sets no small limit on a process's handles (about 16 million);
    // this bound keeps the kernel memory a deep walk holds modest.
    return std::size_t{1} << 16;
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
