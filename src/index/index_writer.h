// The index of one directory: its listing written in the form the options
// ask for.
#pragma once

#include <cstddef>
#include <string_view>

#include "index/directory_listing.h"
#include "index/index_form.h"
#include "index/index_options.h"
#include "platform/platform.h"

namespace quilldex {

// The product's home page, named in the credit line under every table.
extern const std::string_view kHomePageUrl;

// Writes the index of `listing` to `stream` in the form `options.form`
// asks for: header, one row per listed entry, footer. A form that writes
// nothing for an empty search (the fragment) writes nothing at all when the
// search matched no entry. Returns the number of entry rows written.
// Leaves the stream open; write errors stay in the stream.
std::size_t writeIndex(platform::OutputStream& stream, const IndexOptions& options, DirectoryListing& listing,
                       const DirectoryPlace& place);

// Lists `directory` and writes its index, as the top of a run.
std::size_t writeIndexTable(platform::OutputStream& stream, const platform::DirectoryHandle& directory,
                            const IndexOptions& options);

}  // namespace quilldex
