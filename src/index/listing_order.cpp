#include "index/listing_order.h"

#include "platform/marked_text.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstddef>

namespace quilldex {

namespace {

unsigned char foldCase(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

int rank(std::string_view name)
{
    return name == "." ? 0 : name == ".." ? 1 : 2;
}

}  // namespace

// After the mark come the character's UTF-8 bytes, so marked characters
// follow one another by code point.
unsigned byteSortValue(unsigned char byte)
{
    static const bool marks = platform::carriesMarkedCharacters(std::string_view(&platform::kCharacterMark, 1));
    return byte == static_cast<unsigned char>(platform::kCharacterMark) && marks ? 0x100u : foldCase(byte);
}

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
            return byteSortValue(x) < byteSortValue(y);
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

bool walkedBefore(std::string_view a, std::string_view b)
{
    if (a == ".")
        return b != ".";
    if (b == ".")
        return false;
    for (;;) {
        const auto aEnd = a.find('/');
        const auto bEnd = b.find('/');
        const std::string_view aName = a.substr(0, aEnd);
        const std::string_view bName = b.substr(0, bEnd);
        if (aName != bName)
            return listsBefore(aName, bName);
        if (aEnd == std::string_view::npos || bEnd == std::string_view::npos)
            return aEnd == std::string_view::npos && bEnd != std::string_view::npos;
        a.remove_prefix(aEnd + 1);
        b.remove_prefix(bEnd + 1);
    }
}

}  // namespace quilldex
