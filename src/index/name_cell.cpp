#include "index/link_text.h"
#include "index/document_title.h"
#include "index/cell_writers.h"
#include "platform/marked_text.h"

#include <charconv>
#include <cstdint>

namespace quilldex {

namespace {

// A name that carries characters the code page lacks is linked by its whole
// UTF-8 form, which browsers and Windows web servers resolve; any other name
// by its bytes, as always.
void writeLinkTarget(platform::OutputStream& stream, const std::string& name)
{
    const auto write = [&](std::string_view piece) { stream.write(piece); };
    if (platform::carriesMarkedCharacters(name))
        forEachEscapedPiece(platform::toUtf8(name), write);
    else
        forEachEscapedPiece(name, write);
}

// A link prefix is the user's URL text, written as it is but for the bytes
// that could end the attribute or the tag, or break the URL: '"', '<', '>',
// control bytes and space are percent-escaped, so that "http://a/?q=1#x"
// keeps working and no prefix can leave its attribute. Where it carries
// characters the code page lacks, it goes in as UTF-8 like the names, with
// the bytes outside ASCII escaped as well.
void writeLinkPrefix(platform::OutputStream& stream, const std::string& prefix)
{
    static constexpr char kHex[] = "0123456789abcdef";
    const bool marked = platform::carriesMarkedCharacters(prefix);
    // Converted only where needed: a row costs no copy of the prefix.
    const std::string utf8 = marked ? platform::toUtf8(prefix) : std::string();
    const std::string_view text = marked ? std::string_view(utf8) : std::string_view(prefix);
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool escaped =
            byte <= ' ' || byte == 0x7F || byte == '"' || byte == '<' || byte == '>' || (marked && byte >= 0x80);
        if (!escaped)
            continue;
        stream.write(text.substr(runStart, i - runStart));
        const char escape[3] = {'%', kHex[byte >> 4], kHex[byte & 0x0F]};
        stream.write(std::string_view(escape, 3));
        runStart = i + 1;
    }
    stream.write(text.substr(runStart));
}

// Each character the code page lacks as a numeric character reference, which
// is valid in any encoding; the rest as any name is shown.
void writeMarkedName(platform::OutputStream& stream, std::string_view name)
{
    const auto write = [&](std::string_view piece) { stream.write(piece); };
    platform::forEachMarkedPiece(
        name, [&](std::string_view run) { forEachDisplayPiece(run, write); },
        [&](char32_t codePoint) {
            char reference[16] = "&#";
            const auto number = static_cast<std::uint32_t>(codePoint);
            char* const end = std::to_chars(reference + 2, reference + sizeof reference - 1, number).ptr;
            *end = ';';
            stream.write(std::string_view(reference, static_cast<std::size_t>(end + 1 - reference)));
        });
}

}  // namespace

void writeNameCell(platform::OutputStream& stream, const platform::DirectoryEntry& entry, const IndexOptions& options,
                   std::optional<std::string_view> title)
{
    if (options.makeLinks) {
        stream.write("<a href=\"");
        writeLinkPrefix(stream, options.linkPrefix);
        writeLinkTarget(stream, entry.name);
        if (entry.isDirectory) {
            stream.write('/');
            // Escaped like any name: a '#' or '?' in it would end the path.
            // A single run with folder totals, the one that lists
            // directories, writes no index there: its link is the
            // directory's.
            if (options.recursive || !options.folderTotals)
                writeLinkTarget(stream, options.outputName);
        }
        stream.write("\">");
    }
    // A title is HTML text already; a name may hold '<' or '>' on POSIX.
    if (title)
        stream.write(*title);
    else if (platform::carriesMarkedCharacters(entry.name))
        writeMarkedName(stream, entry.name);
    else
        forEachDisplayPiece(entry.name, [&](std::string_view piece) { stream.write(piece); });
    if (options.makeLinks)
        stream.write("</a>");
}

}  // namespace quilldex
