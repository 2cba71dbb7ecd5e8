#include "platform/marked_text.h"

namespace quilldex::platform {

void appendUtf8(std::string& text, char32_t codePoint)
{
    const auto byte = [&](char32_t value) { text += static_cast<char>(value); };
    if (codePoint < 0x80) {
        byte(codePoint);
    } else if (codePoint < 0x800) {
        byte(0xC0 | (codePoint >> 6));
        byte(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        byte(0xE0 | (codePoint >> 12));
        byte(0x80 | ((codePoint >> 6) & 0x3F));
        byte(0x80 | (codePoint & 0x3F));
    } else {
        byte(0xF0 | (codePoint >> 18));
        byte(0x80 | ((codePoint >> 12) & 0x3F));
        byte(0x80 | ((codePoint >> 6) & 0x3F));
        byte(0x80 | (codePoint & 0x3F));
    }
}

void appendMarkedCharacter(std::string& text, char32_t codePoint)
{
    text += kCharacterMark;
    appendUtf8(text, codePoint);
}

std::size_t markedLength(std::string_view text)
{
    std::size_t length = 0;
    forEachMarkedPiece(
        text, [&](std::string_view run) { length += run.size(); },
        [&](char32_t codePoint) { length += codePoint > 0xFFFF ? 2 : 1; });
    return length;
}

char32_t decodeUtf8(std::string_view text, std::size_t& at)
{
    const auto first = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t value = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        value = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        value = first & 0x0F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        value = first & 0x07;
    }
    if (length == 0 || at + length > text.size()) {
        ++at;
        return first;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return first;
        }
        value = (value << 6) | (next & 0x3F);
    }
    // An overlong form or a value beyond Unicode is not a character.
    const char32_t smallest = length == 3 ? 0x800 : length == 4 ? 0x10000 : 0x80;
    if (value < smallest || value > 0x10FFFF) {
        ++at;
        return first;
    }
    at += length;
    return value;
}

}  // namespace quilldex::platform
