#include "index/own_files.h"

#include <array>

#include "index/tree_manifest.h"
#include "version.h"

namespace quilldex {

namespace {

constexpr std::string_view kCreditStart = "<p>Created by <a href=\"" QUILLDEX_HOME_PAGE "\">" QUILLDEX_PRODUCT_NAME " ";
constexpr std::string_view kCreditEnd = "</a></p>";
constexpr std::string_view kFragmentStart =
    "<table align=\"center\" width=\"100%\" cellspacing=\"0\" border=\"1\"><tr bgcolor=\"#EEEEEE\">"
    "<td align=\"center\"><b>Filename</b></td>";
constexpr std::string_view kPageStart = "<!DOCTYPE html>\r\n";
constexpr std::string_view kPageGenerator = "<meta name=\"generator\" content=\"" QUILLDEX_PRODUCT_NAME " ";
constexpr std::string_view kJsonStart = "{\"generator\": \"" QUILLDEX_PRODUCT_NAME " ";
// What may follow the page's credit paragraph: the elements it closes.
constexpr std::array<std::string_view, 5> kPageClosings = {"</footer>", "</main>", "</div>", "</body>", "</html>"};

bool isVersionCharacter(char c)
{
    return (c >= '0' && c <= '9') || c == '.';
}

// The length of the credit line at the start of `text` ("<p>Created by ...
// QUILLDEX 1.0.7</a></p>", any version), or 0.
std::size_t creditLength(std::string_view text)
{
    if (!text.starts_with(kCreditStart))
        return 0;
    std::size_t at = kCreditStart.size();
    const std::size_t versionStart = at;
    while (at < text.size() && isVersionCharacter(text[at]))
        ++at;
    if (at == versionStart || text.substr(at, kCreditEnd.size()) != kCreditEnd)
        return 0;
    return at + kCreditEnd.size();
}

bool fragmentEnds(std::string_view end)
{
    // The last line: after the last line break, the table's closing and
    // the credit, and nothing else.
    const auto lineBreak = end.rfind('\n');
    if (lineBreak == std::string_view::npos)
        return false;
    std::string_view last = end.substr(lineBreak + 1);
    constexpr std::string_view kClosing = "</table>";
    if (!last.starts_with(kClosing))
        return false;
    last.remove_prefix(kClosing.size());
    return creditLength(last) == last.size() && !last.empty();
}

bool pageEnds(std::string_view end)
{
    // The credit paragraph on a line of its own, then only closing tags,
    // each on a line of its own.
    const auto credit = end.rfind(kCreditStart);
    if (credit == std::string_view::npos || credit < 2 || end.substr(credit - 2, 2) != "\r\n")
        return false;
    std::string_view rest = end.substr(credit);
    const std::size_t length = creditLength(rest);
    if (length == 0)
        return false;
    rest.remove_prefix(length);
    bool closed = false;
    while (!rest.empty()) {
        if (!rest.starts_with("\r\n"))
            return false;
        rest.remove_prefix(2);
        if (rest.empty())
            break;
        bool matched = false;
        for (const std::string_view closing : kPageClosings) {
            if (rest.starts_with(closing)) {
                rest.remove_prefix(closing.size());
                matched = true;
                closed = closing == "</html>";
                break;
            }
        }
        if (!matched)
            return false;
    }
    return closed;
}

}  // namespace

bool writtenByThisProgram(OutputForm form, std::uint64_t size, std::string_view start, std::string_view end)
{
    switch (form) {
    case OutputForm::Fragment:
        return size == 0 || fragmentEnds(end) || start.starts_with(kFragmentStart);
    case OutputForm::Page:
        return size != 0 &&
               (pageEnds(end) || (start.starts_with(kPageStart) && start.find(kPageGenerator) != std::string_view::npos));
    case OutputForm::Json:
        return start.starts_with(kJsonStart);
    }
    return false;
}

bool treeManifestWrittenByThisProgram(std::string_view start)
{
    if (start.starts_with(kTreeScriptStart))
        start.remove_prefix(kTreeScriptStart.size());
    return start.starts_with(kJsonStart);
}

}  // namespace quilldex
