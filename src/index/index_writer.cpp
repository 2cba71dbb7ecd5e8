// The index of one directory, written in one pass in listing order.
#include "index/index_writer.h"

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
    while (listing.next(entry)) {
        form->writeRow(stream, entry, options);
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

std::size_t writeIndexTable(platform::OutputStream& stream, const IndexOptions& options)
{
    DirectoryListing listing(options);
    return writeIndex(stream, options, listing, DirectoryPlace{});
}

}  // namespace quilldex
