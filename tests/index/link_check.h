// Follows every link of the index files of a tree, the way a browser
// resolves them, and collects the ones that lead nowhere.
#pragma once

#include <string>
#include <vector>

#include "support/temp_tree.h"

namespace quilldex::testing {

struct LinkCheck {
    std::size_t indexFiles = 0;
    std::size_t linksFollowed = 0;
    // "index file: href" for each link whose target does not exist.
    std::vector<std::string> broken;
};

// Checks the links of every file named `indexName` (in UTF-8) under `top`. Absolute
// URLs (the credit line), the ".." row of the top index and links through a
// symbolic link to a directory (whose index the walk does not write) are
// passed over.
LinkCheck checkIndexLinks(const fs::path& top, const std::string& indexName);

}  // namespace quilldex::testing
