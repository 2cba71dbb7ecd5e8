// The floor: the least work any directory index has to do, as a bare loop
// to measure quilldex-cli against.
//   floor list DIR         read the directory, fstatat each entry, convert
//                          its time with localtime_r, print one line
//   floor titles DIR       the same, and open, read 1024 bytes, close
//   floor tree DIR NAME    the list loop in every directory of the tree
//                          (each opened with openat and read once), each
//                          directory's lines written to a file NAME in that
//                          directory, as a recursive index must
// Lines go to standard output (list, titles) or to the per-directory files.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

void printLine(std::FILE* out, const char* shown, const struct stat& status)
{
    const time_t when = status.st_mtime;
    struct tm local;
    localtime_r(&when, &local);
    std::fprintf(out, "%s %llu %04d-%02d-%02d\n", shown, static_cast<unsigned long long>(status.st_size),
                 local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

// The text after "<title>" up to the next '<', or the name.
const char* titleOr(const char* name, char* buffer, std::size_t length, std::string& title)
{
    const void* tag = memmem(buffer, length, "<title>", 7);
    if (tag == nullptr)
        return name;
    const char* start = static_cast<const char*>(tag) + 7;
    const char* end = static_cast<const char*>(std::memchr(start, '<', buffer + length - start));
    title.assign(start, end == nullptr ? buffer + length : end);
    return title.empty() ? name : title.c_str();
}

int list(const char* path, bool titles)
{
    DIR* directory = opendir(path);
    if (directory == nullptr) {
        std::perror(path);
        return 1;
    }
    const int fd = dirfd(directory);
    char buffer[1024];
    std::string title;
    while (const dirent* entry = readdir(directory)) {
        if (isDotOrDotDot(entry->d_name))
            continue;
        struct stat status;
        if (fstatat(fd, entry->d_name, &status, 0) != 0)
            continue;
        const char* shown = entry->d_name;
        if (titles) {
            const int file = openat(fd, entry->d_name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (file >= 0) {
                const ssize_t got = read(file, buffer, sizeof buffer);
                close(file);
                if (got > 0)
                    shown = titleOr(entry->d_name, buffer, static_cast<std::size_t>(got), title);
            }
        }
        printLine(stdout, shown, status);
    }
    closedir(directory);
    return 0;
}

// Depth first, each directory read once: its file written, then its
// subdirectories visited; links to directories are listed but not followed.
// Single-threaded on purpose: it is the bound for one walk at a time.
void walk(int fd, const char* outputName)
{
    DIR* directory = fdopendir(fd);
    if (directory == nullptr) {
        close(fd);
        return;
    }
    const int out = openat(fd, outputName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::FILE* file = out < 0 ? nullptr : fdopen(out, "w");
    std::vector<std::string> subdirectories;
    while (const dirent* entry = readdir(directory)) {
        if (isDotOrDotDot(entry->d_name) || std::strcmp(entry->d_name, outputName) == 0)
            continue;
        struct stat status;
        if (fstatat(fd, entry->d_name, &status, 0) != 0)
            continue;
        if (file != nullptr)
            printLine(file, entry->d_name, status);
        // Where the read tells no kind, the status does; O_NOFOLLOW below
        // refuses a link.
        if (entry->d_type == DT_DIR || (entry->d_type == DT_UNKNOWN && S_ISDIR(status.st_mode)))
            subdirectories.emplace_back(entry->d_name);
    }
    if (file != nullptr)
        std::fclose(file);
    for (const std::string& name : subdirectories) {
        const int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0)
            walk(child, outputName);
    }
    closedir(directory);
}

}  // namespace

int main(int argc, char** argv)
{
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    const std::string mode = argc > 1 ? argv[1] : "";
    if ((mode == "list" || mode == "titles") && argc == 3)
        return list(argv[2], mode == "titles");
    if (mode == "tree" && argc == 4) {
        const int fd = open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            std::perror(argv[2]);
            return 1;
        }
        walk(fd, argv[3]);
        return 0;
    }
    std::fprintf(stderr, "usage: floor list DIR | floor titles DIR | floor tree DIR NAME\n");
    return 2;
}
