// Texts of the JSON listing: strings from bytes in no known encoding,
// hex, and UTC timestamps.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quilldex {

// Whether `bytes` is well-formed UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// Appends `bytes` to `out` as a JSON string, quotes included: each byte
// that is not part of well-formed UTF-8 becomes U+FFFD, '"', '\' and the
// control characters are escaped.
void appendJsonString(std::string& out, std::string_view bytes);

// The same without the quotes: the text of a JSON string. False when a
// byte was not part of well-formed UTF-8.
bool appendJsonText(std::string& out, std::string_view bytes);

// Appends `bytes` to `out` as the text of a script's string literal,
// without its quotes: as appendJsonString, but each byte that is not part
// of well-formed UTF-8 becomes the lone surrogate U+DC00 plus the byte
// ("\udce9" for 0xE9), which no UTF-8 name holds, so that a script can
// tell the bytes again.
void appendScriptStringText(std::string& out, std::string_view bytes);

// Appends every byte of `bytes` as two lower-case hex digits.
void appendHex(std::string& out, std::string_view bytes);

// "2001-04-25T13:05:09Z".
std::string utcTimestamp(platform::UtcSeconds time);

}  // namespace quilldex
