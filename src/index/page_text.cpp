#include "index/page_text.h"

#include <cstdint>

namespace quilldex {

namespace {

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// A raw carriage return is a character of the page's text, though no
// reference may stand for it.
bool mayStandInPage(std::uint32_t codePoint)
{
    return codePoint == '\r' || mayBeReferenced(codePoint);
}

}  // namespace

std::size_t pageCharacterLength(std::string_view text)
{
    if (text.empty())
        return 0;
    const auto first = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    // The lowest and highest second byte for each lead byte rule out the
    // overlong forms, the surrogates and code points past U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (first < 0x80) {
        length = 1;
        codePoint = first;
    } else if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        codePoint = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        codePoint = first & 0x0F;
        low = first == 0xE0 ? 0xA0 : 0x80;
        high = first == 0xED ? 0x9F : 0xBF;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        codePoint = first & 0x07;
        low = first == 0xF0 ? 0x90 : 0x80;
        high = first == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!isContinuation(byte) || (i == 1 && (byte < low || byte > high)))
            return 0;
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    return mayStandInPage(codePoint) ? length : 0;
}

}  // namespace quilldex
