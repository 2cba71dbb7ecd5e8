// The natural order's key against the whole comparison it stands for.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "index/natural_order.h"

namespace quilldex {
namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

// The sign by which the keys of `a` and `b` order them, 0 where they say
// nothing (equal, or either 0).
int keyOrder(const std::string& a, const std::string& b)
{
    const std::uint64_t x = naturalPrefix(a);
    const std::uint64_t y = naturalPrefix(b);
    return x == y || x == 0 || y == 0 ? 0 : x < y ? -1 : 1;
}

TEST(NaturalPrefix, DecidesAsTheWholeComparisonOrLeavesItToIt)
{
    const std::string nines(25, '9');
    const std::string ones(30, '1');
    const struct {
        std::string a;
        std::string b;
        int order;  // sign of compareNaturally(a, b)
        bool keysDecide;
    } cases[] = {
        {"file2", "file10", -1, true},
        {"9lives", "10lives", -1, true},
        {"file10", "file010", 0, false},
        {"File10", "file10", 0, false},
        {"a0", "a", 1, true},
        {"a00", "a0", 0, false},
        {"a0b", "a000b", 0, false},
        {"a007b", "a7a", 1, true},                             // equal numbers, then the bytes after them
        {"a1b", "a1", 1, true},                                // a name that ends sorts first
        {"a9z", "a10", -1, true},                              // the number, not the byte after it
        {"x" + nines, "x1" + std::string(25, '0'), -1, true},  // longer than 64 bits: by the digit count
        {"x123456789", "x99999999", 1, true},
        {"x1234567890", "x123456789", 1, true},
        {"x0012345678", "x12345679", -1, true},
        {"x" + ones + "2", "x" + ones + "3", -1, false},  // differ past the key
        {"a" + std::string(300, '1'), "a2", 1, false},    // a run too long to count in a byte
        // A digit at the sixth to tenth byte, against a digit and a letter.
        {"abcde1", "abcde2", -1, true},
        {"abcdef1x", "abcdef2x", -1, true},
        {"abcdef12", "abcdef13", -1, true},
        {"abcdef123", "abcdef124", -1, false},
        {"abcdefg1", "abcdefg2", -1, false},
        {"abcdefg1", "abcdefgZ", -1, true},
        {"abcdefg_", "abcdefg9", 1, true},
        {"abcdefgh1", "abcdefgh2", -1, false},
        {"abcdefgh1", "abcdefgi1", -1, true},
        {"abcdefghi1", "abcdefghi", 1, false},
        // Letters without case, '_' after the letters, other bytes by value.
        {"ABC", "abd", -1, true},
        {"a_", "aZ", 1, true},
        {"a-", "a0", -1, true},
        {"caf\xe9", "cafe", 1, true},
        {"caf\xc9", "caf\xe9", -1, true},
        {"\xff"
         "1",
         "\xff"
         "10",
         -1, true},
        {"\x80"
         "2b",
         "\x80"
         "2B",
         0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sign(compareNaturally(c.a, c.b)), c.order) << c.a << " vs " << c.b;
        EXPECT_EQ(keyOrder(c.a, c.b) != 0, c.keysDecide) << c.a << " vs " << c.b;
        if (keyOrder(c.a, c.b) != 0) {
            EXPECT_EQ(keyOrder(c.a, c.b), c.order) << c.a << " vs " << c.b;
        }
        EXPECT_EQ(keyOrder(c.b, c.a), -keyOrder(c.a, c.b)) << c.b << " vs " << c.a;
    }
}

// Names built from the pieces the key treats apart: letters of both
// cases, punctuation on either side of the digits, bytes above 127, and
// digit runs short and long, with and without leading zeros, at every
// place of the first bytes.
std::vector<std::string> generatedNames(std::size_t count)
{
    std::mt19937 generator(17);
    const auto below = [&](unsigned limit) { return std::uniform_int_distribution<unsigned>(0, limit - 1)(generator); };
    static const char letters[] = "aAbBzZ_- .~";
    std::vector<std::string> names;
    while (names.size() < count) {
        std::string name;
        const unsigned pieces = 1 + below(7);
        for (unsigned p = 0; p < pieces; ++p) {
            const unsigned kind = below(10);
            if (kind < 4) {
                name += letters[below(sizeof letters - 1)];
            } else if (kind < 8) {
                name.append(below(3), '0');
                const unsigned digits = below(5) == 0 ? 18 + below(6) : 1 + below(3);
                for (unsigned d = 0; d < digits; ++d)
                    name += static_cast<char>('0' + below(10));
            } else {
                name += static_cast<char>(0x80 + below(0x80));
            }
        }
        names.push_back(name);
    }
    return names;
}

TEST(NaturalPrefix, AgreesWithTheWholeComparisonOnGeneratedNames)
{
    const std::vector<std::string> names = generatedNames(700);
    std::vector<std::uint64_t> keys;
    for (const std::string& name : names)
        keys.push_back(naturalPrefix(name));
    std::size_t decided = 0;
    std::size_t pairs = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (std::size_t j = 0; j < names.size(); ++j) {
            ++pairs;
            if (keys[i] == keys[j] || keys[i] == 0 || keys[j] == 0)
                continue;
            ASSERT_EQ(keys[i] < keys[j] ? -1 : 1, sign(compareNaturally(names[i], names[j])))
                << names[i] << " vs " << names[j];
            ++decided;
        }
    }
    // The key is worth its place only if it decides most comparisons.
    EXPECT_GT(decided, pairs * 9 / 10);
}

}  // namespace
}  // namespace quilldex
