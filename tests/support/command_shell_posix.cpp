#include <sys/wait.h>

#include "support/command_shell.h"

namespace quilldex::testing {

std::string quoteArgument(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string wrapCommandLine(const std::string& commandLine)
{
    return commandLine;
}

int exitCodeOf(int systemStatus)
{
    return WIFEXITED(systemStatus) ? WEXITSTATUS(systemStatus) : -1;
}

}  // namespace quilldex::testing
