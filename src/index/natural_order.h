// The natural order of names, in which "file2" comes before "file10".
#pragma once

#include <string_view>

namespace quilldex {

// Compares `a` and `b` with every run of decimal digits taken as its
// number ("007" equals "7", however long the run) and ASCII letters without
// case; other bytes by their value. Negative when `a` comes first, 0 when
// the two are equal that way ("file10" and "File010"), positive otherwise.
int compareNaturally(std::string_view a, std::string_view b);

}  // namespace quilldex
