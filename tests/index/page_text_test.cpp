#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "index/page_text.h"

namespace quilldex {
namespace {

std::string pageText(std::string_view text, PageEncoding encoding = PageEncoding::Utf8,
                     TextSource source = TextSource::Name)
{
    std::string out;
    forEachPageTextPiece(text, encoding, source, [&](std::string_view piece) { out += piece; });
    return out;
}

std::string nameLink(std::string_view name)
{
    std::string out;
    forEachPageLinkPiece(name, isPageLinkSafe, [&](std::string_view piece) { out += piece; });
    return out;
}

std::string prefixLink(std::string_view prefix)
{
    std::string out;
    forEachPageLinkPiece(prefix, isPagePrefixSafe, [&](std::string_view piece) { out += piece; });
    return out;
}

struct TextCase {
    std::string text;
    std::string utf8;
    std::string codePage;
};

TEST(PageText, MarkupAndBytesAPageCannotHold)
{
    const std::string bad = std::string(kReplacementCharacter);
    const TextCase cases[] = {
        {"plain.txt", "plain.txt", "plain.txt"},
        {"a&b <c> \"d\" 'e'", "a&amp;b &lt;c&gt; &quot;d&quot; 'e'", "a&amp;b &lt;c&gt; &quot;d&quot; 'e'"},
        {"caf\xC3\xA9 men\xC3\xBC.txt", "caf\xC3\xA9 men\xC3\xBC.txt", "caf\xC3\xA9 men\xC3\xBC.txt"},
        {"\xE6\x97\xA5\xF0\x9F\x98\x80", "\xE6\x97\xA5\xF0\x9F\x98\x80", "\xE6\x97\xA5\xF0\x9F\x98\x80"},
        // Latin-1 bytes: one replacement per byte, the code page keeps them.
        {"caf\xE9", "caf" + bad, "caf\xE9"},
        {"\xE9\xE9<", bad + bad + "&lt;", "\xE9\xE9&lt;"},
        // Controls, less the whitespace a page may hold.
        {std::string("a\0b", 3), "a" + bad + "b", std::string("a\0b", 3)},
        {"\x01\x1F\x7F", bad + bad + bad, "\x01\x1F\x7F"},
        {"t\ta\nb\fc\rd", "t\ta\nb\fc\rd", "t\ta\nb\fc\rd"},
        {"\xC2\x80\xC2\x9F\xC2\xA0", bad + bad + bad + bad + "\xC2\xA0", "\xC2\x80\xC2\x9F\xC2\xA0"},
        // Overlong forms, surrogates, past U+10FFFF, bytes never used.
        {"\xC0\xAF", bad + bad, "\xC0\xAF"},
        {"\xE0\x80\xAF", bad + bad + bad, "\xE0\x80\xAF"},
        {"\xF0\x80\x80\xAF", bad + bad + bad + bad, "\xF0\x80\x80\xAF"},
        {"\xED\xA0\x80", bad + bad + bad, "\xED\xA0\x80"},
        {"\xED\x9F\xBF", "\xED\x9F\xBF", "\xED\x9F\xBF"},
        {"\xF4\x90\x80\x80", bad + bad + bad + bad, "\xF4\x90\x80\x80"},
        {"\xF4\x8F\xBF\xBD", "\xF4\x8F\xBF\xBD", "\xF4\x8F\xBF\xBD"},
        {"\xF5\xFE\xFF", bad + bad + bad, "\xF5\xFE\xFF"},
        // A sequence cut short, by the end or by another character.
        {"x\xE6\x97", "x" + bad + bad, "x\xE6\x97"},
        {"\xE6\x97y", bad + bad + "y", "\xE6\x97y"},
        {"\xF0\x9F\x98", bad + bad + bad, "\xF0\x9F\x98"},
        // Noncharacters.
        {"\xEF\xB7\x90\xEF\xB7\xAF\xEF\xB7\xB0", bad + bad + bad + bad + bad + bad + "\xEF\xB7\xB0",
         "\xEF\xB7\x90\xEF\xB7\xAF\xEF\xB7\xB0"},
        {"\xEF\xBF\xBE\xEF\xBF\xBF\xF0\x9F\xBF\xBF", bad + bad + bad + bad + bad + bad + bad + bad + bad + bad,
         "\xEF\xBF\xBE\xEF\xBF\xBF\xF0\x9F\xBF\xBF"},
        {"\xEF\xBF\xBD", "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(pageText(c.text), c.utf8);
        EXPECT_EQ(pageText(c.text, PageEncoding::CodePage), c.codePage);
    }
}

TEST(PageText, TitlesKeepTheirCharacterReferences)
{
    const std::pair<std::string, std::string> cases[] = {
        {"Tom &amp; Jerry", "Tom &amp; Jerry"},
        {"caf&#233; &#xE9;&#XE9;", "caf&#233; &#xE9;&#XE9;"},
        {"AT&T & co", "AT&amp;T &amp; co"},
        {"&amp &#; &#x; &; &#12a;", "&amp;amp &amp;#; &amp;#x; &amp;; &amp;#12a;"},
        {"\"q\" > p", "&quot;q&quot; &gt; p"},
        {"&" + std::string(40, 'a') + ";", "&amp;" + std::string(40, 'a') + ";"},
        {"caf\xE9 &amp;", "caf" + std::string(kReplacementCharacter) + " &amp;"},
    };
    for (const auto& [title, shown] : cases) {
        SCOPED_TRACE(title);
        EXPECT_EQ(pageText(title, PageEncoding::Utf8, TextSource::Title), shown);
    }
    // A name is no markup: its '&' always becomes a reference.
    EXPECT_EQ(pageText("Tom &amp; Jerry"), "Tom &amp;amp; Jerry");
}

// References to characters no page may hold show U+FFFD; a reference
// longer than the bounds is no reference, and its '&' is escaped.
TEST(PageText, TitleReferencesToCharactersNoPageMayHoldShowTheReplacement)
{
    const std::string eight(kMaxNumericReferenceDigits, '0');
    const std::string longestName(kMaxNamedReferenceBody, 'a');
    const std::pair<std::string, std::string> cases[] = {
        {"&#0; &#x0; &#1; &#13; &#x1F; &#127; &#x80; &#x9f;",
         "&#xFFFD; &#xFFFD; &#xFFFD; &#xFFFD; &#xFFFD; "
         "&#xFFFD; &#xFFFD; &#xFFFD;"},
        {"&#xD800; &#xDFFF; &#x110000; &#99999999; &#xFFFFFFFF;", "&#xFFFD; &#xFFFD; &#xFFFD; &#xFFFD; &#xFFFD;"},
        {"&#xFDD0; &#xFFFE; &#x10FFFF; &#xFDCF; &#x10FFFD;", "&#xFFFD; &#xFFFD; &#xFFFD; &#xFDCF; &#x10FFFD;"},
        {"&#9; &#10; &#12; &#32; &#xA0;", "&#9; &#10; &#12; &#32; &#xA0;"},
        // At the bound, and one digit or letter past it.
        {"&#" + eight + "65;", "&amp;#" + eight + "65;"},
        {"&#" + eight.substr(2) + "65;", "&#" + eight.substr(2) + "65;"},
        {"&#x" + eight.substr(2) + "41;", "&#x" + eight.substr(2) + "41;"},
        {"&#x" + eight + "1;", "&amp;#x" + eight + "1;"},
        {"&" + longestName + ";", "&" + longestName + ";"},
        {"&" + longestName + "a;", "&amp;" + longestName + "a;"},
    };
    for (const auto& [title, shown] : cases) {
        SCOPED_TRACE(title);
        EXPECT_EQ(pageText(title, PageEncoding::Utf8, TextSource::Title), shown);
        EXPECT_EQ(pageText(title, PageEncoding::CodePage, TextSource::Title), shown);
    }
}

// The JSON form's title: what the reader sees, as text.
TEST(TitleText, ReferencesAreDecodedToTheirCharacters)
{
    const std::pair<std::string, std::string> cases[] = {
        {"Tom &amp; Jerry", "Tom & Jerry"},
        {"&lt;b&gt; &quot;q&quot; &apos;a&apos;", "<b> \"q\" 'a'"},
        {"caf&#233; &#xE9;&#XE9; &#x1F600;", "caf\xC3\xA9 \xC3\xA9\xC3\xA9 \xF0\x9F\x98\x80"},
        {"&#0;&#xD800;&#x110000;&#1;", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        // Other named references stay as written; so does every '&' that
        // starts none, and an overlong one.
        {"&copy; AT&T &amp &#; &#x0000000041;", "&copy; AT&T &amp &#; &#x0000000041;"},
        {"&amp;amp;", "&amp;"},
        {"", ""},
    };
    for (const auto& [title, text] : cases)
        EXPECT_EQ(decodeTitleText(title), text) << title;
}

struct LinkCase {
    std::string bytes;
    std::string link;
};

TEST(PageLink, NamesKeepOnlyUnreservedBytesAndSlash)
{
    const LinkCase cases[] = {
        {"Az09-._~/", "Az09-._~/"},
        {"my file.txt", "my%20file.txt"},
        {"a&b#c%d?e:f;g=h+i,j'k(l)m!n*o@p$q", "a%26b%23c%25d%3Fe%3Af%3Bg%3Dh%2Bi%2Cj%27k%28l%29m%21n%2Ao%40p%24q"},
        {"<\"`\\^{|}>[]", "%3C%22%60%5C%5E%7B%7C%7D%3E%5B%5D"},
        {"caf\xC3\xA9\xE9", "caf%C3%A9%E9"},
        {std::string("\0\x01\x7F\xFF", 4), "%00%01%7F%FF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(nameLink(c.bytes), c.link);
    }
}

TEST(PageLink, PrefixKeepsUrlDelimitersAndCannotLeaveTheAttribute)
{
    const LinkCase cases[] = {
        {"", ""},
        {"https://example.org/pub/?a=1&b=2#top", "https://example.org/pub/?a=1&amp;b=2#top"},
        {"files/%7Euser/", "files/%7Euser/"},
        {"../x y/", "../x%20y/"},
        {"\"><script>", "%22%3E%3Cscript%3E"},
        {"a\\b^c`d{e|f}g", "a%5Cb%5Ec%60d%7Be%7Cf%7Dg"},
        {"caf\xC3\xA9/\t\x7F", "caf%C3%A9/%09%7F"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(prefixLink(c.bytes), c.link);
    }
}

}  // namespace
}  // namespace quilldex
