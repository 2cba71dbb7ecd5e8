#include "index/page_cells.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string>

#include "index/cell_writers.h"
#include "index/json_text.h"

namespace quilldex {

namespace {

void writeNumber(platform::OutputStream& stream, std::uint64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    stream.write(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

// A cell whose text is a time: marked up with the full date, time and
// offset, so that a reader in another zone can tell the moment meant.
void writeTimeCell(platform::OutputStream& stream, const ShortText& text, std::string_view dateTime)
{
    stream.write("<td><time datetime=\"");
    stream.write(dateTime);
    stream.write("\">");
    stream.write(text.view());
    stream.write("</time></td>");
}

void writeSizeWithBytes(platform::OutputStream& stream, const platform::DirectoryEntry& entry)
{
    stream.write("<td title=\"");
    writeNumber(stream, entry.size);
    stream.write(entry.size == 1 ? " byte\">" : " bytes\">");
    stream.write(sizeText(entry.size, false, SizeStyle::Human).view());
    stream.write("</td>");
}

// The tooltip gives the exact byte count, which a rounded size hides.
void writeFolderTotalCell(platform::OutputStream& stream, const FolderTotal& total, SizeStyle style)
{
    stream.write(total.lowerBound ? "<td title=\"at least " : "<td title=\"");
    writeNumber(stream, total.bytes);
    stream.write(total.bytes == 1 ? " byte\">" : " bytes\">");
    if (total.lowerBound)
        stream.write("&ge; ");
    stream.write(sizeText(total.bytes, false, style).view());
    stream.write(" &middot; ");
    writeNumber(stream, total.files);
    stream.write(total.files == 1 ? " file</td>" : " files</td>");
}

}  // namespace

std::optional<ShortText> dateTimeText(const platform::LocalTime& localTime, std::int32_t offsetSeconds)
{
    if (offsetSeconds % 60 != 0)
        return std::nullopt;
    ShortText text;
    text.append(dateText(localTime).view());
    text.append('T');
    text.appendTwoDigits(localTime.hour);
    text.append(':');
    text.appendTwoDigits(localTime.minute);
    text.append(':');
    text.appendTwoDigits(localTime.second);
    const std::int32_t minutes = offsetSeconds / 60;
    text.append(minutes < 0 ? '-' : '+');
    text.appendTwoDigits(std::abs(minutes) / 60);
    text.append(':');
    text.appendTwoDigits(std::abs(minutes) % 60);
    return text;
}

void writePageFactCells(platform::OutputStream& stream, const platform::DirectoryEntry& entry,
                        const IndexOptions& options, const FolderTotal* total)
{
    if (options.showSize) {
        if (total)
            writeFolderTotalCell(stream, *total, options.sizeStyle);
        else if (options.sizeStyle == SizeStyle::Human && !entry.isDirectory)
            writeSizeWithBytes(stream, entry);
        else
            writeSizeCell(stream, entry, options.sizeStyle);
    }
    if (!options.showTime && !options.showDate)
        return;
    const platform::LocalTime localTime = platform::toLocalTime(entry.lastWriteTime);
    const auto local = dateTimeText(localTime, platform::utcOffsetAt(entry.lastWriteTime));
    // Under an offset of seconds, the same moment in UTC, within the years
    // shown.
    constexpr platform::UtcSeconds kEarliest = -11644473600;  // 1601-01-01 00:00:00 UTC
    const std::string utc =
        local ? std::string() : utcTimestamp(std::clamp(entry.lastWriteTime, kEarliest, platform::kLatestShownTime));
    const std::string_view dateTime = local ? local->view() : std::string_view(utc);
    if (options.showTime)
        writeTimeCell(stream, timeText(localTime), dateTime);
    if (options.showDate)
        writeTimeCell(stream, dateText(localTime), dateTime);
}

}  // namespace quilldex
