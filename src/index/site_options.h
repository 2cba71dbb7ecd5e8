// What a full page carries besides the listing: the README and header files
// of each directory, and the site's own header, footer and style. Filled by
// a front end before the run; every field off leaves the page as it was.
#pragma once

#include <functional>
#include <string>

namespace quilldex {

struct SiteOptions {
    // Shows each directory's HEADER file above the table and its README
    // file below it.
    bool showReadme = false;
    // Inserts a HEADER or README written in HTML as it is (trusted trees
    // only); without it such a file is left out with a note.
    bool allowHtml = false;
    // Trusted HTML fragments, read once by the front end: at the top of
    // every page's content, and before its credit line.
    std::string header;
    std::string footer;
    // A style sheet inlined after the built-in style.
    std::string style;
    // A style sheet to link; a relative URL is relative to the top of the
    // run and gets a "../" for each level below it.
    std::string styleHref;
    // Where a note goes about a README or HEADER file that was left out
    // ("readme(docs/README.html): ..."); without one notes are dropped.
    std::function<void(const std::string&)> note;

    // Two options are equal when they make the same pages; where notes go
    // is not part of that.
    friend bool operator==(const SiteOptions& a, const SiteOptions& b)
    {
        return a.showReadme == b.showReadme && a.allowHtml == b.allowHtml && a.header == b.header &&
               a.footer == b.footer && a.style == b.style && a.styleHref == b.styleHref;
    }
};

}  // namespace quilldex
