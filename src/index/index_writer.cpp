// The index table: header row, one row per listed entry, closing and
// credit line, written in one pass in the order the search yields them.
#include "index/index_writer.h"

#include "version.h"

namespace quilldex {

const std::string_view kHomePageUrl = QUILLDEX_HOME_PAGE;

namespace {

constexpr std::string_view kTableOpening =
    "<table align=\"center\" width=\"100%\" cellspacing=\"0\" border=\"1\"><tr bgcolor=\"#EEEEEE\">";
constexpr std::string_view kFilenameHeader = "<td align=\"center\"><b>Filename</b></td>";
constexpr std::string_view kSizeHeader = "<td align=\"center\"><b>Size</b></td>";
constexpr std::string_view kTimeHeader = "<td align=\"center\"><b>Time</b></td>";
constexpr std::string_view kDateHeader = "<td align=\"center\"><b>Date</b></td>";
constexpr std::string_view kRowStart = "<tr>";
constexpr std::string_view kCellStart = "<td>";
constexpr std::string_view kCellEnd = "</td>";
constexpr std::string_view kRowEnd = "</tr>\n";
constexpr std::string_view kTableClosing = "</table>";
constexpr std::string_view kCreditStart = "<p>Created by <a href=\"";
constexpr std::string_view kCreditEnd = "\">" QUILLDEX_TITLE "</a></p>";

bool isListed(const DirectoryEntry& entry, const IndexOptions& options)
{
    if (entry.isDirectory && !options.recursive)
        return false;
    // The index file itself, when it lies in the listed directory. The
    // comparison is exact: "Index.html" does not hide "index.html".
    if (entry.name == options.outputName)
        return false;
    return entry.name != ".";
}

void writeHeaderRow(OutputStream& stream, const IndexOptions& options)
{
    stream.write(kTableOpening);
    stream.write(kFilenameHeader);
    if (options.showSize)
        stream.write(kSizeHeader);
    if (options.showTime)
        stream.write(kTimeHeader);
    if (options.showDate)
        stream.write(kDateHeader);
    stream.write(kRowEnd);
}

void writeEntryRow(OutputStream& stream, const DirectoryEntry& entry, const IndexOptions& options)
{
    stream.write(kRowStart);
    stream.write(kCellStart);
    writeNameCell(stream, entry, options);
    stream.write(kCellEnd);
    if (options.showSize)
        writeSizeCell(stream, entry, options.sizeStyle);
    if (options.showTime || options.showDate) {
        const LocalTime localTime = platform::toLocalTime(entry.lastWriteTime);
        if (options.showTime)
            writeTimeCell(stream, localTime);
        if (options.showDate)
            writeDateCell(stream, localTime);
    }
    stream.write(kRowEnd);
}

}  // namespace

std::size_t writeIndexTable(OutputStream& stream, const IndexOptions& options)
{
    // Sizes and times cost a status call per entry; without those columns
    // the kind of each entry is all the filters need.
    const bool needsFacts = options.showSize || options.showTime || options.showDate;
    platform::DirectorySearch search(options.fileMask,
                                     needsFacts ? platform::EntryFacts::Full : platform::EntryFacts::Kind);
    DirectoryEntry entry;
    if (!search.next(entry))
        return 0;

    writeHeaderRow(stream, options);
    std::size_t rows = 0;
    do {
        if (!isListed(entry, options))
            continue;
        writeEntryRow(stream, entry, options);
        ++rows;
    } while (search.next(entry));
    stream.write(kTableClosing);
    stream.write(kCreditStart);
    stream.write(kHomePageUrl);
    stream.write(kCreditEnd);
    return rows;
}

}  // namespace quilldex
