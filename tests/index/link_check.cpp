#include "link_check.h"

#include <string_view>

#include "platform/marked_text.h"

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

// The path a link target's bytes name: UTF-8 where they are valid UTF-8
// (which fs::path would read in the code page on Windows), else the bytes
// as they are (a code-page name on Windows; the same bytes either way on
// POSIX).
fs::path linkPath(const std::string& bytes)
{
    for (std::size_t at = 0; at < bytes.size();) {
        const auto start = at;
        platform::decodeUtf8(bytes, at);
        if (at == start + 1 && static_cast<unsigned char>(bytes[start]) >= 0x80)
            return fs::path(bytes);
    }
    return fs::path(std::u8string(bytes.begin(), bytes.end()));
}

// A path for a message, in UTF-8, so that no name makes it fail on Windows.
std::string shown(const fs::path& path)
{
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
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
        if (!item.is_regular_file() || shown(item.path().filename()) != indexName)
            continue;
        ++check.indexFiles;
        const auto directory = item.path().parent_path();
        for (const auto& href : hrefsOf(readFile(item.path()))) {
            if (href.find("://") != std::string::npos)
                continue;
            bool ok = false;
            const auto target = percentDecoded(href, ok);
            if (!ok || target.empty()) {
                check.broken.push_back(shown(item.path()) + ": " + href);
                continue;
            }
            const auto relative = linkPath(target);
            const auto first = *relative.begin();
            if (first == ".." && directory == top)
                continue;
            if (first != ".." && fs::is_symlink(directory / first) && fs::is_directory(directory / first))
                continue;
            ++check.linksFollowed;
            if (!fs::exists(directory / relative))
                check.broken.push_back(shown(item.path()) + ": " + href);
        }
    }
    return check;
}

}  // namespace quilldex::testing
