// Checks of the texts a front end puts into IndexOptions, the same for the
// dialog and the command line. Each front end words a problem its own way.
#pragma once

#include <string_view>

namespace quilldex {

enum class TextProblem { None, TooLong, HoldsPath, Empty };

// A mask (to list or to exclude) holds at most kMaxFileMaskLength
// characters and no '/', '\' or ':': a directory part or a drive would make
// the search list another directory than the one being indexed.
TextProblem checkMask(std::string_view mask);

// A link prefix holds at most kMaxLinkPrefixLength characters.
TextProblem checkLinkPrefix(std::string_view prefix);

// The file-name part of an output file is not empty and holds at most
// kMaxOutputNameLength characters.
TextProblem checkOutputName(std::string_view name);

// A page's title holds at most kMaxPageTitleLength characters.
TextProblem checkPageTitle(std::string_view title);

}  // namespace quilldex
