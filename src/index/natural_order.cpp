#include "index/natural_order.h"

#include <cstddef>

#include "index/listing_order.h"

namespace quilldex {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

unsigned char foldCase(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    // As capitals, as the name order compares them, so that '_' sorts
    // after the letters in both orders.
    return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - ('a' - 'A')) : byte;
}

// The digits of the run starting at `i`, without leading zeros; moves `i`
// past the run. Kept as text, so a run of any length compares exactly.
std::string_view numberAt(std::string_view text, std::size_t& i)
{
    while (i < text.size() && text[i] == '0')
        ++i;
    const std::size_t start = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    return text.substr(start, i - start);
}

}  // namespace

int compareNaturally(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const std::string_view x = numberAt(a, i);
            const std::string_view y = numberAt(b, j);
            if (x.size() != y.size())
                return x.size() < y.size() ? -1 : 1;
            if (const int order = x.compare(y); order != 0)
                return order;
            continue;
        }
        const unsigned char x = foldCase(a[i++]);
        const unsigned char y = foldCase(b[j++]);
        if (x != y)
            return byteSortValue(x) < byteSortValue(y) ? -1 : 1;
    }
    const bool aLeft = i < a.size();
    const bool bLeft = j < b.size();
    return aLeft == bLeft ? 0 : aLeft ? 1 : -1;
}

}  // namespace quilldex
