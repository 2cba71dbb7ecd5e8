#include "index/wildcard.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace quilldex {
namespace {

// The matching rules written as plain backtracking over the expression that
// WildcardMask reports: slow in the worst case, but obviously right, so the
// shortcuts and the state-set matcher can be checked against it.
bool referenceMatch(std::string_view expr, std::string_view name, std::size_t pos = 0)
{
    if (expr.empty())
        return pos == name.size();
    const std::string_view rest = expr.substr(1);
    const bool atEnd = pos == name.size();
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
    std::size_t furthest = name.size();
    switch (expr[0]) {
    case '<':
        if (const auto lastDot = name.rfind('.'); lastDot != std::string_view::npos && lastDot >= pos)
            furthest = lastDot + 1;
        [[fallthrough]];
    case '*':
        for (std::size_t end = pos; end <= furthest; ++end)
            if (referenceMatch(rest, name, end))
                return true;
        return false;
    case '>':
        if (!atEnd && name[pos] != '.')
            return referenceMatch(rest, name, pos + 1);
        if (referenceMatch(rest, name, pos))
            return true;
        return pos + 1 == name.size() && expr.find_first_not_of("*<>") == std::string_view::npos &&
               referenceMatch(rest, name, pos + 1);
    case '"':
        return atEnd ? referenceMatch(rest, name, pos) : name[pos] == '.' && referenceMatch(rest, name, pos + 1);
    default:
        return !atEnd && lower(name[pos]) == lower(expr[0]) && referenceMatch(rest, name, pos + 1);
    }
}

std::string selected(std::string_view mask)
{
    static const char* const names[] = {".",        "..",     "a",          "ab",       "abc",
                                        "abc.d",    "file.c", "file.cpp",   "page.htm", "page.html",
                                        "x.tar.gz", "README", "readme.txt", ".hidden",  "v1.2"};
    const WildcardMask wildcard(mask);
    std::string result;
    for (const char* name : names)
        if (wildcard.matches(name))
            result += (result.empty() ? "" : " ") + std::string(name);
    return result;
}

TEST(WildcardMask, SelectsLikeTheWindowsDirectorySearch)
{
    const std::string all =
        ". .. a ab abc abc.d file.c file.cpp page.htm page.html x.tar.gz README readme.txt .hidden v1.2";
    const struct {
        const char* mask;
        std::string names;
    } cases[] = {
        {"*.*", all},
        {"*", all},
        {"**", all},
        {"*.*.", all},
        {"*.", ". .. a ab abc README"},
        {"*.htm", "page.htm"},
        {"*.html", "page.html"},
        {"?", ". .. a"},
        {"??", ". .. a ab"},
        {"*.?", ". .. a ab abc abc.d file.c README v1.2"},
        {"abc.??", "abc abc.d"},
        {"file.c?", "file.c"},
        {".*", ". .. .hidden"},
        {"README.", "README"},
        {"readme.*", "README readme.txt"},
        {"*.tar.*", "x.tar.gz"},
        {"?.*", ". .. a x.tar.gz .hidden"},
        {"*.C*", "file.c file.cpp"},
        {"???.*", ". .. a ab abc abc.d x.tar.gz .hidden v1.2"},
        {"*z", "x.tar.gz"},
        {"", ""},
        {"...", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(selected(c.mask), c.names) << "mask " << c.mask;
}

TEST(WildcardMask, TranslatesTheMask)
{
    const struct {
        const char* mask;
        const char* expression;
    } cases[] = {
        {"*.", "<"},           {"*.txt", "<.txt"}, {"*.?", "<\">"},         {"abc.??", "abc\">>"},
        {"README.", "README"}, {"*.*.", "*"},      {"**.", "*<"},           {"*.*", "*"},
        {"*.* .", "*"},        {".*", "\"*"},      {"*.tar.*", "<.tar\"*"}, {"*.txt. ", "<.txt"},
        {"abc  ", "abc"},      {"* .", "<"},       {"a*b", "a*b"},          {"*.*x", "<\"*x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WildcardMask(c.mask).expression(), c.expression) << "mask " << c.mask;
}

TEST(WildcardMask, MatchesSingleNames)
{
    const struct {
        const char* mask;
        const char* name;
        bool matches;
    } cases[] = {
        // ASCII letters fold; bytes from 0x80 up are compared as they are.
        {"*.TXT", "readme.txt", true},
        {"ReadMe.Txt", "README.TXT", true},
        {"caf\xE9.*", "CAF\xE9.txt", true},
        {"caf\xE9.*", "caf\xC9.txt", false},
        {"\xE9", "\xC9", false},
        {"?", "\xE9", true},
        {"*\xFF", "a\xFF", true},
        {"[a]", "[A]", true},
        {"[a]", "{a}", false},
        // Trailing dots and spaces of the mask are dropped, names keep theirs.
        {"abc ", "abc", true},
        {"abc. .", "abc", true},
        {"abc ", "abc ", false},
        {"*.txt.", "a.txt", true},
        {"*.txt.", "a.txt.bak", false},
        {"*..", "ab", true},
        {"*..", "a.b", false},
        {"*.", "abc.", true},
        {"a*.", "a.b.", true},
        {"a*.", "a.b", false},
        // DOS_QM takes nothing in front of a dot, and a final dot at the end.
        {"???.txt", "a.txt", true},
        {"???.txt", "abcd.txt", false},
        {"a?", "a", true},
        {"a?", "a.", true},
        {"????", "abc.", true},
        {"???", "abc.", false},
        // DOS_DOT takes a dot or the end of the name.
        {".?", ".x", true},
        {".?", "x", false},
        {"a.?", "a", true},
        {"a.?", "ab", false},
        {"*.*x", "a.bx", true},
        {"*.*x", "abx", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WildcardMask(c.mask).matches(c.name), c.matches) << "mask " << c.mask << ", name " << c.name;
        EXPECT_EQ(matchesWildcard(c.mask, c.name), c.matches) << "mask " << c.mask << ", name " << c.name;
    }
}

TEST(WildcardMask, AgreesWithTheRulesOnEveryShortName)
{
    std::vector<std::string> names{""};
    for (std::size_t from = 0, length = 1; length <= 5; ++length) {
        const std::size_t to = names.size();
        for (std::size_t i = from; i < to; ++i)
            for (char c : {'a', 'B', '.'})
                names.push_back(names[i] + c);
        from = to;
    }
    names.erase(names.begin());
    // The long masks need more than one word of states.
    const std::vector<std::string> masks{"*",
                                         "?",
                                         "a",
                                         "a.B",
                                         "a*",
                                         "*a",
                                         "*.",
                                         "*.a",
                                         "a.*",
                                         "*.?",
                                         "?.?",
                                         "a?b",
                                         "*a*",
                                         "**.",
                                         "*.*a",
                                         "?*",
                                         "*?",
                                         ".?",
                                         "*.a*",
                                         "a*.*",
                                         "a*b*.",
                                         "??.*",
                                         "*.??",
                                         "A?.*",
                                         "*.b.*",
                                         "?a?.",
                                         ".*.",
                                         "*.*.a?",
                                         std::string(62, '?') + "*a?.b*",
                                         std::string(63, '?') + "*.?",
                                         "a" + std::string(70, '?')};
    for (const std::string& mask : masks) {
        const WildcardMask wildcard(mask);
        const std::string expr = wildcard.expression();
        for (const std::string& name : names) {
            const std::string_view as = name == ".." ? std::string_view(".") : std::string_view(name);
            EXPECT_EQ(wildcard.matches(name), referenceMatch(expr, as)) << "mask " << mask << ", name " << name;
        }
    }
}

TEST(WildcardMask, StaysLinearOnPathologicalMasks)
{
    const std::string as(200, 'a');
    EXPECT_FALSE(matchesWildcard("*a*a*a*a*a*a*a*a*b", as));
    EXPECT_TRUE(matchesWildcard("*a*a*a*a*a*a*a*a*b", as + "b"));
    EXPECT_FALSE(matchesWildcard("?*?*?*?*?*?*?*?*?*x", as));
    EXPECT_FALSE(matchesWildcard("*.*.*.*.*.*.*.*.*.x", std::string(200, '.')));
    EXPECT_TRUE(matchesWildcard(std::string(2000, '*') + "b", as + "b"));  // more states than fit on the stack
}

}  // namespace
}  // namespace quilldex
