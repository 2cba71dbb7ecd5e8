// The build without a Markdown library: README files in Markdown are shown
// as their text.
#include "index/markdown.h"

namespace quilldex {

std::optional<std::string> markdownToHtml(std::string_view, std::string_view)
{
    return std::nullopt;
}

}  // namespace quilldex
