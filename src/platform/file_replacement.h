// What the output stream needs from each system to replace a file safely:
// where the output lands, a temporary file beside the target, and the
// rename that puts it in the target's place. posix.cpp and win32.cpp
// implement it; only the platform layer includes this header.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace quilldex::platform::detail {

struct OutputTarget {
    // Replace: a regular file, or none yet, written through a temporary
    // file. Stream: a device, FIFO or terminal, written directly. Refuse:
    // nothing may be written there (`error` tells why).
    enum class Kind { Replace, Stream, Refuse } kind = Kind::Refuse;
    // The file to write: the path given, or what a link there leads to.
    std::string path;
    bool exists = false;
    // The time of the directory the file is in, taken before anything in
    // it changes.
    DirectoryTime directoryTime;
    std::string error;
};

OutputTarget resolveOutputTarget(const std::string& path, FollowLinks follow);

// Opens `path` for writing as it stands (created or truncated).
std::FILE* openStreamed(const std::string& path, std::string& error);

// Opens the regular file `path` for reading, or gives nothing; never
// blocks and never follows a link.
std::FILE* openForComparison(const std::string& path);

// Creates an empty temporary file in the directory of `target`, with the
// permissions a new file there gets. Until it is renamed or removed, an
// interrupt removes it.
std::FILE* createTemporaryBeside(const std::string& target, std::string& temporaryPath, std::string& error);

// Creates `path`, which must not exist yet, for writing; until
// keepCreated() or removeTemporary(), an interrupt removes it. Nothing when
// it cannot (one has appeared there since, for instance).
std::FILE* createNew(const std::string& path, std::string& createdPath);
// The file from createNew() is complete: an interrupt leaves it.
void keepCreated();

// Renames the closed temporary file over `target`, giving it the
// permission bits (and owner, where allowed) of the file it replaces.
bool renameOver(const std::string& temporaryPath, const std::string& target, std::string& error);

void removeTemporary(const std::string& temporaryPath);

// Sets the modification time of the directory `target` lies in back.
void restoreDirectoryTime(const std::string& target, const DirectoryTime& time);

}  // namespace quilldex::platform::detail
