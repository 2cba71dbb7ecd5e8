#include "support/temp_tree.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>

#include "version.h"

namespace quilldex::testing {

namespace {

// Whether a file system is still mounted at or below `root`, as the
// system's mount table tells (none where there is no such table). A tree
// that holds one is not deleted: a deletion that went through a bind mount
// would empty the folder it shows.
bool holdsMounts(const fs::path& root)
{
    std::ifstream table("/proc/self/mountinfo");
    const std::string top = root.string();
    std::string line;
    while (std::getline(table, line)) {
        // The fifth field is the mount point.
        std::size_t at = 0;
        for (int field = 0; field < 4 && at != std::string::npos; ++field)
            at = line.find(' ', at + 1);
        if (at == std::string::npos)
            continue;
        const std::string point = line.substr(at + 1, line.find(' ', at + 1) - at - 1);
        if (point == top || point.starts_with(top + "/"))
            return true;
    }
    return false;
}

}  // namespace

TempTree::TempTree()
{
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const auto base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = base / ("quilldex-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
        if (fs::create_directory(candidate)) {
            root_ = fs::canonical(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempTree::~TempTree()
{
    if (holdsMounts(root_)) {
        std::fprintf(stderr, "%s still holds a mount: left as it is\n", root_.string().c_str());
        return;
    }
    std::error_code ignored;
    // Restore permissions that tests took away so the tree can be removed.
    for (auto it = fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
}

fs::path TempTree::file(std::string_view relative, std::string_view content)
{
    return fileAt(path(relative), content);
}

fs::path TempTree::utf8File(std::string_view relative, std::string_view content)
{
    return fileAt(utf8Path(relative), content);
}

fs::path TempTree::fileAt(const fs::path& target, std::string_view content)
{
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out)
        throw std::runtime_error("cannot write " + target.string());
    return target;
}

fs::path TempTree::sizedFile(std::string_view relative, std::uintmax_t size)
{
    const auto target = file(relative);
    fs::resize_file(target, size);
    return target;
}

fs::path TempTree::dir(std::string_view relative)
{
    const auto target = path(relative);
    fs::create_directories(target);
    return target;
}

void setLastWriteTime(const fs::path& path, std::int64_t utcSeconds)
{
#ifdef _WIN32
    // The C++ library opens a directory without the flag Windows needs for
    // it, so the time is set through a handle opened with that flag.
    if (fs::is_directory(path)) {
        const auto ticks = static_cast<std::uint64_t>(utcSeconds * 10000000LL + 116444736000000000LL);
        const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        const HANDLE handle = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        const bool set = handle != INVALID_HANDLE_VALUE && SetFileTime(handle, nullptr, nullptr, &time);
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        if (!set)
            throw std::runtime_error("SetFileTime(" + path.string() + ") failed");
        return;
    }
#endif
    using namespace std::chrono;
    const sys_seconds when{seconds{utcSeconds}};
    fs::last_write_time(path, fs::file_time_type::clock::from_sys(when));
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ChangeDirectory::ChangeDirectory(const fs::path& path) : previous_(fs::current_path())
{
    fs::current_path(path);
}

ChangeDirectory::~ChangeDirectory()
{
    std::error_code ignored;
    fs::current_path(previous_, ignored);
}

std::string creditLine()
{
    return "</table><p>Created by <a href=\"" QUILLDEX_HOME_PAGE "\">QUILLDEX 1.0.7</a></p>";
}

std::string headerRow(bool size, bool time, bool date)
{
    std::string row =
        "<table align=\"center\" width=\"100%\" cellspacing=\"0\" border=\"1\"><tr bgcolor=\"#EEEEEE\">"
        "<td align=\"center\"><b>Filename</b></td>";
    if (size)
        row += "<td align=\"center\"><b>Size</b></td>";
    if (time)
        row += "<td align=\"center\"><b>Time</b></td>";
    if (date)
        row += "<td align=\"center\"><b>Date</b></td>";
    return row + "</tr>\r\n";
}

std::string nameRow(const std::string& name)
{
    return "<tr><td>" + name + "</td></tr>\r\n";
}

}  // namespace quilldex::testing
