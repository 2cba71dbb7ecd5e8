// Character references in a document's title ("&amp;", "&#233;", "&#xE9;"):
// where one ends, which character it stands for, and a title decoded.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quilldex {

// The longest reference bodies taken as references: the longest named
// reference HTML defines has 31 letters; a numeric one of more than eight
// digits is no reference (and its value cannot overflow).
inline constexpr std::size_t kMaxNamedReferenceBody = 31;
inline constexpr std::size_t kMaxNumericReferenceDigits = 8;

// Whether a character may stand in a page's text, raw or as a reference:
// not U+0000, no control but tab, line feed and form feed, no surrogate,
// no noncharacter (U+FDD0 to U+FDEF, U+xFFFE, U+xFFFF), nothing past
// U+10FFFF. (A raw carriage return is line-break markup, not a character.)
bool mayBeReferenced(char32_t codePoint);

// The length of the character reference ("&amp;", "&#233;", "&#xE9;") that
// starts `text`, or 0 when `text` does not start with one: a body of
// letters and digits, or '#' and decimal digits, or "#x" and hex digits,
// within the bounds above, ended by ';'.
std::size_t characterReferenceLength(std::string_view text);

// The character a whole reference (as characterReferenceLength finds it)
// stands for: a numeric one's code point, or U+FFFD when mayBeReferenced
// refuses it; the five named references of markup ("&amp;", "&lt;", "&gt;",
// "&quot;", "&apos;"); 0 for any other named reference, kept as written.
char32_t referencedCharacter(std::string_view reference);

// A title's UTF-8 text with its numeric references and the five named ones
// replaced by their characters in UTF-8; other named references and each
// '&' that starts none stay as they are.
std::string decodeTitleText(std::string_view text);

}  // namespace quilldex
