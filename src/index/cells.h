// The texts inside the cells of an index row, as pure functions, apart from
// the writers in index_writer.h that put them into a stream. They build the
// short texts in fixed buffers on the stack, so that a row costs no heap
// allocation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
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
// form that `style` asks for ("500 bytes", "2 kb", "3.34 mb").
ShortText sizeText(std::uint64_t size, bool isDirectory, SizeStyle style);

// "13:05.09": hour, minute and, after a full stop, second.
ShortText timeText(const platform::LocalTime& localTime);

// "2001-04-25".
ShortText dateText(const platform::LocalTime& localTime);

// Whether a byte may stand unescaped in a link target: '-' to '~', less
// '<' and '>', which would end the markup, and less ':' (a scheme such as
// "javascript:"), '?' (a query) and '\' (a path separator to some readers).
constexpr bool isLinkSafe(unsigned char byte)
{
    return byte >= 0x2D && byte <= 0x7E && byte != '<' && byte != '>' && byte != ':' &&
           byte != '?' && byte != '\\';
}

// Calls `sink` with the pieces of the link-target form of `name`, in order:
// runs of safe bytes as they are, and each other byte as '%' and two
// lower-case hex digits ("%20" for a space, "%e9" for 0xE9).
template <typename Sink>
void forEachEscapedPiece(std::string_view name, Sink&& sink)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (isLinkSafe(byte))
            continue;
        if (i > runStart)
            sink(name.substr(runStart, i - runStart));
        const char escape[3] = {'%', kHex[byte >> 4], kHex[byte & 0x0F]};
        sink(std::string_view(escape, 3));
        runStart = i + 1;
    }
    if (runStart < name.size())
        sink(name.substr(runStart));
}

// The link-target form of `name`, whole (a 259-byte name can grow to 777).
std::string escapeLinkName(std::string_view name);

// Calls `sink` with the pieces of `name` as display text: '<' and '>' as
// "&lt;" and "&gt;", every other byte unchanged.
template <typename Sink>
void forEachDisplayPiece(std::string_view name, Sink&& sink)
{
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '<' && name[i] != '>')
            continue;
        if (i > runStart)
            sink(name.substr(runStart, i - runStart));
        sink(name[i] == '<' ? std::string_view("&lt;") : std::string_view("&gt;"));
        runStart = i + 1;
    }
    if (runStart < name.size())
        sink(name.substr(runStart));
}

// How many bytes from the start of a file are searched for its title.
inline constexpr std::size_t kTitleReadSize = 1024;

// The title in the first bytes of a document: the text after the first
// "<title>" (or, when there is none, the first "<TITLE>") up to the next '<'
// or the end of the bytes, nothing trimmed. The search ends at a NUL byte.
// No title when no tag is found, or when the text is empty or starts with a
// line break. The result points into `bytesRead`.
std::optional<std::string_view> extractTitle(std::string_view bytesRead);

// The first bytes of a document, read to find its title.
using TitleBuffer = std::array<char, kTitleReadSize>;

// The title of the regular file `name` in the current directory, read into
// `buffer` from the file's first bytes (the title points into it); nothing
// when it has none or cannot be read (a directory, a FIFO or a device is
// never read). The buffer is the caller's, so a row costs no allocation.
std::optional<std::string_view> readDocumentTitle(const std::string& name, TitleBuffer& buffer);

}  // namespace quilldex
