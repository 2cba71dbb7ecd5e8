// What the tests of export runs share.
#pragma once

#include <filesystem>
#include <string>

#include "index/export_runs.h"
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
    // One job: these tests change the tree between directories and look at
    // the order of the walk.
    options.jobs = 1;
    return options;
}

// The directory a progress report names, as a path below `top`.
inline std::filesystem::path indexedPath(const std::filesystem::path& top, const RecursiveProgress& progress)
{
    const std::string directory = progress.directory();
    return directory == "." ? top : top / std::filesystem::path(directory);
}

// The current directory, as the code under test sees it.
inline std::filesystem::path here()
{
    return std::filesystem::path(platform::currentDirectory().value());
}

}  // namespace quilldex::testing
