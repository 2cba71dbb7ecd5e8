// Real directory trees in a temporary folder, for tests that run the real
// code against the real file system.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace quilldex::testing {

namespace fs = std::filesystem;

// A fresh, empty directory under the system's temporary folder, removed with
// everything in it when the object goes.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const fs::path& root() const { return root_; }
    fs::path path(std::string_view relative) const { return root_ / fs::path(relative); }
    // The same for a path given in UTF-8, which fs::path would read in the
    // code page on Windows.
    fs::path utf8Path(std::string_view relative) const
    {
        return root_ / fs::path(std::u8string(relative.begin(), relative.end()));
    }

    // Creates a file (and the directories above it) holding `content`.
    fs::path file(std::string_view relative, std::string_view content = {});
    fs::path utf8File(std::string_view relative, std::string_view content = {});
    // Creates a file of `size` bytes without writing them (a sparse file
    // where the system allows it).
    fs::path sizedFile(std::string_view relative, std::uintmax_t size);
    fs::path dir(std::string_view relative);

private:
    static fs::path fileAt(const fs::path& target, std::string_view content);
    fs::path root_;
};

// Sets the last-write time of `path` to `utcSeconds` since 1970.
void setLastWriteTime(const fs::path& path, std::int64_t utcSeconds);

// The whole content of a file, byte for byte ("" when it does not exist).
std::string readFile(const fs::path& path);

// Makes a directory current for its lifetime and then returns to the one
// that was current before.
class ChangeDirectory {
public:
    explicit ChangeDirectory(const fs::path& path);
    ~ChangeDirectory();
    ChangeDirectory(const ChangeDirectory&) = delete;
    ChangeDirectory& operator=(const ChangeDirectory&) = delete;

private:
    fs::path previous_;
};

// The credit line that closes every non-empty index.
std::string creditLine();

// Header row for the given columns, with its CR LF.
std::string headerRow(bool size, bool time, bool date);

// An entry row with the name cell only, with its CR LF.
std::string nameRow(const std::string& name);

}  // namespace quilldex::testing
