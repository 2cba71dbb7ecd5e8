#include "index/option_texts.h"

#include "index/index_options.h"
#include "platform/marked_text.h"
#include "platform/platform.h"

namespace quilldex {

namespace {

// A character outside the code page is carried as several bytes, but counts
// as one character.
std::size_t lengthOf(std::string_view text)
{
    return platform::carriesMarkedCharacters(text) ? platform::markedLength(text) : text.size();
}

}  // namespace

TextProblem checkMask(std::string_view mask)
{
    if (lengthOf(mask) > kMaxFileMaskLength)
        return TextProblem::TooLong;
    if (mask.find_first_of("/\\:") != std::string_view::npos)
        return TextProblem::HoldsPath;
    return TextProblem::None;
}

TextProblem checkLinkPrefix(std::string_view prefix)
{
    return lengthOf(prefix) > kMaxLinkPrefixLength ? TextProblem::TooLong : TextProblem::None;
}

TextProblem checkOutputName(std::string_view name)
{
    if (name.empty())
        return TextProblem::Empty;
    return lengthOf(name) > kMaxOutputNameLength ? TextProblem::TooLong : TextProblem::None;
}

TextProblem checkPageTitle(std::string_view title)
{
    return lengthOf(title) > kMaxPageTitleLength ? TextProblem::TooLong : TextProblem::None;
}

}  // namespace quilldex
