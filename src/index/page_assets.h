// The style (page_assets.cpp) and the script (page_script.cpp) inlined
// into every full page, so that a page needs no other file and works from
// file:// with no server. Both are ASCII only: a page may declare a code
// page that is not UTF-8.
#pragma once

#include <string_view>

namespace quilldex {

// Readable on a phone, light and dark after the reader's settings, the
// table full width and its numbers right-aligned.
extern const std::string_view kPageStyle;

// Sort buttons in the sortable headers and a filter box above the table.
// Without it the page is a plain table.
extern const std::string_view kPageScript;

// The script a page carries: kPageScript, or with folder totals one that
// sorts directory rows by the total in their data-size among the files.
std::string_view pageScript(bool folderTotals);

// With a tree manifest: a switch beside the filter that makes it search the
// whole tree. Inlined in a script element whose data-tree names the
// manifest's script file relative to the page, which it loads when the
// switch is first turned on.
extern const std::string_view kTreeSwitchScript;
// The search itself, which the manifest's script file carries after its
// data.
extern const std::string_view kTreeSearchScript;

}  // namespace quilldex
