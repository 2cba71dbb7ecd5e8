// The command line of quilldex-cli: what it asks for, or why it is wrong.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "index/index_options.h"

namespace quilldex::cli {

struct CommandLine {
    // Filled as the dialog would fill it, less `directory` and
    // `outputName`, which are settled when the run starts.
    IndexOptions options;
    // Where the index goes: "-" for the standard output. In a recursive
    // run only its file-name part is used.
    std::string output;
    bool outputGiven = false;
    std::string directory = ".";
    bool quiet = false;
    // Replace index-named files that quilldex-cli did not write.
    bool force = false;
    // Files for the page's site header, footer and style sheet, read when
    // the run starts ("" when not given).
    std::string headerFile;
    std::string footerFile;
    std::string styleFile;
    bool help = false;
    bool version = false;

    friend bool operator==(const CommandLine&, const CommandLine&) = default;
};

struct ParseResult {
    CommandLine commandLine;
    // Empty when the command line is good; else what is wrong with it,
    // naming the bad value.
    std::string error;
};

ParseResult parseCommandLine(const std::vector<std::string_view>& arguments);

extern const std::string_view kUsage;
extern const std::string_view kHelp;

}  // namespace quilldex::cli
