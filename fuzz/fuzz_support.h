// What the fuzz targets share: a private working directory, and the bytes a
// text becomes in an index file.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "index/cell_writers.h"
#include "index/document_title.h"

namespace quilldex::fuzzing {

using platform::DirectoryEntry;
using platform::OutputStream;

// Makes a fresh temporary directory current for the rest of the process
// and removes it when the process exits. It lies in memory where possible:
// ext4 writes a truncated and rewritten file out to disk when it is
// closed, which would slow each run to a disk write.
inline void enterScratchDirectory()
{
    std::error_code ignored;
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", ignored) ? "/dev/shm" : std::filesystem::temp_directory_path();
    static std::string path = (base / "quilldex-fuzz.XXXXXX").string();
    if (mkdtemp(path.data()) == nullptr || chdir(path.c_str()) != 0) {
        std::perror("quilldex-fuzz: scratch directory");
        std::abort();
    }
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    });
}

inline void writeWholeFile(const char* name, std::string_view content)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

inline std::string readWholeFile(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The output stream writes every line feed as CR LF and nothing else
// changes.
inline std::string withCrLf(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// The name cell of `entry` as it reaches a file through a real output
// stream, line ends translated.
inline std::string writtenNameCell(const DirectoryEntry& entry, const IndexOptions& options)
{
    {
        // The title as the writer reads it, from the scratch directory.
        TitleBuffer buffer;
        std::optional<std::string_view> title;
        if (options.readTitles && !entry.isDirectory)
            title = readDocumentTitle(platform::DirectoryHandle::open("."), entry.name, buffer);
        OutputStream stream;
        if (!stream.open("cell.txt"))
            std::abort();
        writeNameCell(stream, entry, options, title);
        if (!stream.close())
            std::abort();
    }
    return readWholeFile("cell.txt");
}

// Aborts with both texts shown when they differ.
inline void expectEqual(const char* what, const std::string& actual, const std::string& expected)
{
    if (actual == expected)
        return;
    std::fprintf(stderr, "%s differs\n  actual:   %zu bytes\n  expected: %zu bytes\n", what, actual.size(),
                 expected.size());
    std::fwrite(actual.data(), 1, actual.size(), stderr);
    std::fputs("\n--- expected:\n", stderr);
    std::fwrite(expected.data(), 1, expected.size(), stderr);
    std::fputs("\n", stderr);
    std::abort();
}

}  // namespace quilldex::fuzzing
