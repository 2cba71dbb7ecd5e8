// Windows wildcard matching, the same on every system.
//
// A mask is matched the way FindFirstFileA matches it against long names:
// it is first translated into an expression in which some "?", "." and "*"
// take the special DOS meanings, and the expression is then matched against
// the whole name, ASCII letters compared without case. 8.3 short names play
// no part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quilldex {

// A mask translated once, to be matched against many names.
class WildcardMask {
public:
    explicit WildcardMask(std::string_view mask);

    bool matches(std::string_view name) const;

    // The translated expression, with the DOS symbols written as
    // '<' (DOS_STAR), '>' (DOS_QM) and '"' (DOS_DOT), as Windows itself
    // writes them. Literal '<', '>' and '"' in a mask are kept apart
    // internally, so this is for tests and diagnostics only.
    std::string expression() const;

private:
    enum class Kind : unsigned char { Literal, Star, DosStar, DosQm, DosDot };
    // Most masks have a form that needs no general search. The form is found
    // once, when the mask is translated, since a mask is matched against
    // every entry of a directory.
    enum class Shape : unsigned char { Everything, Literals, OneStar, General };
    struct Token {
        Kind kind;
        char literal;    // as written in the mask
        char folded;     // the literal with ASCII letters in lower case
        bool wildToEnd;  // this and all later tokens are *, DOS_STAR or DOS_QM
    };

    bool matchesOneStar(std::string_view name) const;
    bool matchesGeneral(std::string_view name) const;
    const std::uint64_t* stateSet(std::size_t index) const { return stateSets_.data() + index * words_; }

    std::vector<Token> tokens_;
    Shape shape_ = Shape::General;
    std::size_t star_ = 0;  // position of the star in a OneStar expression

    // For the general matcher: sets of token positions, each words_ words
    // long, one per kind of token and one per byte value for the literals
    // that take that byte.
    std::size_t words_ = 0;
    std::vector<std::uint64_t> stateSets_;
};

// Convenience for one-off matches.
bool matchesWildcard(std::string_view mask, std::string_view name);

}  // namespace quilldex
