// Whether a URL is a relative path, which a page resolves against its own
// place: no scheme ("https:", "javascript:"), and not a path from the root,
// a reference to another host ("//"), a query or a fragment alone.
#pragma once

#include <string_view>

namespace quilldex {

constexpr bool isRelativePathUrl(std::string_view url)
{
    if (url.empty() || url[0] == '/' || url[0] == '#' || url[0] == '?')
        return false;
    // A scheme is a letter, then letters, digits, '+', '-' or '.', up to
    // the first ':' before any '/', '?' or '#'.
    const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!isLetter(url[0]))
        return true;
    for (const char c : url.substr(1)) {
        if (c == ':')
            return false;
        if (!isLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return true;
    }
    return true;
}

}  // namespace quilldex
