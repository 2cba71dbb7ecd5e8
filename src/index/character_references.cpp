#include "index/character_references.h"

#include <cstdint>
#include <utility>

namespace quilldex {

namespace {

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

unsigned digitValue(char c)
{
    if (isDigit(c))
        return static_cast<unsigned>(c - '0');
    return static_cast<unsigned>((c | 0x20) - 'a' + 10);
}

void appendUtf8(std::string& out, char32_t codePoint)
{
    const auto c = static_cast<std::uint32_t>(codePoint);
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

bool mayBeReferenced(char32_t codePoint)
{
    if (codePoint < 0x20)
        return codePoint == '\t' || codePoint == '\n' || codePoint == '\f';
    if (codePoint >= 0x7F && codePoint < 0xA0)
        return false;
    if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF)
        return false;
    if (codePoint >= 0xFDD0 && codePoint <= 0xFDEF)
        return false;
    return (codePoint & 0xFFFE) != 0xFFFE;
}

std::size_t characterReferenceLength(std::string_view text)
{
    if (text.size() < 3 || text[0] != '&')
        return 0;
    std::size_t i = 1;
    bool (*isBodyCharacter)(char) = isAlphanumeric;
    std::size_t longestBody = kMaxNamedReferenceBody;
    if (text[1] == '#') {
        i = 2;
        isBodyCharacter = isDigit;
        longestBody = kMaxNumericReferenceDigits;
        if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
            ++i;
            isBodyCharacter = isHexDigit;
        }
    }
    const std::size_t bodyStart = i;
    while (i < text.size() && i - bodyStart <= longestBody && isBodyCharacter(text[i]))
        ++i;
    if (i == bodyStart || i - bodyStart > longestBody || i >= text.size() || text[i] != ';')
        return 0;
    return i + 1;
}

char32_t referencedCharacter(std::string_view reference)
{
    // Without the '&' and the ';'.
    const std::string_view body = reference.substr(1, reference.size() - 2);
    if (body.empty() || body[0] != '#') {
        constexpr std::pair<std::string_view, char32_t> kMarkup[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        for (const auto& [name, character] : kMarkup)
            if (body == name)
                return character;
        return 0;
    }
    const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
    std::uint32_t value = 0;
    for (const char c : body.substr(hex ? 2 : 1))
        value = value * (hex ? 16 : 10) + digitValue(c);
    return mayBeReferenced(value) ? static_cast<char32_t>(value) : char32_t{0xFFFD};
}

std::string decodeTitleText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = text[i] == '&' ? characterReferenceLength(text.substr(i)) : 0;
        const char32_t character = length > 0 ? referencedCharacter(text.substr(i, length)) : 0;
        if (character == 0) {
            const std::size_t end = length > 0 ? i + length : i + 1;
            out.append(text.substr(i, end - i));
            i = end;
            continue;
        }
        appendUtf8(out, character);
        i += length;
    }
    return out;
}

}  // namespace quilldex
