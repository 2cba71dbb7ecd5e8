// Names as the full HTML page writes them: as the text of an element and as
// a link target. A page must hold nothing a validating parser rejects, so
// its rules are stricter than the fragment's.
#pragma once

#include <cstddef>
#include <string_view>

#include "index/character_references.h"

namespace quilldex {

// The encoding the page declares for its text.
enum class PageEncoding {
    // Names are checked: what is not well-formed UTF-8 cannot be shown.
    Utf8,
    // A single-byte code page (Windows): every byte is a character.
    CodePage,
};

inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 character that starts `text`, or 0
// when its first byte does not start one (a stray continuation byte, an
// overlong form, a surrogate, a code point above U+10FFFF, a sequence cut
// short). Characters a page must not hold count as not well-formed too:
// the controls other than tab, line feed, form feed and carriage return,
// and the noncharacters (U+FDD0 to U+FDEF, and U+xFFFE and U+xFFFF).
std::size_t pageCharacterLength(std::string_view text);

// Where a text comes from: a name is plain text; a document's title is
// HTML text already, in which "&amp;" means '&'.
enum class TextSource { Name, Title };

// Calls `sink` with the pieces of `text` as element text: '&', '<', '>' and
// '"' as character references (in a title, a character reference stays as
// it is, but one to a character no page may hold becomes "&#xFFFD;"); under
// Utf8 each byte that does not belong to a character
// pageCharacterLength accepts becomes U+FFFD, so that the reader sees where
// a name's bytes could not be shown.
template <typename Sink>
void forEachPageTextPiece(std::string_view text, PageEncoding encoding, TextSource source, Sink&& sink)
{
    std::size_t runStart = 0;
    std::size_t i = 0;
    const auto replace = [&](std::size_t length, std::string_view replacement) {
        if (i > runStart)
            sink(text.substr(runStart, i - runStart));
        sink(replacement);
        i += length;
        runStart = i;
    };
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '&') {
            const std::size_t length = source == TextSource::Title ? characterReferenceLength(text.substr(i)) : 0;
            if (length == 0)
                replace(1, "&amp;");
            else if (text[i + 1] == '#' && referencedCharacter(text.substr(i, length)) == 0xFFFD)
                replace(length, "&#xFFFD;");
            else
                i += length;
        } else if (byte == '<')
            replace(1, "&lt;");
        else if (byte == '>')
            replace(1, "&gt;");
        else if (byte == '"')
            replace(1, "&quot;");
        else if (encoding == PageEncoding::CodePage || (byte >= 0x20 && byte < 0x7F))
            ++i;
        else if (const std::size_t length = pageCharacterLength(text.substr(i)))
            i += length;
        else
            replace(1, kReplacementCharacter);
    }
    if (runStart < text.size())
        sink(text.substr(runStart));
}

// Whether a byte stands for itself in a page's link target: the unreserved
// characters of a URI (letters, digits, '-', '.', '_', '~') and '/'.
constexpr bool isPageLinkSafe(unsigned char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
}

// Whether a byte of the link prefix stands for itself: the prefix is a URL
// or the start of one, so its delimiters (':', '?', '#', '%', '&' ...) keep
// their meaning; what could end the attribute or is no URL character at
// all (space, controls, '"', '<', '>', '\', '^', '`', '{', '|', '}', bytes
// above 0x7E) is percent-encoded.
constexpr bool isPagePrefixSafe(unsigned char byte)
{
    return byte > 0x20 && byte < 0x7F && byte != '"' && byte != '<' && byte != '>' && byte != '\\' && byte != '^' &&
           byte != '`' && byte != '{' && byte != '|' && byte != '}';
}

// Calls `sink` with the pieces of `bytes` in a page's link target: runs of
// bytes that `isSafe` accepts as they are ('&' as "&amp;", so that the
// attribute is well-formed), each other byte as '%' and two upper-case hex
// digits.
template <typename IsSafe, typename Sink>
void forEachPageLinkPiece(std::string_view bytes, IsSafe&& isSafe, Sink&& sink)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const bool safe = isSafe(byte);
        if (safe && byte != '&')
            continue;
        if (i > runStart)
            sink(bytes.substr(runStart, i - runStart));
        if (safe) {
            sink(std::string_view("&amp;"));
        } else {
            const char escape[3] = {'%', kHex[byte >> 4], kHex[byte & 0x0F]};
            sink(std::string_view(escape, 3));
        }
        runStart = i + 1;
    }
    if (runStart < bytes.size())
        sink(bytes.substr(runStart));
}

}  // namespace quilldex
