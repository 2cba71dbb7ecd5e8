// The HEADER and README files of a directory, as blocks of a full page: the
// first of the names that is there, read without following a link, shown
// by its kind (Markdown rendered safely, plain text as it is, HTML only
// when allowed). A file that cannot be shown is left out with a note.
#pragma once

#include <cstddef>
#include <string>

#include "index/index_form.h"
#include "index/index_options.h"
#include "index/page_text.h"

namespace quilldex {

// Larger files are left out: a README is text to read above or below a
// listing, not a document of its own.
inline constexpr std::size_t kLargestReadme = 256 * 1024;

enum class ReadmeRole {
    Header,  // HEADER.md, HEADER.txt, HEADER.html, above the table
    Readme,  // README.md, README.markdown, README.txt, README, README.html, below it
};

// The block, from "<div" to "</div>\n", of the current directory's file
// for `role`, or "" when it has none or it was left out (options.site.note
// then tells why).
std::string readmeBlock(ReadmeRole role, const IndexOptions& options, const DirectoryPlace& place,
                        PageEncoding encoding);

}  // namespace quilldex
