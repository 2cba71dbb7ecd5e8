// Telling an index file this program wrote from any other file of the same
// name, so that a recursive run replaces only its own files.
#pragma once

#include <cstdint>
#include <string_view>

#include "index/index_options.h"

namespace quilldex {

// How many bytes of a file's start and end the recognition needs.
inline constexpr std::size_t kOwnFileStartBytes = 1024;
inline constexpr std::size_t kOwnFileEndBytes = 4096;

// Whether a file, known by its size and its first and last bytes, is an
// index of the form `form` that this program (this version or an earlier
// one) wrote:
// - the fragment, when its last line is exactly the closing credit line,
//   or when it starts with the table opening and header the fragment
//   writes (one cut short by a killed run), or when it is empty (the
//   fragment of a directory where no name matched);
// - the page, when it ends with the credit paragraph and the closing tags
//   the page writes, or when it starts with the page's doctype and
//   generator tag (cut short); never when it is empty;
// - JSON, when it starts with the exact generator member the JSON form
//   writes first; never when it is empty.
// Anything else is another's, and kept.
bool writtenByThisProgram(OutputForm form, std::uint64_t size, std::string_view start, std::string_view end);

// Whether a file at a tree manifest's name is one this program wrote: the
// JSON form starts with the generator member as the JSON listing does, the
// script form with the same after its call's opening.
bool treeManifestWrittenByThisProgram(std::string_view start);

}  // namespace quilldex
