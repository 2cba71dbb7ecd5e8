// How this program's byte texts carry characters that the system's code
// page cannot hold.
//
// Names and paths travel through the program as byte strings in the
// system's code page, so that every name the code page can hold is written
// exactly as the system hands it over. On Windows a name may hold
// characters that the ANSI code page lacks; each of those is carried as the
// mark byte followed by the character's UTF-8 bytes. No Windows name holds
// the mark (control characters are not allowed in names), so a text
// converts back to the exact wide name, and a text with no mark is plain
// code-page text. POSIX texts are the system's bytes and never carry marks:
// ask platform::carriesMarkedCharacters before reading a text this way.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quilldex::platform {

inline constexpr char kCharacterMark = '\x01';

// Appends `codePoint` as UTF-8 bytes. A lone surrogate (which a Windows
// name may hold) takes the three-byte form of its value, so that it too
// comes back exactly.
void appendUtf8(std::string& text, char32_t codePoint);

// Appends the mark and the UTF-8 bytes of `codePoint`.
void appendMarkedCharacter(std::string& text, char32_t codePoint);

// Decodes the UTF-8 sequence that starts at `text[at]` and moves `at` past
// it. A malformed or cut-off sequence gives its first byte's value and
// moves on by one byte, so that decoding always ends.
char32_t decodeUtf8(std::string_view text, std::size_t& at);

// The length of a marked text in characters, as the limits of the options
// count it: each byte of code-page text as one (as an ANSI edit control
// counts), each marked character as the UTF-16 units it takes in a Windows
// name (two outside the BMP).
std::size_t markedLength(std::string_view text);

// Calls `run` with each run of code-page text of a marked text, and
// `character` with the code point of each marked character, in order.
template <typename RunSink, typename CharacterSink>
void forEachMarkedPiece(std::string_view text, RunSink&& run, CharacterSink&& character)
{
    std::size_t runStart = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] != kCharacterMark) {
            ++at;
            continue;
        }
        if (at > runStart)
            run(text.substr(runStart, at - runStart));
        ++at;
        if (at < text.size())
            character(decodeUtf8(text, at));
        runStart = at;
    }
    if (runStart < text.size())
        run(text.substr(runStart));
}

}  // namespace quilldex::platform
