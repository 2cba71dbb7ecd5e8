#include "index/directory_index.h"

#include <array>

#include "index/index_writer.h"
#include "index/message_text.h"
#include "index/own_files.h"

namespace quilldex {

namespace {

// "call(path): reason" with the stream's name replaced by the index's path
// from the top.
std::string renamed(const std::string& error, const std::string& streamName, const std::string& path)
{
    const std::string from = "(" + streamName + "):";
    const auto at = error.find(from);
    if (at == std::string::npos)
        return error;
    return error.substr(0, at) + "(" + shortened(lineSafe(path)) + "):" + error.substr(at + from.size());
}

std::string keptNote(const std::string& indexPath)
{
    return "kept(" + shortened(lineSafe(indexPath)) + "): not written by this program; --force replaces it";
}

// Whether the file a stream found (or found appeared) is this program's,
// by its first and last bytes.
template <typename ReadStart, typename ReadEnd>
bool isOwn(const IndexOptions& options, ReadStart&& readStart, ReadEnd&& readEnd)
{
    std::array<char, kOwnFileStartBytes> start;
    std::array<char, kOwnFileEndBytes> end;
    const auto startCount = readStart(start.data(), start.size());
    const auto endCount = readEnd(end.data(), end.size());
    if (!startCount || !endCount)
        return false;  // unreadable: another's
    // The size only matters when it is 0, which the end's read shows.
    const std::uint64_t size = *endCount;
    return writtenByThisProgram(options.form, size, std::string_view(start.data(), *startCount),
                                std::string_view(end.data(), *endCount));
}

}  // namespace

ListedDirectory listDirectory(const platform::DirectoryHandle& directory, const IndexOptions& options,
                              const std::function<std::string()>& pathFromTop)
{
    ListedDirectory listed;
    listed.listing = std::make_unique<DirectoryListing>(directory, options, true);
    if (const std::string& failure = listed.listing->readError(); !failure.empty()) {
        // An index of part of the directory would pass for the whole.
        listed.message = "readdir(" + shortened(lineSafe(pathFromTop())) + "): " + failure;
        listed.listing.reset();
    }
    return listed;
}

DirectoryIndexResult indexDirectory(const platform::DirectoryHandle& directory, const IndexOptions& options,
                                    DirectoryPlace place, const std::function<std::string()>& pathFromTop,
                                    std::int64_t runStart)
{
    ListedDirectory listed = listDirectory(directory, options, pathFromTop);
    if (!listed.listing) {
        DirectoryIndexResult result;
        result.message = std::move(listed.message);
        return result;
    }
    return writeDirectoryIndex(directory, *listed.listing, options, std::move(place), pathFromTop, runStart);
}

DirectoryIndexResult writeDirectoryIndex(const platform::DirectoryHandle& directory, DirectoryListing& listing,
                                         const IndexOptions& options, DirectoryPlace place,
                                         const std::function<std::string()>& pathFromTop, std::int64_t runStart)
{
    DirectoryIndexResult result;
    const auto indexPath = [&] {
        const std::string path = pathFromTop();
        return path == "." ? options.outputName : path + "/" + options.outputName;
    };
    if (!options.checkOnly) {
        for (const std::string& name : listing.temporaryNames())
            directory.removeStaleFile(name, runStart);
    }

    const auto hint = listing.outputNamePresent() ? platform::ExistingFile::Present : platform::ExistingFile::Absent;
    platform::OutputStream stream;
    const bool opened = options.checkOnly ? stream.openComparison(directory, options.outputName, hint)
                                          : stream.open(directory, options.outputName, hint);
    if (!opened) {
        result.message = renamed(stream.error(), options.outputName, indexPath());
        return result;
    }
    result.subdirectories = listing.subdirectories();
    const auto readStart = [&](char* b, std::size_t n) { return stream.readExistingStart(b, n); };
    const auto readEnd = [&](char* b, std::size_t n) { return stream.readExistingEnd(b, n); };
    const bool foreign = (stream.existingFound() || stream.existingUnreadable()) && !isOwn(options, readStart, readEnd);
    if (options.keepForeignFiles && foreign) {
        stream.abandon();
        result.outcome = IndexOutcome::Kept;
        result.message = keptNote(indexPath());
        return result;
    }

    place.directory = &directory;
    result.rows = writeIndex(stream, options, listing, place);
    if (!stream.close()) {
        if (stream.taken()) {
            // A file appeared at the free name while this one was written:
            // the same rule as for a file that was there.
            const auto takenStart = [&](char* b, std::size_t n) { return stream.readTakenStart(b, n); };
            const auto takenEnd = [&](char* b, std::size_t n) { return stream.readTakenEnd(b, n); };
            if (options.keepForeignFiles && !isOwn(options, takenStart, takenEnd)) {
                stream.abandon();
                result.outcome = IndexOutcome::Kept;
                result.message = keptNote(indexPath());
                return result;
            }
            if (stream.replaceTaken()) {
                result.outcome = IndexOutcome::Written;
                return result;
            }
        }
        result.subdirectories.clear();
        result.message = renamed(stream.error(), options.outputName, indexPath());
        return result;
    }
    if (!stream.changed()) {
        result.outcome = IndexOutcome::Unchanged;
        return result;
    }
    if (options.checkOnly) {
        // The run would have to write here, and could not.
        if (const std::string reason = directory.unwritableReason(); !reason.empty()) {
            result.subdirectories.clear();
            result.message = "open(" + shortened(lineSafe(indexPath())) + "): " + reason;
            return result;
        }
    }
    result.outcome = IndexOutcome::Written;
    return result;
}

}  // namespace quilldex
