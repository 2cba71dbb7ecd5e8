#include "index/link_text.h"
#include "index/document_title.h"
#include "index/cell_texts.h"
#include "index/cell_writers.h"
#include "platform/marked_text.h"

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

// A link prefix is the user's URL text, written as it is. Where it carries
// characters the code page lacks, it goes in as UTF-8 like the names, with
// only the bytes outside ASCII escaped, so that its own '/', ':' and '%'
// keep their meaning.
void writeLinkPrefix(platform::OutputStream& stream, const std::string& prefix)
{
    if (!platform::carriesMarkedCharacters(prefix)) {
        stream.write(prefix);
        return;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char c : platform::toUtf8(prefix)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            stream.write(c);
        } else {
            const char escape[3] = {'%', kHex[byte >> 4], kHex[byte & 0x0F]};
            stream.write(std::string_view(escape, 3));
        }
    }
}

// Each character the code page lacks as a numeric character reference, which
// is valid in any encoding; the rest as any name is shown.
void writeMarkedName(platform::OutputStream& stream, std::string_view name)
{
    const auto write = [&](std::string_view piece) { stream.write(piece); };
    platform::forEachMarkedPiece(
        name, [&](std::string_view run) { forEachDisplayPiece(run, write); },
        [&](char32_t codePoint) {
            ShortText reference;
            reference.append("&#");
            reference.appendNumber(codePoint);
            reference.append(';');
            stream.write(reference.view());
        });
}

}  // namespace

void writeNameCell(platform::OutputStream& stream, const platform::DirectoryEntry& entry, const IndexOptions& options)
{
    // Filled only when titles are on; the title found points into it.
    TitleBuffer buffer;
    std::optional<std::string_view> title;
    // A directory has no title to read, so it is spared the open call.
    if (options.readTitles && !entry.isDirectory)
        title = readDocumentTitle(entry.name, buffer, options.directory);

    if (options.makeLinks) {
        stream.write("<a href=\"");
        writeLinkPrefix(stream, options.linkPrefix);
        writeLinkTarget(stream, entry.name);
        if (entry.isDirectory) {
            stream.write('/');
            if (platform::carriesMarkedCharacters(options.outputName))
                writeLinkTarget(stream, options.outputName);
            else
                stream.write(options.outputName);
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
