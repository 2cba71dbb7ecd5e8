// The default order of a listing, the same on every platform and file
// system.
#pragma once

#include <string_view>

namespace quilldex {

// True when `a` is listed before `b`: "." and ".." first, then the names
// with ASCII letters compared as capitals (as an NTFS listing orders them),
// ties broken by the raw bytes; on Windows a character the code page lacks
// after every character it holds, by code point. Windows lists in this
// order only on NTFS, Wine and POSIX systems in the order of the host's file
// system, so the listing sorts its names with this.
bool listsBefore(std::string_view a, std::string_view b);

// The value by which a byte of a name sorts, ASCII letters taken as
// capitals: on Windows the mark of a character the code page lacks (see
// marked_text.h) above every byte, so that such a character comes after
// every character the code page holds; elsewhere the byte itself.
unsigned byteSortValue(unsigned char byte);

// True when the directory at path `a` from the top of a walk ("." for the
// top, else "a/b") is met before `b` by a walk of one job: component by
// component, each in the order above, a directory before what lies below
// it. The reports and the tree's manifest of a run with many jobs are put
// into this order, so that they do not depend on the number of jobs.
bool walkedBefore(std::string_view a, std::string_view b);

}  // namespace quilldex
