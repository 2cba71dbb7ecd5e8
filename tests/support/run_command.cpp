#include "support/run_command.h"

#include <cstdlib>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "support/temp_tree.h"

namespace quilldex::testing {

namespace {

// Quotes an argument for the system's command interpreter.
std::string quote(const std::string& text)
{
#ifdef _WIN32
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
#else
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
#endif
}

}  // namespace

CommandResult runCommand(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::filesystem::path& workingDirectory)
{
    TempTree scratch;
    const auto out = scratch.path("stdout");
    const auto err = scratch.path("stderr");
    const auto in = scratch.file("stdin");

    std::string command = quote(program.string());
    for (const auto& argument : arguments)
        command += " " + quote(argument);
    command += " <" + quote(in.string()) + " >" + quote(out.string()) + " 2>" + quote(err.string());
#ifdef _WIN32
    // cmd.exe strips the outer quotes of a command line that starts with one.
    command = "\"" + command + "\"";
#endif

    const ChangeDirectory inside(workingDirectory);
    const int status = std::system(command.c_str());
    CommandResult result;
#ifdef _WIN32
    result.exitCode = status;
#else
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    result.standardOutput = readFile(out);
    result.standardError = readFile(err);
    return result;
}

}  // namespace quilldex::testing
