// Checks the wildcard matcher against a plain reference matcher, written
// here from the matching rules alone, on random masks and names.
//
// Input: the first byte is the mask length, then the mask, then the name.
// Most bytes are mapped onto a small alphabet of wildcards, dots, spaces
// and letters of both cases, so that short runs reach the interesting
// combinations; high bytes pass through to check that only ASCII letters
// are compared without case.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "index/wildcard.h"

namespace {

enum class Kind { Literal, Star, DosStar, DosQm, DosDot };

struct Token {
    Kind kind;
    char literal;
};

std::vector<Token> translate(std::string_view mask)
{
    const bool endsWithDot = !mask.empty() && mask.back() == '.';
    while (!mask.empty() && (mask.back() == '.' || mask.back() == ' '))
        mask.remove_suffix(1);
    if (mask == "*.*")
        return {{Kind::Star, 0}};
    std::vector<Token> tokens;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        const char c = mask[i];
        const char next = i + 1 < mask.size() ? mask[i + 1] : '\0';
        if (c == '?')
            tokens.push_back({Kind::DosQm, 0});
        else if (c == '.' && (next == '?' || next == '*'))
            tokens.push_back({Kind::DosDot, 0});
        else if (c == '*' && next == '.')
            tokens.push_back({Kind::DosStar, 0});
        else if (c == '*')
            tokens.push_back({Kind::Star, 0});
        else
            tokens.push_back({Kind::Literal, c});
    }
    if (endsWithDot && !tokens.empty() && tokens.back().kind == Kind::Star)
        tokens.back().kind = Kind::DosStar;
    return tokens;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Memoised recursion over (token, name position).
class Reference {
public:
    Reference(std::vector<Token> tokens, std::string_view name)
        : tokens_(std::move(tokens)), name_(name == ".." ? "." : name),
          memo_((tokens_.size() + 1) * (name_.size() + 1), -1)
    {
    }

    bool matches() { return match(0, 0); }

private:
    bool onlyWildcardsFrom(std::size_t t) const
    {
        for (; t < tokens_.size(); ++t)
            if (tokens_[t].kind != Kind::Star && tokens_[t].kind != Kind::DosStar && tokens_[t].kind != Kind::DosQm)
                return false;
        return true;
    }

    bool match(std::size_t t, std::size_t n)
    {
        auto& known = memo_[t * (name_.size() + 1) + n];
        if (known < 0)
            known = compute(t, n) ? 1 : 0;
        return known == 1;
    }

    bool compute(std::size_t t, std::size_t n)
    {
        const std::size_t size = name_.size();
        if (t == tokens_.size())
            return n == size;
        // A final "." is taken by a tail of "*", DOS_STAR and DOS_QM alone.
        if (n + 1 == size && name_[n] == '.' && onlyWildcardsFrom(t))
            return true;
        const Token token = tokens_[t];
        switch (token.kind) {
        case Kind::Literal:
            return n < size && lower(name_[n]) == lower(token.literal) && match(t + 1, n + 1);
        case Kind::Star:
            for (std::size_t k = n; k <= size; ++k)
                if (match(t + 1, k))
                    return true;
            return false;
        case Kind::DosStar: {
            const auto dot = name_.rfind('.');
            const std::size_t limit = dot == std::string::npos || dot < n ? size : dot + 1;
            for (std::size_t k = n; k <= limit; ++k)
                if (match(t + 1, k))
                    return true;
            return false;
        }
        case Kind::DosQm:
            if (n < size && name_[n] != '.' && match(t + 1, n + 1))
                return true;
            return (n == size || name_[n] == '.') && match(t + 1, n);
        case Kind::DosDot:
            if (n < size && name_[n] == '.' && match(t + 1, n + 1))
                return true;
            return n == size && match(t + 1, n);
        }
        return false;
    }

    std::vector<Token> tokens_;
    std::string name_;
    std::vector<signed char> memo_;
};

std::string mapped(const std::uint8_t* data, std::size_t size, std::string_view alphabet)
{
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        if (b >= 0xE0)
            text += static_cast<char>((b & 1) != 0 ? b : b - 0x20);
        else
            text += alphabet[b % alphabet.size()];
    }
    return text;
}

std::string printable(std::string_view text)
{
    std::string out;
    for (const unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t maskLength = data[0] % 48;
    if (maskLength + 1 >= size)
        return 0;
    const std::string mask = mapped(data + 1, maskLength, "*?.aAbB. *?.");
    const std::string name =
        mapped(data + 1 + maskLength, std::min<std::size_t>(size - 1 - maskLength, 96), "aAbB..c x");
    const bool expected = Reference(translate(mask), name).matches();
    const quilldex::WildcardMask compiled(mask);
    const bool actual = compiled.matches(name);
    const bool oneOff = quilldex::matchesWildcard(mask, name);
    if (actual != expected || oneOff != actual) {
        std::fprintf(stderr, "mask \"%s\" name \"%s\": matcher %d, one-off %d, reference %d\n", printable(mask).c_str(),
                     printable(name).c_str(), actual, oneOff, expected);
        std::abort();
    }
    return 0;
}
