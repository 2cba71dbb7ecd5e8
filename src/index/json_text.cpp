#include "index/json_text.h"

#include <cstdint>
#include <cstdio>

namespace quilldex {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// The length of the well-formed UTF-8 sequence at the start of `bytes`, or
// 0 when there is none (RFC 3629, table 3-7 of the Unicode standard).
std::size_t sequenceLength(std::string_view bytes)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const auto inRange = [&](std::size_t i, unsigned char low, unsigned char high) {
        return i < bytes.size() && byte(i) >= low && byte(i) <= high;
    };
    const unsigned char first = byte(0);
    if (first < 0x80)
        return 1;
    if (first >= 0xC2 && first <= 0xDF)
        return inRange(1, 0x80, 0xBF) ? 2 : 0;
    if (first >= 0xE0 && first <= 0xEF) {
        // No overlong forms after E0, no surrogates after ED.
        const unsigned char low = first == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = first == 0xED ? 0x9F : 0xBF;
        return inRange(1, low, high) && inRange(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (first >= 0xF0 && first <= 0xF4) {
        // No overlong forms after F0, nothing above U+10FFFF after F4.
        const unsigned char low = first == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = first == 0xF4 ? 0x8F : 0xBF;
        return inRange(1, low, high) && inRange(2, 0x80, 0xBF) && inRange(3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

}  // namespace

bool isValidUtf8(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t length = sequenceLength(bytes);
        if (length == 0)
            return false;
        bytes.remove_prefix(length);
    }
    return true;
}

namespace {

// A string's text, each byte that is not part of well-formed UTF-8 written
// by `badByte`; false when there was such a byte.
template <typename BadByte>
bool appendStringText(std::string& out, std::string_view bytes, BadByte&& badByte)
{
    bool wellFormed = true;
    while (!bytes.empty()) {
        // Most of a name is printable ASCII that needs no escape: taken as
        // one run.
        std::size_t plain = 0;
        while (plain < bytes.size()) {
            const auto c = static_cast<unsigned char>(bytes[plain]);
            if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\')
                break;
            ++plain;
        }
        if (plain > 0) {
            out.append(bytes.substr(0, plain));
            bytes.remove_prefix(plain);
            continue;
        }
        const std::size_t length = sequenceLength(bytes);
        const auto c = static_cast<unsigned char>(bytes.front());
        if (length == 0) {
            badByte(c);
            wellFormed = false;
            bytes.remove_prefix(1);
            continue;
        }
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            out.append("\\u00");
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        } else {
            out.append(bytes.substr(0, length));
        }
        bytes.remove_prefix(length);
    }
    return wellFormed;
}

}  // namespace

void appendJsonString(std::string& out, std::string_view bytes)
{
    out.push_back('"');
    appendJsonText(out, bytes);
    out.push_back('"');
}

bool appendJsonText(std::string& out, std::string_view bytes)
{
    return appendStringText(out, bytes, [&](unsigned char) { out.append("\xEF\xBF\xBD"); });
}

void appendScriptStringText(std::string& out, std::string_view bytes)
{
    appendStringText(out, bytes, [&](unsigned char byte) {
        out.append("\\udc");
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 0x0F]);
    });
}

void appendHex(std::string& out, std::string_view bytes)
{
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 0x0F]);
    }
}

std::string utcTimestamp(platform::UtcSeconds time)
{
    // Days and seconds of the day, rounded towards minus infinity, then the
    // civil date of the day count (the proleptic Gregorian calendar).
    std::int64_t days = time / 86400;
    std::int64_t seconds = time % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const std::int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

}  // namespace quilldex
