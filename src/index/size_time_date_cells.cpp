#include <charconv>
#include <cstring>

#include "index/cell_texts.h"
#include "index/cell_writers.h"

namespace quilldex {

void ShortText::append(std::string_view text)
{
    std::memcpy(bytes_.data() + length_, text.data(), text.size());
    length_ += text.size();
}

void ShortText::appendNumber(std::uint64_t value)
{
    const auto result = std::to_chars(bytes_.data() + length_, bytes_.data() + kCapacity, value);
    length_ = static_cast<std::size_t>(result.ptr - bytes_.data());
}

void ShortText::appendTwoDigits(int value)
{
    if (value >= 0 && value < 10)
        append('0');
    const auto result = std::to_chars(bytes_.data() + length_, bytes_.data() + kCapacity, value);
    length_ = static_cast<std::size_t>(result.ptr - bytes_.data());
}

namespace {

constexpr std::uint64_t kKilobyteThreshold = 2048;
constexpr std::uint64_t kMegabyte = std::uint64_t{1} << 20;

// The size in megabytes with two decimals, a half hundredth rounded up.
// Worked out in integers: a double cannot hold every 64-bit size, and
// printf rounds exact halves to even on some libraries.
void appendMegabytes(ShortText& text, std::uint64_t size)
{
    std::uint64_t whole = size >> 20;
    std::uint64_t hundredths = ((size & (kMegabyte - 1)) * 100 + kMegabyte / 2) >> 20;
    if (hundredths == 100) {
        ++whole;
        hundredths = 0;
    }
    text.appendNumber(whole);
    text.append('.');
    text.appendTwoDigits(static_cast<int>(hundredths));
    text.append(" mb");
}

void appendKilobytes(ShortText& text, std::uint64_t size)
{
    text.appendNumber(size >> 10);
    text.append(" kb");
}

void appendBytes(ShortText& text, std::uint64_t size)
{
    text.appendNumber(size);
    text.append(" bytes");
}

// Bytes below 1 KiB ("1 byte", "512 bytes"); else the largest IEC unit the size reaches, with two
// decimals, a half hundredth rounded up, and a size that rounds to 1024.00
// of a unit written as 1.00 of the next ("1023 bytes", "1.00 KiB",
// "5.00 GiB"). In integers, as appendMegabytes.
void appendHuman(ShortText& text, std::uint64_t size)
{
    static constexpr std::string_view kUnits[] = {" KiB", " MiB", " GiB", " TiB", " PiB", " EiB"};
    if (size < 1024) {
        text.appendNumber(size);
        text.append(size == 1 ? " byte" : " bytes");
        return;
    }
    std::size_t unit = 0;
    while (unit + 1 < std::size(kUnits) && (size >> (10 * (unit + 2))) != 0)
        ++unit;
    const int shift = 10 * static_cast<int>(unit + 1);
    std::uint64_t whole = size >> shift;
    const std::uint64_t rest = size & ((std::uint64_t{1} << shift) - 1);
    // (100 * rest + half a unit) >> shift, without overflow: rest is split
    // into its top ten bits and the bits below them.
    const int lowShift = shift - 10;
    const std::uint64_t top = rest >> lowShift;
    const std::uint64_t low = rest & ((std::uint64_t{1} << lowShift) - 1);
    std::uint64_t hundredths = (100 * top + 512 + ((100 * low) >> lowShift)) >> 10;
    if (hundredths == 100) {
        ++whole;
        hundredths = 0;
    }
    if (whole == 1024 && unit + 1 < std::size(kUnits)) {
        whole = 1;
        ++unit;
    }
    text.appendNumber(whole);
    text.append('.');
    text.appendTwoDigits(static_cast<int>(hundredths));
    text.append(kUnits[unit]);
}

}  // namespace

ShortText sizeText(std::uint64_t size, bool isDirectory, SizeStyle style)
{
    ShortText text;
    if (isDirectory) {
        text.append("DIR");
        return text;
    }
    switch (style) {
    case SizeStyle::Bytes:
        appendBytes(text, size);
        break;
    case SizeStyle::Kilobytes:
        appendKilobytes(text, size);
        break;
    case SizeStyle::Megabytes:
        appendMegabytes(text, size);
        break;
    case SizeStyle::Human:
        appendHuman(text, size);
        break;
    case SizeStyle::Auto:
        if (size >= kMegabyte)
            appendMegabytes(text, size);
        else if (size >= kKilobyteThreshold)
            appendKilobytes(text, size);
        else
            appendBytes(text, size);
        break;
    }
    return text;
}

ShortText timeText(const platform::LocalTime& localTime)
{
    ShortText text;
    text.appendTwoDigits(localTime.hour);
    text.append(':');
    text.appendTwoDigits(localTime.minute);
    text.append('.');
    text.appendTwoDigits(localTime.second);
    return text;
}

ShortText dateText(const platform::LocalTime& localTime)
{
    ShortText text;
    text.appendTwoDigits(localTime.year);
    text.append('-');
    text.appendTwoDigits(localTime.month);
    text.append('-');
    text.appendTwoDigits(localTime.day);
    return text;
}

namespace {

void writeCell(platform::OutputStream& stream, const ShortText& text)
{
    stream.write("<td>");
    stream.write(text.view());
    stream.write("</td>");
}

}  // namespace

void writeSizeCell(platform::OutputStream& stream, const platform::DirectoryEntry& entry, SizeStyle sizeStyle)
{
    writeCell(stream, sizeText(entry.size, entry.isDirectory, sizeStyle));
}

void writeTimeCell(platform::OutputStream& stream, const platform::LocalTime& localTime)
{
    writeCell(stream, timeText(localTime));
}

void writeDateCell(platform::OutputStream& stream, const platform::LocalTime& localTime)
{
    writeCell(stream, dateText(localTime));
}

void writeFactCells(platform::OutputStream& stream, const platform::DirectoryEntry& entry, const IndexOptions& options,
                    const FolderTotal* total)
{
    if (options.showSize && total) {
        stream.write(total->lowerBound ? "<td>&ge; " : "<td>");
        stream.write(sizeText(total->bytes, false, options.sizeStyle).view());
        stream.write("</td>");
    } else if (options.showSize) {
        writeSizeCell(stream, entry, options.sizeStyle);
    }
    if (options.showTime || options.showDate) {
        const platform::LocalTime localTime = platform::toLocalTime(entry.lastWriteTime);
        if (options.showTime)
            writeTimeCell(stream, localTime);
        if (options.showDate)
            writeDateCell(stream, localTime);
    }
}

}  // namespace quilldex
