// The full page: a complete HTML document around the same rows as the
// fragment, with the encoding declared, a heading, breadcrumbs back up the
// run, a footer with totals and an inline script that sorts and filters.
// Written in one pass: the totals come after the rows.
#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "index/cell_texts.h"
#include "index/cell_writers.h"
#include "index/document_title.h"
#include "index/index_form.h"
#include "index/index_writer.h"
#include "index/page_assets.h"
#include "index/page_cells.h"
#include "index/page_extras.h"
#include "index/page_text.h"
#include "platform/marked_text.h"
#include "version.h"

namespace quilldex {

namespace {

constexpr std::string_view kTitleStart = "Index of ";

class PageForm final : public IndexForm {
public:
    PageForm()
        : encodingName_(platform::textEncodingName()),
          encoding_(encodingName_ == "utf-8" ? PageEncoding::Utf8 : PageEncoding::CodePage)
    {
    }

    // A page is a complete document even when nothing matched.
    bool writesEmptyListing() const override { return true; }

    void writeHeader(platform::OutputStream& stream, const IndexOptions& options, const DirectoryPlace& place) override
    {
        stream.write("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"");
        stream.write(encodingName_);
        stream.write("\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
        stream.write(kTitleStart);
        writeText(stream, place.path);
        stream.write("</title>\n<style>");
        stream.write(kPageStyle);
        stream.write("</style>\n");
        extras_.emplace(options, place, encoding_);
        extras_->writeHead(stream);
        stream.write("</head>\n<body>\n");
        writeBreadcrumbs(stream, options, place);
        extras_->writeBeforeHeading(stream);
        stream.write("<h1>");
        stream.write(kTitleStart);
        writeText(stream, place.path);
        stream.write("</h1>\n");
        extras_->writeAboveTable(stream);
        // The script keeps directories before files when the listing put
        // them there. Rows listed by name, plainly or naturally, already
        // stand in the order the Name column sorts by (or its reverse).
        stream.write("<table");
        if (options.directoriesFirst)
            stream.write(" data-dirs-first");
        if (options.sortKey == SortKey::Name || options.sortKey == SortKey::Natural)
            stream.write(options.reverseOrder ? " data-name-order=\"-1\"" : " data-name-order=\"1\"");
        stream.write(">\n");
        stream.write("<thead><tr><th scope=\"col\" data-sort=\"name\">Filename</th>");
        if (options.showSize)
            stream.write("<th scope=\"col\" data-sort=\"size\">Size</th>");
        if (options.showTime)
            stream.write("<th scope=\"col\" data-sort=\"time\">Time</th>");
        if (options.showDate)
            stream.write("<th scope=\"col\" data-sort=\"time\">Date</th>");
        stream.write("</tr></thead>\n<tbody>\n");
    }

    void writeRow(platform::OutputStream& stream, const platform::DirectoryEntry& entry,
                  const IndexOptions& options) override
    {
        if (entry.name == "..") {
            stream.write("<tr class=\"up\"");
        } else if (entry.isDirectory) {
            stream.write("<tr class=\"dir\"");
        } else {
            stream.write("<tr data-size=\"");
            writeNumber(stream, entry.size);
            stream.write('"');
        }
        stream.write(" data-mtime=\"");
        writeNumber(stream, entry.lastWriteTime);
        stream.write("\"><td>");
        writeNameCell(stream, entry, options);
        stream.write("</td>");
        writePageFactCells(stream, entry, options);
        stream.write("</tr>\n");
    }

    void writeFooter(platform::OutputStream& stream, const IndexOptions& options, const ListingTotals& totals) override
    {
        // The script runs once the table is complete. The credit line
        // comes last, where a later run looks for it to know the file as
        // one it wrote.
        stream.write("</tbody>\n</table>\n<script>");
        stream.write(kPageScript);
        stream.write("</script>\n");
        extras_->writeBelowTable(stream);
        stream.write("<footer>\n<p>");
        writeCount(stream, totals.directories, "directory", "directories");
        stream.write(", ");
        writeCount(stream, totals.files, "file", "files");
        stream.write(", ");
        stream.write(sizeText(totals.fileBytes, false, options.sizeStyle).view());
        stream.write("</p>\n");
        extras_->writeBeforeCredit(stream);
        stream.write("<p>Created by <a href=\"");
        stream.write(kHomePageUrl);
        stream.write("\">" QUILLDEX_TITLE "</a></p>\n</footer>\n</body>\n</html>\n");
    }

private:
    void writeText(platform::OutputStream& stream, std::string_view text, TextSource source = TextSource::Name)
    {
        const auto write = [&](std::string_view piece) { stream.write(piece); };
        // A title is the file's bytes, never marked text.
        if (source == TextSource::Title || !platform::carriesMarkedCharacters(text)) {
            forEachPageTextPiece(text, encoding_, source, write);
            return;
        }
        // Each character the code page lacks as a numeric reference, valid
        // in any encoding; a lone surrogate, which no page may hold, as the
        // replacement character.
        platform::forEachMarkedPiece(
            text, [&](std::string_view run) { forEachPageTextPiece(run, encoding_, source, write); },
            [&](char32_t codePoint) {
                stream.write("&#");
                const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
                writeNumber(stream, static_cast<std::uint32_t>(surrogate ? 0xFFFD : codePoint));
                stream.write(';');
            });
    }

    // Link targets are percent-encoded UTF-8, which browsers resolve on
    // file:// and web servers decode; names in a code page are converted
    // first, so that a page links the same on every system.
    template <typename IsSafe>
    void writeLink(platform::OutputStream& stream, std::string_view text, IsSafe&& isSafe)
    {
        const auto write = [&](std::string_view piece) { stream.write(piece); };
        if (encoding_ == PageEncoding::Utf8)
            forEachPageLinkPiece(text, isSafe, write);
        else
            forEachPageLinkPiece(platform::toUtf8(text), isSafe, write);
    }

    template <typename Number>
    static void writeNumber(platform::OutputStream& stream, Number value)
    {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        stream.write(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
    }

    static void writeCount(platform::OutputStream& stream, std::uint64_t count, std::string_view one,
                           std::string_view many)
    {
        writeNumber(stream, count);
        stream.write(' ');
        stream.write(count == 1 ? one : many);
    }

    // "Top > docs > deep": each directory above this one, up to the top of
    // the run, links to its index file; this one is plain text. Only a
    // recursive run has written those files.
    void writeBreadcrumbs(platform::OutputStream& stream, const IndexOptions& options, const DirectoryPlace& place)
    {
        std::vector<std::string_view> names;
        for (std::size_t start = 1; start < place.path.size();) {
            const std::size_t slash = place.path.find('/', start);
            if (slash == std::string::npos)
                break;
            names.emplace_back(place.path.data() + start, slash - start);
            start = slash + 1;
        }
        stream.write("<nav aria-label=\"Breadcrumbs\"><ol>");
        for (std::size_t level = 0; level <= names.size(); ++level) {
            const std::string_view label = level == 0 ? std::string_view("Top") : names[level - 1];
            if (level == names.size() || !options.recursive) {
                stream.write("<li aria-current=\"page\">");
                writeText(stream, label);
                stream.write("</li>");
                continue;
            }
            stream.write("<li><a href=\"");
            for (std::size_t up = level; up < names.size(); ++up)
                stream.write("../");
            writeLink(stream, options.outputName, isPageLinkSafe);
            stream.write("\">");
            writeText(stream, label);
            stream.write("</a></li>");
        }
        stream.write("</ol></nav>\n");
    }

    // The name cell's text, as the fragment's (the same link target and the
    // same title or name), under the page's stricter escaping.
    void writeNameCell(platform::OutputStream& stream, const platform::DirectoryEntry& entry,
                       const IndexOptions& options)
    {
        TitleBuffer buffer;
        std::optional<std::string_view> title;
        if (options.readTitles && !entry.isDirectory)
            title = readDocumentTitle(entry.name, buffer, options.directory);
        if (options.makeLinks) {
            stream.write("<a href=\"");
            writeLink(stream, options.linkPrefix, isPagePrefixSafe);
            writeLink(stream, entry.name, isPageLinkSafe);
            if (entry.isDirectory) {
                stream.write('/');
                writeLink(stream, options.outputName, isPageLinkSafe);
            }
            stream.write("\">");
        }
        if (title)
            writeText(stream, *title, TextSource::Title);
        else
            writeText(stream, entry.name);
        if (options.makeLinks)
            stream.write("</a>");
    }

    std::string encodingName_;
    PageEncoding encoding_;
    // Made with the header, for the directory being written.
    std::optional<PageExtras> extras_;
};

}  // namespace

std::unique_ptr<IndexForm> makePageForm()
{
    return std::make_unique<PageForm>();
}

}  // namespace quilldex
