// How a name is written into the markup: as a link target, with unsafe
// bytes percent-escaped, and as display text, with the bytes that would
// end the markup written as character references.
#pragma once

#include <string>
#include <string_view>

namespace quilldex {

// Whether a byte may stand unescaped in a link target: '-' to '~', less
// '<' and '>', which would end the markup, and less ':' (a scheme such as
// "javascript:"), '?' (a query) and '\' (a path separator to some readers).
constexpr bool isLinkSafe(unsigned char byte)
{
    return byte >= 0x2D && byte <= 0x7E && byte != '<' && byte != '>' && byte != ':' && byte != '?' && byte != '\\';
}

// Calls `sink` with the pieces of the link-target form of `name`, in order:
// runs of safe bytes as they are, and each other byte as '%' and two
// lower-case hex digits ("%20" for a space, "%e9" for 0xE9).
template <typename Sink>
void forEachEscapedPiece(std::string_view name, Sink&& sink)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (isLinkSafe(byte))
            continue;
        if (i > runStart)
            sink(name.substr(runStart, i - runStart));
        const char escape[3] = {'%', kHex[byte >> 4], kHex[byte & 0x0F]};
        sink(std::string_view(escape, 3));
        runStart = i + 1;
    }
    if (runStart < name.size())
        sink(name.substr(runStart));
}

// The link-target form of `name`, whole (a 259-byte name can grow to 777).
std::string escapeLinkName(std::string_view name);

// Calls `sink` with the pieces of `name` as display text: '<' and '>' as
// "&lt;" and "&gt;", every other byte unchanged.
template <typename Sink>
void forEachDisplayPiece(std::string_view name, Sink&& sink)
{
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '<' && name[i] != '>')
            continue;
        if (i > runStart)
            sink(name.substr(runStart, i - runStart));
        sink(name[i] == '<' ? std::string_view("&lt;") : std::string_view("&gt;"));
        runStart = i + 1;
    }
    if (runStart < name.size())
        sink(name.substr(runStart));
}

}  // namespace quilldex
