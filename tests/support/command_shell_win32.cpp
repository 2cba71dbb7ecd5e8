#include "support/command_shell.h"

namespace quilldex::testing {

std::string quoteArgument(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string wrapCommandLine(const std::string& commandLine)
{
    // cmd.exe strips the outer quotes of a command line that starts with one.
    return "\"" + commandLine + "\"";
}

int exitCodeOf(int systemStatus)
{
    return systemStatus;
}

}  // namespace quilldex::testing
