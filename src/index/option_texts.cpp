#include "index/option_texts.h"

#include "index/index_options.h"

namespace quilldex {

TextProblem checkMask(std::string_view mask)
{
    if (mask.size() > kMaxFileMaskLength)
        return TextProblem::TooLong;
    if (mask.find_first_of("/\\:") != std::string_view::npos)
        return TextProblem::HoldsPath;
    return TextProblem::None;
}

TextProblem checkLinkPrefix(std::string_view prefix)
{
    return prefix.size() > kMaxLinkPrefixLength ? TextProblem::TooLong : TextProblem::None;
}

TextProblem checkOutputName(std::string_view name)
{
    if (name.empty())
        return TextProblem::Empty;
    return name.size() > kMaxOutputNameLength ? TextProblem::TooLong : TextProblem::None;
}

}  // namespace quilldex
