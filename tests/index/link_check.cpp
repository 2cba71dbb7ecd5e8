#include "link_check.h"

#include <string_view>

namespace quilldex::testing {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The bytes a percent-encoded link target stands for; `ok` turns false
// when an escape is malformed.
std::string percentDecoded(std::string_view href, bool& ok)
{
    std::string bytes;
    ok = true;
    for (std::size_t i = 0; i < href.size(); ++i) {
        if (href[i] != '%') {
            bytes += href[i];
            continue;
        }
        const int high = i + 2 < href.size() ? hexValue(href[i + 1]) : -1;
        const int low = i + 2 < href.size() ? hexValue(href[i + 2]) : -1;
        if (high < 0 || low < 0) {
            ok = false;
            return {};
        }
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return bytes;
}

std::vector<std::string> hrefsOf(const std::string& html)
{
    std::vector<std::string> hrefs;
    constexpr std::string_view kStart = "href=\"";
    for (auto at = html.find(kStart); at != std::string::npos; at = html.find(kStart, at)) {
        at += kStart.size();
        const auto end = html.find('"', at);
        if (end == std::string::npos)
            break;
        hrefs.push_back(html.substr(at, end - at));
        at = end;
    }
    return hrefs;
}

}  // namespace

LinkCheck checkIndexLinks(const fs::path& top, const std::string& indexName)
{
    LinkCheck check;
    for (const auto& item : fs::recursive_directory_iterator(top)) {
        if (!item.is_regular_file() || item.path().filename() != indexName)
            continue;
        ++check.indexFiles;
        const auto directory = item.path().parent_path();
        for (const auto& href : hrefsOf(readFile(item.path()))) {
            if (href.find("://") != std::string::npos)
                continue;
            bool ok = false;
            const auto target = percentDecoded(href, ok);
            if (!ok || target.empty()) {
                check.broken.push_back(item.path().string() + ": " + href);
                continue;
            }
            const auto relative = fs::path(target);
            const auto first = *relative.begin();
            if (first == ".." && directory == top)
                continue;
            if (first != ".." && fs::is_symlink(directory / first) && fs::is_directory(directory / first))
                continue;
            ++check.linksFollowed;
            if (!fs::exists(directory / relative))
                check.broken.push_back(item.path().string() + ": " + href);
        }
    }
    return check;
}

}  // namespace quilldex::testing
