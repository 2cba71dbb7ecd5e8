#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "index/cell_texts.h"
#include "index/link_text.h"
#include "index/document_title.h"

namespace quilldex {
namespace {

struct SizeCase {
    std::uint64_t size;
    SizeStyle style;
    const char* text;
};

TEST(SizeText, EveryStyle)
{
    constexpr auto A = SizeStyle::Auto, B = SizeStyle::Bytes, K = SizeStyle::Kilobytes, M = SizeStyle::Megabytes;
    const SizeCase cases[] = {
        {0, A, "0 bytes"},
        {2047, A, "2047 bytes"},
        {2048, A, "2 kb"},
        {1048575, A, "1023 kb"},
        {1048576, A, "1.00 mb"},
        {1179648, A, "1.13 mb"},
        {1703936, A, "1.63 mb"},
        {3500000, A, "3.34 mb"},
        {4294967295, A, "4096.00 mb"},
        // Sizes past 4 GiB are not cut to their low 32 bits.
        {5368709120, A, "5120.00 mb"},
        {4294967296, A, "4096.00 mb"},
        {UINT64_MAX, A, "17592186044416.00 mb"},
        {0, B, "0 bytes"},
        {3500000, B, "3500000 bytes"},
        {5368709120, B, "5368709120 bytes"},
        {UINT64_MAX, B, "18446744073709551615 bytes"},
        {500, K, "0 kb"},
        {1023, K, "0 kb"},
        {1024, K, "1 kb"},
        {2047, K, "1 kb"},
        {3500000, K, "3417 kb"},
        {5368709120, K, "5242880 kb"},
        {500, M, "0.00 mb"},
        {5120, M, "0.00 mb"},
        {6144, M, "0.01 mb"},
        {131072, M, "0.13 mb"},
        {1048575, M, "1.00 mb"},
        {10480517, M, "9.99 mb"},
        {10480518, M, "10.00 mb"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(sizeText(c.size, false, c.style).view(), c.text);
    }
}

// Around each unit's start: the last size written in the unit below, the
// first in the unit, and the sizes whose hundredths round either way.
TEST(SizeText, HumanAroundEachUnitBoundary)
{
    constexpr std::uint64_t Ki = 1024, Mi = Ki << 10, Gi = Mi << 10, Ti = Gi << 10, Pi = Ti << 10, Ei = Pi << 10;
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 bytes"},
        {1, "1 byte"},
        {2, "2 bytes"},
        {1023, "1023 bytes"},
        {Ki, "1.00 KiB"},
        {Ki + 5, "1.00 KiB"},  // 1.0048...
        {Ki + 6, "1.01 KiB"},  // 1.0058...
        {36 * Ki, "36.00 KiB"},
        // 1023.995 KiB and more round to 1024.00, which is written 1.00 MiB.
        {Mi - 6, "1023.99 KiB"},
        {Mi - 5, "1.00 MiB"},
        {Mi - 1, "1.00 MiB"},
        {Mi, "1.00 MiB"},
        // An exact half hundredth rounds up: 1.005 MiB.
        {Mi + Mi / 200 + 1, "1.01 MiB"},
        {Mi + 5242, "1.00 MiB"},
        {Mi + 5243, "1.01 MiB"},
        {Gi - 1, "1.00 GiB"},
        {Gi - Gi / 10000, "1023.90 MiB"},
        {Gi, "1.00 GiB"},
        {5 * Gi, "5.00 GiB"},
        {Ti - Gi, "1023.00 GiB"},
        {Ti, "1.00 TiB"},
        {Pi - Ti, "1023.00 TiB"},
        {Pi, "1.00 PiB"},
        {Ei - Pi, "1023.00 PiB"},
        {Ei - 1, "1.00 EiB"},
        {Ei, "1.00 EiB"},
        {Ei + Ei / 2, "1.50 EiB"},
        {UINT64_MAX, "16.00 EiB"},
        {UINT64_MAX - Ei / 100, "15.99 EiB"},
    };
    for (const auto& [size, text] : cases) {
        SCOPED_TRACE(size);
        EXPECT_EQ(sizeText(size, false, SizeStyle::Human).view(), text);
    }
}

// Each unit's hundredths against a reference worked out in long division
// over a spread of sizes, ties included.
TEST(SizeText, HumanHundredthsMatchLongDivision)
{
    const char* units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    for (int unit = 0; unit < 6; ++unit) {
        const int shift = 10 * (unit + 1);
        for (std::uint64_t k = 0; k < 4000; ++k) {
            // Sizes from 1 to 15.99 units, in steps that hit exact halves.
            const std::uint64_t whole = 1 + k % 15;
            const std::uint64_t rest = ((std::uint64_t{1} << shift) / 4000) * k + (k % 3 == 0 ? 0 : k);
            const std::uint64_t size = (whole << shift) + rest;
            // 100 * rest / 2^shift, rounded half up, digit by digit.
            std::uint64_t remainder = rest;
            std::uint64_t hundredths = 0;
            for (int digit = 0; digit < 3; ++digit) {
                remainder *= 10;
                hundredths = hundredths * 10 + (remainder >> shift);
                remainder &= (std::uint64_t{1} << shift) - 1;
            }
            hundredths = (hundredths + 5) / 10;
            const std::uint64_t shownWhole = whole + hundredths / 100;
            std::string expected = std::to_string(shownWhole) + "." + std::to_string(hundredths % 100 / 10) +
                                   std::to_string(hundredths % 10) + " " + units[unit];
            ASSERT_EQ(sizeText(size, false, SizeStyle::Human).view(), expected) << size;
        }
    }
}

TEST(SizeText, DirectoryInEveryStyle)
{
    for (auto style : {SizeStyle::Auto, SizeStyle::Bytes, SizeStyle::Kilobytes, SizeStyle::Megabytes, SizeStyle::Human})
        for (std::uint64_t size : {std::uint64_t{0}, std::uint64_t{4096}, std::uint64_t{5368709120}})
            EXPECT_EQ(sizeText(size, true, style).view(), "DIR");
}

// Every odd multiple of 131,072 bytes is an exact half hundredth of a
// megabyte; all of them round up.
TEST(SizeText, MegabyteTiesRoundAwayFromZero)
{
    constexpr std::uint64_t kStep = 131072;
    int ties = 0;
    for (std::uint64_t size = kStep; size <= (std::uint64_t{64} << 20); size += 2 * kStep) {
        // size / 2^20 = k / 8 with k odd, so 100 * size / 2^20 = 12.5 * k.
        const std::uint64_t hundredths = (size * 100 + (std::uint64_t{1} << 19)) >> 20;
        ASSERT_EQ((size * 100) % (std::uint64_t{1} << 20), std::uint64_t{1} << 19);
        std::string expected = std::to_string(hundredths / 100) + ".";
        expected += static_cast<char>('0' + hundredths % 100 / 10);
        expected += static_cast<char>('0' + hundredths % 10);
        expected += " mb";
        ASSERT_EQ(sizeText(size, false, SizeStyle::Megabytes).view(), expected) << size;
        ++ties;
    }
    EXPECT_EQ(ties, 256);
}

TEST(TimeAndDateText, ZeroPadded)
{
    struct Case {
        platform::LocalTime time;
        const char* timeText;
        const char* dateText;
    };
    const Case cases[] = {
        {{2001, 4, 25, 13, 5, 9}, "13:05.09", "2001-04-25"},
        {{2000, 1, 1, 0, 0, 0}, "00:00.00", "2000-01-01"},
        {{2000, 12, 31, 23, 59, 59}, "23:59.59", "2000-12-31"},
        {{1980, 10, 10, 10, 10, 10}, "10:10.10", "1980-10-10"},
        // Years are at least two digits, never cut.
        {{5, 2, 3, 4, 5, 6}, "04:05.06", "05-02-03"},
        {{12345, 6, 7, 8, 9, 0}, "08:09.00", "12345-06-07"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(timeText(c.time).view(), c.timeText);
        EXPECT_EQ(dateText(c.time).view(), c.dateText);
    }
}

TEST(EscapeLinkName, EveryByte)
{
    for (int value = 0; value < 256; ++value) {
        const char byte = static_cast<char>(value);
        const bool safe =
            value >= 0x2D && value <= 0x7E && byte != '<' && byte != '>' && byte != ':' && byte != '?' && byte != '\\';
        static constexpr char kHex[] = "0123456789abcdef";
        const std::string expected = safe ? std::string(1, byte) : std::string{'%', kHex[value / 16], kHex[value % 16]};
        EXPECT_EQ(escapeLinkName(std::string(1, byte)), expected) << value;
        // Within a name too, with safe neighbours on both sides.
        EXPECT_EQ(escapeLinkName("a" + std::string(1, byte) + "z"), "a" + expected + "z") << value;
    }
}

TEST(EscapeLinkName, Names)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"my file.txt", "my%20file.txt"},
        {"a&b.txt", "a%26b.txt"},
        {"caf\xe9.html", "caf%e9.html"},
        {"50%,+#1", "50%25%2c%2b%231"},
        {"javascript:alert(1)", "javascript%3aalert%281%29"},
        {"a?b", "a%3fb"},
        {"a\\b", "a%5cb"},
        {"<b>\"x\"'", "%3cb%3e%22x%22%27"},
        {"~-_.[]{}|^`@=;", "~-_.[]{}|^`@=;"},
    };
    for (const auto& [name, escaped] : cases)
        EXPECT_EQ(escapeLinkName(name), escaped) << name;

    // A long name of unsafe bytes is escaped whole.
    const std::string longName(259, ' ');
    std::string expected;
    for (int i = 0; i < 259; ++i)
        expected += "%20";
    EXPECT_EQ(escapeLinkName(longName), expected);
}

TEST(ExtractTitle, Cases)
{
    using namespace std::string_literals;
    struct Case {
        std::string bytes;
        std::optional<std::string> title;
    };
    const std::string pad(1010, 'x');
    const Case cases[] = {
        {"<HTML><HEAD><TITLE>Shouting</TITLE>", "Shouting"},
        {"<title lang=\"en\">Attr</title>", std::nullopt},
        {"<title>", std::nullopt},
        {"<title>\nNext line</title>", std::nullopt},
        {"<title>  spaced  </title>", "  spaced  "},
        {"<title>A & B > C</title>", "A & B > C"},
        // The lower-case tag wins, even when its title is empty.
        {"<TITLE>Upper</TITLE><title></title>", std::nullopt},
        {"<title>lower</title><TITLE>Upper</TITLE>", "lower"},
        // The search stops at a NUL.
        {"<title>Cut\0off</title>"s, "Cut"},
        // A title running to the last byte is kept whole.
        {"<title>Hello", "Hello"},
        {pad + "<title>Tail", "Tail"},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 60));
        const auto title = extractTitle(c.bytes);
        EXPECT_EQ(title ? std::optional<std::string>(*title) : std::nullopt, c.title);
    }
}

}  // namespace
}  // namespace quilldex
