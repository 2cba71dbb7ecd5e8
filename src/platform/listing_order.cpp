#include "platform/listing_order.h"

#include "platform/marked_text.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstddef>

namespace quilldex::platform {

namespace {

unsigned char foldCase(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

// Where texts carry marked characters (Windows), a character the code page
// lacks comes after every character it holds, and such characters follow
// one another by code point, the order of their UTF-8 bytes. Elsewhere the
// mark is a byte like any other.
unsigned sortValue(unsigned char folded)
{
    static const bool marks = carriesMarkedCharacters(std::string_view(&kCharacterMark, 1));
    return folded == static_cast<unsigned char>(kCharacterMark) && marks ? 0x100u : folded;
}

int rank(std::string_view name)
{
    return name == "." ? 0 : name == ".." ? 1 : 2;
}

}  // namespace

bool listsBefore(std::string_view a, std::string_view b)
{
    const int rankA = rank(a);
    const int rankB = rank(b);
    if (rankA != rankB || rankA < 2)
        return rankA < rankB;
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = foldCase(static_cast<unsigned char>(a[i]));
        const unsigned char y = foldCase(static_cast<unsigned char>(b[i]));
        if (x != y)
            return sortValue(x) < sortValue(y);
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

}  // namespace quilldex::platform
