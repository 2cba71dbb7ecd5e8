#include "support/run_command.h"

#include <cstdlib>

#include "support/command_shell.h"
#include "support/temp_tree.h"

namespace quilldex::testing {

CommandResult runCommand(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::filesystem::path& workingDirectory)
{
    TempTree scratch;
    const auto out = scratch.path("stdout");
    const auto err = scratch.path("stderr");
    const auto in = scratch.file("stdin");

    std::string command = quoteArgument(program.string());
    for (const auto& argument : arguments)
        command += " " + quoteArgument(argument);
    command +=
        " <" + quoteArgument(in.string()) + " >" + quoteArgument(out.string()) + " 2>" + quoteArgument(err.string());

    const ChangeDirectory inside(workingDirectory);
    const int status = std::system(wrapCommandLine(command).c_str());
    CommandResult result;
    result.exitCode = exitCodeOf(status);
    result.standardOutput = readFile(out);
    result.standardError = readFile(err);
    return result;
}

}  // namespace quilldex::testing
