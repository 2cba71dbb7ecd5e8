// The natural order of names, in which "file2" comes before "file10".
#pragma once

#include <cstdint>
#include <string_view>

namespace quilldex {

// Compares `a` and `b` with every run of decimal digits taken as its
// number ("007" equals "7", however long the run) and ASCII letters without
// case; other bytes by their value. Negative when `a` comes first, 0 when
// the two are equal that way ("file10" and "File010"), positive otherwise.
int compareNaturally(std::string_view a, std::string_view b);

// The beginning of `name` in the natural order as one number, so that a
// sort compares most names without reading them: where two names' keys
// differ and neither is 0, the keys order the names as compareNaturally
// does. Equal keys say nothing; 0 (for a name with a byte that sorts above
// every byte value) means the name must be compared whole.
std::uint64_t naturalPrefix(std::string_view name);

}  // namespace quilldex
