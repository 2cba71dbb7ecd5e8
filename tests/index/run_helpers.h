// What the tests of export runs share.
#pragma once

#include <filesystem>
#include <string>

#include "index/index_options.h"
#include "platform/platform.h"

namespace quilldex::testing {

// A recursive run writing index.html with the name column only.
inline IndexOptions recursiveOptions(const std::string& mask = "*.*")
{
    IndexOptions options;
    options.showSize = false;
    options.recursive = true;
    options.outputName = "index.html";
    options.fileMask = mask;
    return options;
}

// The current directory, as the code under test sees it.
inline std::filesystem::path here()
{
    return std::filesystem::path(platform::currentDirectory().value());
}

}  // namespace quilldex::testing
