#include "index/wildcard.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quilldex {

namespace {

using Word = std::uint64_t;
constexpr std::size_t wordBits = 64;

// The general matcher's sets of token positions, by index into stateSets_.
enum : std::size_t { StarSet, DosStarSet, DosQmSet, FinalDotQmSet, DosDotSet, StarLoopSet, LiteralSets };

void setBit(Word* set, std::size_t bit)
{
    set[bit / wordBits] |= Word{1} << (bit % wordBits);
}

char foldCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Per-call scratch space for the general matcher: on the stack for any mask
// the user interface accepts, on the heap beyond that, so that matching
// allocates nothing in practice and stays safe to call from several threads.
template <typename T>
class Scratch {
public:
    explicit Scratch(std::size_t size)
    {
        if (size > inline_.size()) {
            heap_.resize(size);
            data_ = heap_.data();
        } else {
            std::fill_n(inline_.begin(), size, T{});
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    T* data() { return data_; }

private:
    std::array<T, 96> inline_;
    std::vector<T> heap_;
    T* data_ = inline_.data();
};

}  // namespace

WildcardMask::WildcardMask(std::string_view mask)
{
    const bool endsWithDot = !mask.empty() && mask.back() == '.';
    const auto keep = mask.find_last_not_of(". ");
    const std::string_view text = keep == std::string_view::npos ? std::string_view() : mask.substr(0, keep + 1);

    if (text == "*.*") {
        tokens_.push_back({Kind::Star, '*', '*', true});
    } else {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            const char next = i + 1 < text.size() ? text[i + 1] : '\0';
            Kind kind = Kind::Literal;
            if (c == '?')
                kind = Kind::DosQm;
            else if (c == '.' && (next == '?' || next == '*'))
                kind = Kind::DosDot;
            else if (c == '*')
                kind = next == '.' ? Kind::DosStar : Kind::Star;
            tokens_.push_back({kind, c, foldCase(c), false});
        }
        if (endsWithDot && !tokens_.empty() && tokens_.back().kind == Kind::Star)
            tokens_.back().kind = Kind::DosStar;
    }

    bool wild = true;
    for (auto it = tokens_.rbegin(); it != tokens_.rend(); ++it) {
        wild = wild && (it->kind == Kind::Star || it->kind == Kind::DosStar || it->kind == Kind::DosQm);
        it->wildToEnd = wild;
    }

    const auto count = [this](Kind kind) {
        return std::count_if(tokens_.begin(), tokens_.end(), [kind](const Token& t) { return t.kind == kind; });
    };
    const auto stars = count(Kind::Star);
    const auto dosStars = count(Kind::DosStar);
    const auto literals = count(Kind::Literal);
    const auto size = static_cast<std::ptrdiff_t>(tokens_.size());
    if (size > 0 && stars == size) {
        shape_ = Shape::Everything;
    } else if (literals == size) {
        shape_ = Shape::Literals;
    } else if (stars + dosStars == 1 && literals == size - 1) {
        shape_ = Shape::OneStar;
        star_ = static_cast<std::size_t>(
            std::find_if(tokens_.begin(), tokens_.end(), [](const Token& t) { return t.kind != Kind::Literal; }) -
            tokens_.begin());
    } else {
        // Bit k of a set stands for the position in front of token k; the
        // position after the last token needs one more bit.
        words_ = tokens_.size() / wordBits + 1;
        stateSets_.assign((LiteralSets + 256) * words_, 0);
        const auto set = [this](std::size_t index) { return stateSets_.data() + index * words_; };
        for (std::size_t k = 0; k < tokens_.size(); ++k) {
            const Token& token = tokens_[k];
            switch (token.kind) {
            case Kind::Star:
                setBit(set(StarSet), k);
                setBit(set(StarLoopSet), k + 1);
                break;
            case Kind::DosStar:
                setBit(set(DosStarSet), k);
                break;
            case Kind::DosQm:
                setBit(set(DosQmSet), k);
                if (token.wildToEnd)
                    setBit(set(FinalDotQmSet), k);
                break;
            case Kind::DosDot:
                setBit(set(DosDotSet), k);
                break;
            case Kind::Literal:
                for (int byte = 0; byte < 256; ++byte)
                    if (foldCase(static_cast<char>(byte)) == token.folded)
                        setBit(set(LiteralSets + static_cast<std::size_t>(byte)), k);
                break;
            }
        }
    }
}

std::string WildcardMask::expression() const
{
    std::string text;
    for (const Token& token : tokens_) {
        switch (token.kind) {
        case Kind::Literal:
            text += token.literal;
            break;
        case Kind::Star:
            text += '*';
            break;
        case Kind::DosStar:
            text += '<';
            break;
        case Kind::DosQm:
            text += '>';
            break;
        case Kind::DosDot:
            text += '"';
            break;
        }
    }
    return text;
}

bool WildcardMask::matches(std::string_view name) const
{
    if (name == "..")
        name = ".";
    switch (shape_) {
    case Shape::Everything:
        return true;
    case Shape::Literals:
        return name.size() == tokens_.size() &&
               std::equal(name.begin(), name.end(), tokens_.begin(),
                          [](char c, const Token& t) { return foldCase(c) == t.folded; });
    case Shape::OneStar:
        return matchesOneStar(name);
    case Shape::General:
        break;
    }
    return matchesGeneral(name);
}

// Literals, then one * or DOS_STAR, then literals: the literals fix both
// ends of the name, and the star takes what lies between them.
bool WildcardMask::matchesOneStar(std::string_view name) const
{
    const std::size_t before = star_;
    const std::size_t after = tokens_.size() - star_ - 1;
    if (name.size() < before + after)
        return false;
    const auto same = [](char c, const Token& t) { return foldCase(c) == t.folded; };
    if (!std::equal(name.begin(), name.begin() + before, tokens_.begin(), same) ||
        !std::equal(name.end() - after, name.end(), tokens_.begin() + star_ + 1, same))
        return false;
    if (tokens_[star_].kind == Kind::Star)
        return true;
    // A DOS_STAR run [before, end) must not go past the name's last dot,
    // unless that dot lies in front of the run.
    const std::size_t end = name.size() - after;
    const std::size_t lastDot = name.rfind('.');
    return end == before || lastDot == std::string_view::npos || lastDot < before || lastDot + 1 >= end;
}

// Runs the expression as a set of states over the name, one step per byte,
// so the time is bounded by name length times expression length whatever the
// mask; the sets are bit sets, so a mask of up to 63 tokens costs a few word
// operations per byte. State k means that the first k tokens match the name
// up to the current position. A DOS_STAR run may end anywhere up to just
// after the name's last dot if it starts in front of that dot, and anywhere
// at all if it starts after it; open runs are kept in one set for each case.
bool WildcardMask::matchesGeneral(std::string_view name) const
{
    const std::size_t w = words_;
    const std::size_t size = name.size();
    const std::size_t lastDot = name.rfind('.');
    const bool hasDot = lastDot != std::string_view::npos;
    Scratch<Word> scratch(4 * w);
    Word* now = scratch.data();
    Word* next = now + w;
    Word* runsToDot = next + w;
    Word* runsToEnd = runsToDot + w;
    now[0] = 1;

    for (std::size_t pos = 0;; ++pos) {
        const bool atEnd = pos == size;
        const char c = atEnd ? '\0' : name[pos];

        // DOS_STAR runs begun earlier that may end here.
        const bool dotRunsOpen = hasDot && pos <= lastDot + 1;
        Word carry = 0;
        for (std::size_t i = 0; i < w; ++i) {
            const Word open = (dotRunsOpen ? runsToDot[i] : 0) | runsToEnd[i];
            now[i] |= (open << 1) | carry;
            carry = open >> (wordBits - 1);
        }

        // Tokens that can take nothing here. From a state k, such steps lead
        // through every following token that can take nothing, which one
        // addition finds: the carry runs along the set bits of epsilon.
        const bool qmEmpty = atEnd || c == '.';
        carry = 0;
        for (std::size_t i = 0; i < w; ++i) {
            const Word epsilon = stateSet(StarSet)[i] | stateSet(DosStarSet)[i] |
                                 (qmEmpty ? stateSet(DosQmSet)[i] : 0) | (atEnd ? stateSet(DosDotSet)[i] : 0);
            const Word started = now[i] & epsilon;
            const Word sum = epsilon + started;
            const Word total = sum + carry;
            carry = (sum < started || total < sum) ? 1 : 0;
            now[i] |= total ^ epsilon;
        }
        if (atEnd)
            return ((now[tokens_.size() / wordBits] >> (tokens_.size() % wordBits)) & 1) != 0;

        Word* begun = hasDot && pos <= lastDot ? runsToDot : runsToEnd;
        for (std::size_t i = 0; i < w; ++i)
            begun[i] |= now[i] & stateSet(DosStarSet)[i];

        // Tokens that take the byte at pos.
        const Word* literals = stateSet(LiteralSets + static_cast<unsigned char>(c));
        const bool dot = c == '.';
        const Word* qm = dot ? stateSet(FinalDotQmSet) : stateSet(DosQmSet);
        const bool qmTakes = !dot || pos + 1 == size;
        const bool laterDotRuns = hasDot && pos + 1 <= lastDot + 1;
        bool alive = false;
        carry = 0;
        for (std::size_t i = 0; i < w; ++i) {
            const Word step = now[i] & (literals[i] | (qmTakes ? qm[i] : 0) | (dot ? stateSet(DosDotSet)[i] : 0));
            next[i] = (step << 1) | carry | (now[i] & stateSet(StarLoopSet)[i]);
            carry = step >> (wordBits - 1);
            alive = alive || next[i] != 0 || runsToEnd[i] != 0 || (laterDotRuns && runsToDot[i] != 0);
        }
        if (!alive)
            return false;
        std::swap(now, next);
    }
}

bool matchesWildcard(std::string_view mask, std::string_view name)
{
    return WildcardMask(mask).matches(name);
}

}  // namespace quilldex
