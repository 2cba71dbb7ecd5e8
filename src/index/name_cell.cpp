#include "index/link_text.h"
#include "index/document_title.h"
#include "index/cell_writers.h"

namespace quilldex {

void writeNameCell(platform::OutputStream& stream, const platform::DirectoryEntry& entry, const IndexOptions& options)
{
    // Filled only when titles are on; the title found points into it.
    TitleBuffer buffer;
    std::optional<std::string_view> title;
    // A directory has no title to read, so it is spared the open call.
    if (options.readTitles && !entry.isDirectory)
        title = readDocumentTitle(entry.name, buffer);

    const auto write = [&](std::string_view piece) { stream.write(piece); };
    if (options.makeLinks) {
        stream.write("<a href=\"");
        stream.write(options.linkPrefix);
        forEachEscapedPiece(entry.name, write);
        if (entry.isDirectory) {
            stream.write('/');
            stream.write(options.outputName);
        }
        stream.write("\">");
    }
    // A title is HTML text already; a name may hold '<' or '>' on POSIX.
    if (title)
        stream.write(*title);
    else
        forEachDisplayPiece(entry.name, write);
    if (options.makeLinks)
        stream.write("</a>");
}

}  // namespace quilldex
