// Marked texts: characters carried as the mark and their UTF-8 bytes come
// back as the same code points, between the runs of code-page text.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/marked_text.h"

namespace quilldex::platform {
namespace {

// "run" pieces as they are, characters as "<U+HEX>".
std::string pieces(std::string_view text)
{
    std::string out;
    forEachMarkedPiece(
        text, [&](std::string_view run) { out += "[" + std::string(run) + "]"; },
        [&](char32_t codePoint) {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "<%X>", static_cast<unsigned>(codePoint));
            out += buffer;
        });
    return out;
}

std::string marked(std::vector<char32_t> codePoints)
{
    std::string text;
    for (const char32_t c : codePoints)
        appendMarkedCharacter(text, c);
    return text;
}

TEST(MarkedText, CharactersComeBackBetweenTheRuns)
{
    const struct {
        std::string text;
        const char* expected;
    } cases[] = {
        {"plain.txt", "[plain.txt]"},
        {"", ""},
        {"caf\xe9.txt", "[caf\xe9.txt]"},
        // Japanese, Greek, Cyrillic, an emoji outside the BMP, the mark
        // itself and a lone surrogate, each with the number of UTF-8 bytes
        // it takes.
        {marked({0x65E5, 0x672C}) + ".txt", "<65E5><672C>[.txt]"},
        {"a" + marked({0x3A9}) + "b" + marked({0x416}), "[a]<3A9>[b]<416>"},
        {marked({0x1F600}) + ".txt", "<1F600>[.txt]"},
        {marked({0x1}), "<1>"},
        {marked({0xD800}) + "x", "<D800>[x]"},
        {"\xe9" + marked({0x80}) + "\xe9", "[\xe9]<80>[\xe9]"},
        // Broken marked texts still end: a mark at the end, and a mark
        // before a byte that starts no UTF-8 sequence or a cut-off one.
        {"a\x01", "[a]"},
        {"\x01\xff"
         "b",
         "<FF>[b]"},
        {"\x01\xe6\x97", "<E6>[\x97]"},
        {"\x01\xc0\xaf", "<C0>[\xaf]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pieces(c.text), c.expected) << c.text;
}

TEST(MarkedText, LengthCountsEachMarkedCharacterAsItsUtf16Units)
{
    const struct {
        std::string text;
        std::size_t length;
    } cases[] = {
        {"", 0},
        {"caf\xe9.txt", 8},
        {marked({0x65E5, 0x672C}) + ".txt", 6},
        {marked({0x1F600}), 2},
        {"a" + marked({0x3A9}) + "b", 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(markedLength(c.text), c.length) << c.text;
}

TEST(MarkedText, Utf8OfEveryKindOfCodePoint)
{
    const struct {
        char32_t codePoint;
        const char* bytes;
    } cases[] = {
        {0x41, "A"},
        {0xE9, "\xc3\xa9"},
        {0x7FF, "\xdf\xbf"},
        {0x65E5, "\xe6\x97\xa5"},
        {0xFFFF, "\xef\xbf\xbf"},
        {0x1F600, "\xf0\x9f\x98\x80"},
        {0x10FFFF, "\xf4\x8f\xbf\xbf"},
    };
    for (const auto& c : cases) {
        std::string text;
        appendUtf8(text, c.codePoint);
        const auto expected = static_cast<std::uint32_t>(c.codePoint);
        EXPECT_EQ(text, c.bytes) << expected;
        std::size_t at = 0;
        EXPECT_EQ(static_cast<std::uint32_t>(decodeUtf8(text, at)), expected);
        EXPECT_EQ(at, text.size());
    }
}

}  // namespace
}  // namespace quilldex::platform
