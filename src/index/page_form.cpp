// The full page: a complete HTML document around the same rows as the
// fragment, with the encoding declared, a heading, breadcrumbs back up the
// run, a footer with totals and an inline script that sorts and filters.
// Written in one pass: the totals come after the rows. The rows stand in
// groups of kRowsPerGroup, one <tbody> each, which the style lets the
// browser skip while they are off screen (see page_script.cpp).
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
constexpr std::size_t kRowsPerGroup = 200;
// Below the top, a page names at most this many levels (the last ones,
// after an ellipsis), so that its size does not grow with the depth of the
// tree.
constexpr std::size_t kShownLevels = 8;
// Deeper than this, the top's breadcrumb is no link: "../" for every level
// would make each page grow with the depth again.
constexpr std::size_t kDeepestTopLink = 64;
constexpr std::string_view kEllipsis = "&#8230;";

// The names of the levels of `path` below the top ("/docs/deep/": docs,
// deep).
std::vector<std::string_view> levelsOf(std::string_view path)
{
    std::vector<std::string_view> names;
    for (std::size_t start = 1; start < path.size();) {
        const std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos)
            break;
        names.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return names;
}

// The name of the top of the run: the title given, else the top
// directory's own name (the whole path for a root such as "/" or "C:\").
std::string_view topNameOf(const IndexOptions& options)
{
    if (!options.pageTitle.empty())
        return options.pageTitle;
    const std::string_view directory = options.directory;
    std::string_view trimmed = directory;
    while (trimmed.size() > 1 && trimmed.find_last_of(platform::kPathSeparators) == trimmed.size() - 1)
        trimmed.remove_suffix(1);
    const auto separator = trimmed.find_last_of(platform::kPathSeparators);
    const std::string_view name = separator == std::string_view::npos ? trimmed : trimmed.substr(separator + 1);
    return name.empty() || name.back() == ':' ? directory : name;
}

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
        placePath_ = place.path;
        levels_ = levelsOf(placePath_);
        topName_ = topNameOf(options);
        rowsInGroup_ = 0;
        stream.write("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"");
        stream.write(encodingName_);
        // The generator tag tells a later run, even of a page cut short,
        // that the file is this program's.
        stream.write("\">\n<meta name=\"generator\" content=\"" QUILLDEX_TITLE
                     "\">\n"
                     "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
        writePlaceName(stream, options);
        stream.write("</title>\n<style>");
        stream.write(kPageStyle);
        stream.write("</style>\n");
        extras_.emplace(options, place, encoding_);
        extras_->writeHead(stream);
        stream.write("</head>\n<body>\n");
        writeBreadcrumbs(stream, options);
        stream.write("<main>\n");
        extras_->writeBeforeHeading(stream);
        stream.write("<h1>");
        writePlaceName(stream, options);
        stream.write("</h1>\n");
        extras_->writeAboveTable(stream);
        writeTableStart(stream, options);
    }

    void writeRow(platform::OutputStream& stream, const platform::DirectoryEntry& entry, const IndexOptions& options,
                  EntryTitle title, const FolderTotal* total) override
    {
        if (entry.name == "..") {
            // The top of a run has nothing above it to lead to.
            if (levels_.empty())
                return;
            stream.write("<tr class=\"up\"");
        } else if (entry.isDirectory) {
            stream.write("<tr class=\"dir\"");
            if (total) {
                stream.write(" data-size=\"");
                writeNumber(stream, total->bytes);
                stream.write("\" data-files=\"");
                writeNumber(stream, total->files);
                stream.write('"');
            }
        } else {
            stream.write("<tr data-size=\"");
            writeNumber(stream, entry.size);
            stream.write('"');
        }
        stream.write(" data-mtime=\"");
        writeNumber(stream, entry.lastWriteTime);
        stream.write("\"><td>");
        writeNameCell(stream, entry, options, title);
        stream.write("</td>");
        writePageFactCells(stream, entry, options, total);
        stream.write("</tr>\n");
        if (++rowsInGroup_ == kRowsPerGroup) {
            stream.write("</tbody>\n<tbody>\n");
            rowsInGroup_ = 0;
        }
    }

    void writeFooter(platform::OutputStream& stream, const IndexOptions& options, const ListingTotals& totals) override
    {
        // The script runs once the table is complete. The credit line
        // comes last, where a later run looks for it to know the file as
        // one it wrote.
        stream.write("</tbody>\n</table>\n");
        extras_->writeBelowTable(stream);
        stream.write("</main>\n<script>");
        stream.write(pageScript(options.folderTotals));
        stream.write("</script>\n");
        if (options.treeIndex) {
            stream.write("<script data-tree=\"");
            for (std::size_t level = 0; level < levels_.size(); ++level)
                stream.write("../");
            stream.write("index.tree.js\">");
            stream.write(kTreeSwitchScript);
            stream.write("</script>\n");
        }
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

    // The name of this directory in its title and heading: "Index of top",
    // "Index of top / docs / deep", or with a title given "Title / docs /
    // deep"; the levels between the top and the last kShownLevels as an
    // ellipsis.
    void writePlaceName(platform::OutputStream& stream, const IndexOptions& options)
    {
        if (options.pageTitle.empty())
            stream.write(kTitleStart);
        writeText(stream, topName_);
        const std::size_t first = firstShownLevel();
        if (first > 0) {
            stream.write(" / ");
            stream.write(kEllipsis);
        }
        for (std::size_t level = first; level < levels_.size(); ++level) {
            stream.write(" / ");
            writeText(stream, levels_[level]);
        }
    }

    std::size_t firstShownLevel() const { return levels_.size() > kShownLevels ? levels_.size() - kShownLevels : 0; }

    // "top > docs > deep": each directory above this one, up to the top of
    // the run, links to its index file; this one is plain text. Only a
    // recursive run has written those files. Deep down, the levels between
    // the top and the last kShownLevels are an ellipsis, and the top is no
    // link below kDeepestTopLink levels.
    void writeBreadcrumbs(platform::OutputStream& stream, const IndexOptions& options)
    {
        stream.write("<nav aria-label=\"Breadcrumbs\"><ol>");
        const std::size_t first = firstShownLevel();
        writeCrumb(stream, options, topName_, levels_.size(), levels_.size() <= kDeepestTopLink);
        if (first > 0) {
            stream.write("<li>");
            stream.write(kEllipsis);
            stream.write("</li>");
        }
        for (std::size_t level = first; level < levels_.size(); ++level)
            writeCrumb(stream, options, levels_[level], levels_.size() - level - 1, true);
        stream.write("</ol></nav>\n");
    }

    // One breadcrumb, `up` levels above this directory.
    void writeCrumb(platform::OutputStream& stream, const IndexOptions& options, std::string_view label, std::size_t up,
                    bool linked)
    {
        if (up == 0) {
            stream.write("<li aria-current=\"page\">");
        } else if (!options.recursive || !linked) {
            stream.write("<li>");
        } else {
            stream.write("<li><a href=\"");
            for (std::size_t i = 0; i < up; ++i)
                stream.write("../");
            writeLink(stream, options.outputName, isPageLinkSafe);
            stream.write("\">");
            writeText(stream, label);
            stream.write("</a></li>");
            return;
        }
        writeText(stream, label);
        stream.write("</li>");
    }

    // The table and its header row. The script keeps directories before
    // files when the listing put them there. Rows listed by name, plainly
    // or naturally, stand in the order the Filename column sorts by (or its
    // reverse), unless titles are shown there; then the script sorts them
    // by what is shown once it starts. The column the listing is ordered by
    // says so from the start. The columns' widths are fixed, so that every
    // row is laid out alone.
    void writeTableStart(platform::OutputStream& stream, const IndexOptions& options)
    {
        const bool nameOrder = options.sortKey == SortKey::Name || options.sortKey == SortKey::Natural;
        const std::string_view direction = options.reverseOrder ? "-1\"" : "1\"";
        stream.write("<table");
        if (options.directoriesFirst)
            stream.write(" data-dirs-first");
        if (nameOrder)
            stream.write(options.readTitles ? " data-shown-order=\"" : " data-name-order=\"");
        if (nameOrder)
            stream.write(direction);
        stream.write(" style=\"--columns:minmax(0,1fr)");
        if (options.showSize)
            stream.write(options.sizeStyle == SizeStyle::Bytes ? " 9.5em" : " 6.5em");
        if (options.showTime)
            stream.write(" 5.5em");
        if (options.showDate)
            stream.write(" 6.75em");
        stream.write("\">\n<thead><tr>");
        writeHeading(stream, options, "name", "Filename", nameOrder && !options.readTitles);
        if (options.showSize)
            writeHeading(stream, options, "size", "Size", options.sortKey == SortKey::Size);
        if (options.showTime)
            writeHeading(stream, options, "time", "Time", options.sortKey == SortKey::Time);
        if (options.showDate)
            writeHeading(stream, options, "time", "Date", options.sortKey == SortKey::Time && !options.showTime);
        stream.write("</tr></thead>\n<tbody>\n");
    }

    static void writeHeading(platform::OutputStream& stream, const IndexOptions& options, std::string_view key,
                             std::string_view label, bool sorted)
    {
        stream.write("<th scope=\"col\" data-sort=\"");
        stream.write(key);
        stream.write('"');
        if (sorted)
            stream.write(options.reverseOrder ? " aria-sort=\"descending\"" : " aria-sort=\"ascending\"");
        stream.write('>');
        stream.write(label);
        stream.write("</th>");
    }

    // The name cell's text, as the fragment's (the same link target), under
    // the page's stricter escaping. A directory's name ends in '/'; a
    // document shown by its title has its file name beside it.
    void writeNameCell(platform::OutputStream& stream, const platform::DirectoryEntry& entry,
                       const IndexOptions& options, EntryTitle title)
    {
        if (options.makeLinks) {
            stream.write("<a href=\"");
            writeLink(stream, options.linkPrefix, isPagePrefixSafe);
            writeLink(stream, entry.name, isPageLinkSafe);
            if (entry.isDirectory) {
                stream.write('/');
                writeLink(stream, options.outputName, isPageLinkSafe);
            }
            stream.write("\">");
        } else if (title) {
            stream.write("<span>");
        }
        if (title)
            writeText(stream, *title, TextSource::Title);
        else
            writeText(stream, entry.name);
        if (entry.isDirectory && entry.name != "..")
            stream.write('/');
        if (options.makeLinks)
            stream.write("</a>");
        else if (title)
            stream.write("</span>");
        if (title) {
            stream.write(" <small>");
            writeText(stream, entry.name);
            stream.write("</small>");
        }
    }

    std::string encodingName_;
    PageEncoding encoding_;
    // Of the directory being written.
    std::string placePath_;
    std::vector<std::string_view> levels_;
    std::string_view topName_;
    std::size_t rowsInGroup_ = 0;
    // Made with the header, for the directory being written.
    std::optional<PageExtras> extras_;
};

}  // namespace

std::unique_ptr<IndexForm> makePageForm()
{
    return std::make_unique<PageForm>();
}

}  // namespace quilldex
