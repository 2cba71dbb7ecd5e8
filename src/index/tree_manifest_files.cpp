#include "index/tree_manifest_files.h"

#include <array>
#include <functional>

#include "index/own_files.h"

namespace quilldex {

namespace {

template <typename Read>
bool isOwn(Read&& read)
{
    std::array<char, kOwnFileStartBytes> start;
    const auto count = read(start.data(), start.size());
    return count && treeManifestWrittenByThisProgram(std::string_view(start.data(), *count));
}

void writeFile(const platform::DirectoryHandle& top, const IndexOptions& options, std::string_view name,
               const std::function<void(platform::OutputStream&)>& write, RunReport& report)
{
    const std::string fileName(name);
    const std::string kept = "kept(" + fileName + "): not written by this program; --force replaces it";
    platform::OutputStream stream;
    const bool opened = options.checkOnly ? stream.openComparison(top, fileName) : stream.open(top, fileName);
    if (!opened) {
        report.problems.push_back(stream.error());
        return;
    }
    const bool foreign = (stream.existingFound() || stream.existingUnreadable()) &&
                         !isOwn([&](char* b, std::size_t n) { return stream.readExistingStart(b, n); });
    if (options.keepForeignFiles && foreign) {
        stream.abandon();
        report.notes.push_back(kept);
        return;
    }
    write(stream);
    if (!stream.close()) {
        if (stream.taken()) {
            // A file appeared at the free name meanwhile: the same rule.
            if (options.keepForeignFiles &&
                !isOwn([&](char* b, std::size_t n) { return stream.readTakenStart(b, n); })) {
                stream.abandon();
                report.notes.push_back(kept);
                return;
            }
            if (stream.replaceTaken())
                return;
        }
        report.problems.push_back(stream.error());
        return;
    }
    if (!options.checkOnly || !stream.changed())
        return;
    if (const std::string reason = top.unwritableReason(); !reason.empty()) {
        report.problems.push_back("open(" + fileName + "): " + reason);
        return;
    }
    report.stale.push_back(fileName);
}

}  // namespace

void writeTreeManifest(const platform::DirectoryHandle& top, const IndexOptions& options, const TreeManifest& manifest,
                       RunReport& report)
{
    // One after the other: a stream sets the directory's time back only
    // where nothing else changed the directory while it wrote, and the
    // top's time is on the ".." rows of the pages one level down.
    writeFile(
        top, options, kTreeJsonName,
        [&](platform::OutputStream& stream) { manifest.writeJson(stream, options.outputName); }, report);
    writeFile(
        top, options, kTreeScriptName,
        [&](platform::OutputStream& stream) { manifest.writeScript(stream, options.outputName); }, report);
}

}  // namespace quilldex
