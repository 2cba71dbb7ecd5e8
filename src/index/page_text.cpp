#include "index/page_text.h"

#include <cstdint>

namespace quilldex {

namespace {

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

bool mayStandInPage(std::uint32_t codePoint)
{
    if (codePoint < 0x20)
        return codePoint == '\t' || codePoint == '\n' || codePoint == '\f' || codePoint == '\r';
    if (codePoint >= 0x7F && codePoint < 0xA0)
        return false;
    if (codePoint >= 0xFDD0 && codePoint <= 0xFDEF)
        return false;
    return (codePoint & 0xFFFE) != 0xFFFE;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isAlphanumeric(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::size_t characterReferenceLength(std::string_view text)
{
    // The longest named reference is 31 characters with its '&' and ';'.
    constexpr std::size_t kLongest = 32;
    if (text.size() < 3 || text[0] != '&')
        return 0;
    std::size_t i = 1;
    bool (*isBodyCharacter)(char) = isAlphanumeric;
    if (text[1] == '#') {
        i = 2;
        isBodyCharacter = isDigit;
        if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
            ++i;
            isBodyCharacter = isHexDigit;
        }
    }
    const std::size_t bodyStart = i;
    while (i < text.size() && i < kLongest && isBodyCharacter(text[i]))
        ++i;
    if (i == bodyStart || i >= text.size() || text[i] != ';')
        return 0;
    return i + 1;
}

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
