#include "index/message_text.h"

namespace quilldex {

std::string lineSafe(std::string_view path)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            text += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 0x0F];
        } else {
            text += c;
        }
    }
    return text;
}

std::string shortened(std::string path)
{
    constexpr std::size_t kLongest = 200;
    if (path.size() <= kLongest)
        return path;
    constexpr std::size_t kKept = (kLongest - 3) / 2;
    return path.substr(0, kKept) + "..." + path.substr(path.size() - kKept);
}

}  // namespace quilldex
