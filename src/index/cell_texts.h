// The texts of the size, time and date cells, as pure functions. They are
// built in fixed buffers on the stack, so that a row costs no heap
// allocation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "index/index_options.h"
#include "platform/platform.h"

namespace quilldex {

// A short text held in place. The capacity covers the longest size text
// ("18446744073709551615 bytes") and three numbers of any int value with
// their separators.
class ShortText {
public:
    static constexpr std::size_t kCapacity = 40;

    std::string_view view() const { return {bytes_.data(), length_}; }

    void append(std::string_view text);
    void append(char c) { bytes_[length_++] = c; }
    // The number in decimal.
    void appendNumber(std::uint64_t value);
    // The number in decimal with at least two digits, zero-padded.
    void appendTwoDigits(int value);

private:
    std::array<char, kCapacity> bytes_;
    std::size_t length_ = 0;
};

// The Size column's text: "DIR" for a directory, else the byte count in the
// form that `style` asks for ("500 bytes", "2 kb", "3.34 mb", "5.00 GiB").
ShortText sizeText(std::uint64_t size, bool isDirectory, SizeStyle style);

// "13:05.09": hour, minute and, after a full stop, second.
ShortText timeText(const platform::LocalTime& localTime);

// "2001-04-25".
ShortText dateText(const platform::LocalTime& localTime);

}  // namespace quilldex
