// Runs a built program the way a user would, for end-to-end tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quilldex::testing {

struct CommandResult {
    int exitCode = -1;
    std::string standardOutput;
    std::string standardError;
};

// Runs `program` with `arguments` in `workingDirectory`, standard input
// empty, and collects its exit code and both output streams byte for byte.
CommandResult runCommand(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::filesystem::path& workingDirectory);

}  // namespace quilldex::testing
