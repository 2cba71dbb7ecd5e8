// The index of one directory, written in one pass in listing order.
#include "index/index_writer.h"

#include "index/document_title.h"
#include "index/tree_manifest.h"
#include "version.h"

namespace quilldex {

const std::string_view kHomePageUrl = QUILLDEX_HOME_PAGE;

std::size_t writeIndex(platform::OutputStream& stream, const IndexOptions& options, DirectoryListing& listing,
                       const DirectoryPlace& place)
{
    const std::unique_ptr<IndexForm> form = makeIndexForm(options);
    if (!listing.anyMatched() && !form->writesEmptyListing())
        return 0;

    form->writeHeader(stream, options, place);
    ListingTotals totals;
    std::size_t rows = 0;
    platform::DirectoryEntry entry;
    // Filled only when titles are read; the title found points into it.
    TitleBuffer titleBuffer;
    while (listing.next(entry)) {
        if (place.manifestRows && place.manifestRows->leavesOut(entry.name))
            continue;
        EntryTitle title;
        // A directory has no title to read, so it is spared the open call.
        if (options.readTitles && !entry.isDirectory && place.directory != nullptr)
            title = readDocumentTitle(*place.directory, entry.name, titleBuffer, place.boundary);
        const FolderTotal* total = nullptr;
        if (entry.isDirectory && place.folderTotals != nullptr && entry.name != "..") {
            const auto found = place.folderTotals->find(entry.name);
            if (found != place.folderTotals->end())
                total = &found->second;
        }
        form->writeRow(stream, entry, options, title, total);
        if (place.manifestRows)
            place.manifestRows->add(entry, title);
        ++rows;
        // The way up is a row but not part of what the directory holds.
        if (entry.name == "..")
            continue;
        if (entry.isDirectory) {
            ++totals.directories;
        } else {
            ++totals.files;
            totals.fileBytes += entry.size;
        }
    }
    form->writeFooter(stream, options, totals);
    return rows;
}

std::size_t writeIndexTable(platform::OutputStream& stream, const platform::DirectoryHandle& directory,
                            const IndexOptions& options)
{
    DirectoryListing listing(directory, options);
    DirectoryPlace place;
    place.directory = &directory;
    place.boundary.top = &directory;
    return writeIndex(stream, options, listing, place);
}

}  // namespace quilldex
