// Markdown as HTML, behind one call, so that a build without a Markdown
// library can do without it (the README is then shown as plain text).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quilldex {

// CommonMark with GitHub's tables, strikethrough and autolinks, rendered
// safely: raw HTML is left out, and links and images to "javascript:",
// "vbscript:", "file:" and "data:" URLs lose their target. `linkBase` is
// put in front of every relative link and image target. Nothing when this
// build renders no Markdown.
std::optional<std::string> markdownToHtml(std::string_view markdown, std::string_view linkBase);

}  // namespace quilldex
