// Writes the benchmark data sets into a directory that must not exist yet:
//   make_data flat DIR FILES            one directory of FILES files
//   make_data tree DIR DIRS FILES       DIRS directories holding FILES files
//   make_data utf8-tree DIR DIRS FILES  the same with names in UTF-8: each
//                                       Latin-1 letter as its two bytes
//   make_data wide DIR LEVELS FANOUT FILES
//                                       FILES files in every directory and
//                                       FANOUT subdirectories in each down to
//                                       LEVELS levels below the top
//   make_data titles DIR FILES          small HTML documents with titles
// Names, sizes and times vary the way a real file collection does, from a
// fixed seed, so that every run measures the same data. Files other than
// the documents are sparse: their size costs no disk space or write time.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

std::mt19937_64 generator(20010425);
// Latin-1 letters in names as UTF-8 (two bytes each) rather than one byte.
bool utf8Names = false;

[[noreturn]] void die(const char* call, const std::string& path)
{
    std::fprintf(stderr, "make_data: %s(%s): %s\n", call, path.c_str(), std::strerror(errno));
    std::exit(1);
}

std::uint64_t below(std::uint64_t limit)
{
    return std::uniform_int_distribution<std::uint64_t>(0, limit - 1)(generator);
}

// Mostly plain ASCII words, with the spaces, punctuation, capitals and
// high bytes that make escaping and sorting do real work.
std::string randomName(std::set<std::string>& taken)
{
    static const char* const stems[] = {"report", "IMG_",   "notes", "Invoice", "backup", "data",
                                        "photo",  "README", "draft", "scan",    "track",  "setup"};
    static const char* const extensions[] = {".txt", ".jpg", ".pdf", ".html", ".tar.gz", ".c",
                                             ".cpp", ".mp3", ".doc", "",      ".JPG",    ".png"};
    static const char odd[] = " &%#+,()'-_~[]!";
    for (;;) {
        std::string name = stems[below(std::size(stems))];
        const auto extra = 1 + below(24);
        for (std::uint64_t i = 0; i < extra; ++i) {
            const auto kind = below(20);
            if (kind < 12)
                name += static_cast<char>('a' + below(26));
            else if (kind < 15)
                name += static_cast<char>('0' + below(10));
            else if (kind < 17)
                name += static_cast<char>('A' + below(26));
            else if (kind < 19)
                name += odd[below(sizeof odd - 1)];
            else if (const auto letter = 0xC0 + below(0x30); utf8Names)  // Latin-1 letters
                name += {static_cast<char>(0xC0 | letter >> 6), static_cast<char>(0x80 | (letter & 0x3F))};
            else
                name += static_cast<char>(letter);
        }
        name += extensions[below(std::size(extensions))];
        if (taken.insert(name).second)
            return name;
    }
}

// Sizes spread over six orders of magnitude, as in a home directory.
std::uint64_t randomSize()
{
    const auto digits = below(8);
    std::uint64_t limit = 1;
    for (std::uint64_t i = 0; i < digits; ++i)
        limit *= 10;
    return below(limit * 4) + (below(10) == 0 ? 0 : 1);
}

// Last-write times over thirty years, so that summer and winter time both
// occur.
void setRandomTime(int directory, const std::string& name)
{
    const std::int64_t from = 631152000;  // 1990-01-01
    timespec times[2] = {};
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(from + below(30ull * 365 * 86400));
    if (utimensat(directory, name.c_str(), times, 0) != 0)
        die("utimensat", name);
}

void makeSparseFile(int directory, const std::string& name)
{
    const int fd = openat(directory, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        die("openat", name);
    if (ftruncate(fd, static_cast<off_t>(randomSize())) != 0)
        die("ftruncate", name);
    close(fd);
    setRandomTime(directory, name);
}

int makeDirectory(int parent, const std::string& name)
{
    if (mkdirat(parent, name.c_str(), 0755) != 0)
        die("mkdirat", name);
    const int fd = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        die("openat", name);
    return fd;
}

void makeFlat(const std::string& path, long files)
{
    const int top = makeDirectory(AT_FDCWD, path);
    std::set<std::string> taken;
    for (long i = 0; i < files; ++i)
        makeSparseFile(top, randomName(taken));
    close(top);
}

// Directory i (from 1) lies in directory (i - 1) / fanout, so the tree is
// a few levels deep and every level is wide; the files are spread evenly.
void makeTree(const std::string& path, long directories, long files)
{
    const long fanout = 8;
    std::vector<std::string> paths{path};
    if (mkdir(path.c_str(), 0755) != 0)
        die("mkdir", path);
    for (long i = 1; i < directories; ++i) {
        std::string name = "dir " + std::to_string(i);
        if (below(4) == 0)
            name += static_cast<char>('A' + below(26));
        paths.push_back(paths[static_cast<std::size_t>((i - 1) / fanout)] + "/" + name);
        if (mkdir(paths.back().c_str(), 0755) != 0)
            die("mkdir", paths.back());
    }
    for (long d = 0; d < directories; ++d) {
        const int fd = open(paths[static_cast<std::size_t>(d)].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            die("open", paths[static_cast<std::size_t>(d)]);
        std::set<std::string> taken;
        const long here = files / directories + (d < files % directories ? 1 : 0);
        for (long i = 0; i < here; ++i)
            makeSparseFile(fd, randomName(taken));
        close(fd);
    }
}

// Every directory alike: (FANOUT^(LEVELS+1) - 1) / (FANOUT - 1) of them,
// as a walk's cost per directory is easiest to read off such a tree.
void makeWide(const std::string& path, long levels, long fanout, long files)
{
    if (mkdir(path.c_str(), 0755) != 0)
        die("mkdir", path);
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        die("open", path);
    std::set<std::string> taken;
    for (long i = 0; i < files; ++i)
        makeSparseFile(fd, randomName(taken));
    close(fd);
    if (levels == 0)
        return;
    for (long i = 1; i <= fanout; ++i) {
        std::string name = "dir " + std::to_string(i);
        if (below(4) == 0)
            name += static_cast<char>('A' + below(26));
        makeWide(path + "/" + name, levels - 1, fanout, files);
    }
}

// Documents of 200 to 4000 bytes; most have a title near the start, some a
// title in capitals, some none, a few a title beyond the first 1024 bytes.
void makeTitles(const std::string& path, long files)
{
    const int top = makeDirectory(AT_FDCWD, path);
    std::string text;
    for (long i = 0; i < files; ++i) {
        const auto kind = below(20);
        text = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"iso-8859-1\">\n";
        if (kind == 0)
            text.append(1100, ' ');
        if (kind < 16)
            text += "<title>Page " + std::to_string(i) + " of the archive &amp; notes</title>\n";
        else if (kind < 18)
            text += "<TITLE>PAGE " + std::to_string(i) + "</TITLE>\n";
        text += "</head>\n<body>\n";
        const auto body = 100 + below(3800);
        while (text.size() < body)
            text += "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit.</p>\n";
        text += "</body>\n</html>\n";
        const std::string name = "page" + std::to_string(i) + (kind == 19 ? ".htm" : ".html");
        const int fd = openat(top, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            die("openat", name);
        if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            die("write", name);
        close(fd);
        setRandomTime(top, name);
    }
    close(top);
}

long number(const char* text)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value <= 0) {
        std::fprintf(stderr, "make_data: not a positive number: %s\n", text);
        std::exit(2);
    }
    return value;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string kind = argc > 1 ? argv[1] : "";
    if (kind == "flat" && argc == 4)
        makeFlat(argv[2], number(argv[3]));
    else if ((kind == "tree" || kind == "utf8-tree") && argc == 5) {
        utf8Names = kind == "utf8-tree";
        makeTree(argv[2], number(argv[3]), number(argv[4]));
    } else if (kind == "wide" && argc == 6)
        makeWide(argv[2], number(argv[3]), number(argv[4]), number(argv[5]));
    else if (kind == "titles" && argc == 4)
        makeTitles(argv[2], number(argv[3]));
    else {
        std::fprintf(stderr,
                     "usage: make_data flat DIR FILES | tree DIR DIRS FILES | utf8-tree DIR DIRS FILES | "
                     "wide DIR LEVELS FANOUT FILES | "
                     "titles DIR FILES\n");
        return 2;
    }
    return 0;
}
