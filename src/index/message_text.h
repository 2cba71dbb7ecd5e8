// Paths as messages and check lines show them: one line per path, whatever
// bytes the names hold, and a readable length.
#pragma once

#include <string>
#include <string_view>

namespace quilldex {

// `path` with every byte below 0x20 and 0x7F written as "\xNN" (lower-case
// hex digits) and '\' as "\\", so that a name holding a line feed cannot
// make a line of its own.
std::string lineSafe(std::string_view path);

// A path for a message: one longer than 200 characters keeps its start and
// its end, joined by "...".
std::string shortened(std::string path);

}  // namespace quilldex
