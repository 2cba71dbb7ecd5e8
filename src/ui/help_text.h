// The text of the dialog's help box.
#pragma once

#include "version.h"

namespace quilldex::ui {

inline constexpr char kHelpCaption[] = "Help for " QUILLDEX_PRODUCT_NAME;

// Laid out by hand: one line of source for each line of the text.
// clang-format off
inline constexpr char helpText[] =
    QUILLDEX_TITLE ": Freeware utility for Win32\n"
    QUILLDEX_ATTRIBUTION "\n"
    "\n"
    "E-mail:\t" QUILLDEX_MAKER_EMAIL "\n"
    "Web:\t" QUILLDEX_HOME_PAGE "\n"
    "\n"
    "Questions, comments, suggestions, bug reports welcome.\n"
    "\n"
    "QUILLDEX generates a file index formatted as an X/HTML table.  The resulting code is "
    "stored in an ASCII text file and can be easily edited or copied into other HTML "
    "documents. QUILLDEX works very fast and produces clean, streamlined output. Please see "
    "quilldex.txt for complete instructions.\n"
    "\n"
    "(1) Use the Browse button to select the directory you want to create an index of.\n"
    "(2) Enter a file mask to select certain files from the directory, or leave the default "
    "for all files.\n"
    "(3) Select the columns you want to include in the table (file size, time and date).\n"
    "(4) If you choose to include file sizes, you can optionally force all sizes to appear in "
    "the same form by choosing a size style (bytes, kb or mb). Leave Size Style on Auto to "
    "have QUILLDEX automatically select the most appropriate file size multiplier.\n"
    "(5) Check the Make links button if you want all file names to also appear as hyperlinks. "
    "You can optionally enter a URL prefix, which will precede the actual filename in the "
    "hyperlink (if, for example, you want to reference files on a remote server).\n"
    "(6) If you want the titles of html documents to appear in the index, check the "
    "\"Read <title> tag\" box. (7) Choose between Single and Recursive (all subfolders) "
    "directory depth.\n"
    "(8) Press the Create HTML button to begin creating the output. Select an output "
    "filename, and click Save.";
// clang-format on

}  // namespace quilldex::ui
