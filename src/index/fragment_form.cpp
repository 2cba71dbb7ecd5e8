// The HTML fragment: a table with a header row, one row per entry, then the
// closing and the credit line. Meant to be served beside the files or
// pasted into another page, so it has no document around it.
#include "index/cell_writers.h"
#include "index/index_form.h"
#include "index/index_writer.h"
#include "version.h"

namespace quilldex {

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

class FragmentForm final : public IndexForm {
public:
    void writeHeader(platform::OutputStream& stream, const IndexOptions& options, const DirectoryPlace&) override
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

    void writeRow(platform::OutputStream& stream, const platform::DirectoryEntry& entry, const IndexOptions& options,
                  EntryTitle title, const FolderTotal* total) override
    {
        stream.write(kRowStart);
        stream.write(kCellStart);
        writeNameCell(stream, entry, options, title);
        stream.write(kCellEnd);
        writeFactCells(stream, entry, options, total);
        stream.write(kRowEnd);
    }

    void writeFooter(platform::OutputStream& stream, const IndexOptions&, const ListingTotals&) override
    {
        stream.write(kTableClosing);
        stream.write(kCreditStart);
        stream.write(kHomePageUrl);
        stream.write(kCreditEnd);
    }
};

}  // namespace

std::unique_ptr<IndexForm> makeFragmentForm()
{
    return std::make_unique<FragmentForm>();
}

}  // namespace quilldex
