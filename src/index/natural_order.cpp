#include "index/natural_order.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

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

// The key's bytes, most significant first, as many as fit.
class KeyBytes {
public:
    void put(unsigned value)
    {
        if (filled_ < 8) {
            key_ = (key_ << 8) | value;
            ++filled_;
        }
    }
    bool full() const { return filled_ == 8; }
    // 0 bytes after the name, which sort before every byte of a longer one.
    std::uint64_t key() const { return filled_ == 0 ? 0 : key_ << (8 * (8 - filled_)); }

private:
    std::uint64_t key_ = 0;
    unsigned filled_ = 0;
};

}  // namespace

// Each byte by the value the comparison gives it. Each run of digits as
// the count of its digits without leading zeros, n, in one byte of the
// digits' range ('0' + n, '9' followed by n from nine digits on), then
// those digits two to a byte (the tens and the units of a number below
// 100, the last one alone as tens).
// Comparing two keys byte by byte then compares what compareNaturally
// does, in the same steps: a byte with a byte; a run with a run by length,
// then by digits (runs of one length take as many key bytes); a run facing
// a byte as any digit faces it, as every digit lies on the same side of
// any other byte; a name that ends with 0 against anything. The key ends
// after eight bytes, wherever that is.
std::uint64_t naturalPrefix(std::string_view name)
{
    KeyBytes key;
    for (std::size_t i = 0; i < name.size() && !key.full();) {
        if (!isDigit(name[i])) {
            const unsigned value = byteSortValue(static_cast<unsigned char>(name[i++]));
            if (value > 0xFF)
                return 0;
            key.put(value);
            continue;
        }
        const std::string_view number = numberAt(name, i);
        if (number.size() > 0xFF)
            return 0;
        const auto count = static_cast<unsigned>(number.size());
        key.put('0' + std::min(count, 9u));
        if (count >= 9)
            key.put(count);
        for (std::size_t d = 0; d < number.size() && !key.full(); d += 2) {
            const unsigned units = d + 1 < number.size() ? static_cast<unsigned>(number[d + 1] - '0') : 0;
            key.put(static_cast<unsigned>(number[d] - '0') * 10 + units);
        }
    }
    return key.key();
}

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
