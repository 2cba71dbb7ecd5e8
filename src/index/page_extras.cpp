#include "index/page_extras.h"

#include <algorithm>
#include <string>

#include "index/readme_block.h"
#include "index/relative_url.h"

namespace quilldex {

namespace {

// A trusted fragment inside a block of its own, so that a theme can place
// it.
void writeFragment(platform::OutputStream& stream, std::string_view className, const std::string& fragment)
{
    if (fragment.empty())
        return;
    stream.write("<div class=\"");
    stream.write(className);
    stream.write("\">\n");
    stream.write(fragment);
    if (!fragment.ends_with('\n'))
        stream.write('\n');
    stream.write("</div>\n");
}

}  // namespace

PageExtras::PageExtras(const IndexOptions& options, const DirectoryPlace& place, PageEncoding encoding)
    : options_(options), place_(place), encoding_(encoding),
      depth_(static_cast<std::size_t>(std::count(place.path.begin(), place.path.end(), '/')) - 1)
{
}

void PageExtras::writeHead(platform::OutputStream& stream) const
{
    const SiteOptions& site = options_.site;
    if (!site.style.empty()) {
        stream.write("<style>");
        stream.write(site.style);
        stream.write("</style>\n");
    }
    if (!site.styleHref.empty()) {
        stream.write("<link rel=\"stylesheet\" href=\"");
        // A relative URL names a place from the top of the run.
        if (isRelativePathUrl(site.styleHref))
            for (std::size_t level = 0; level < depth_; ++level)
                stream.write("../");
        forEachPageLinkPiece(site.styleHref, isPagePrefixSafe, [&](std::string_view piece) { stream.write(piece); });
        stream.write("\">\n");
    }
}

void PageExtras::writeBeforeHeading(platform::OutputStream& stream) const
{
    writeFragment(stream, "site-header", options_.site.header);
}

void PageExtras::writeAboveTable(platform::OutputStream& stream) const
{
    if (options_.site.showReadme)
        stream.write(readmeBlock(ReadmeRole::Header, options_, place_, encoding_));
}

void PageExtras::writeBelowTable(platform::OutputStream& stream) const
{
    if (options_.site.showReadme)
        stream.write(readmeBlock(ReadmeRole::Readme, options_, place_, encoding_));
}

void PageExtras::writeBeforeCredit(platform::OutputStream& stream) const
{
    writeFragment(stream, "site-footer", options_.site.footer);
}

}  // namespace quilldex
