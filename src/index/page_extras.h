// What the site options add to a full page, each part written where the
// page form calls for it. Nothing at all when no site option is on.
#pragma once

#include <cstddef>

#include "index/index_form.h"
#include "index/index_options.h"
#include "index/page_text.h"
#include "platform/platform.h"

namespace quilldex {

class PageExtras {
public:
    PageExtras(const IndexOptions& options, const DirectoryPlace& place, PageEncoding encoding);

    // After the built-in style: the inlined style sheet and the linked one.
    void writeHead(platform::OutputStream& stream) const;
    // Before the heading: the site header.
    void writeBeforeHeading(platform::OutputStream& stream) const;
    // Between the heading and the table: the directory's HEADER file.
    void writeAboveTable(platform::OutputStream& stream) const;
    // After the table and its script: the directory's README file.
    void writeBelowTable(platform::OutputStream& stream) const;
    // In the footer, before the credit line: the site footer.
    void writeBeforeCredit(platform::OutputStream& stream) const;

private:
    const IndexOptions& options_;
    const DirectoryPlace& place_;
    PageEncoding encoding_;
    // How many levels below the top of the run the page lies.
    std::size_t depth_ = 0;
};

}  // namespace quilldex
