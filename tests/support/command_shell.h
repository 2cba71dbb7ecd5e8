// What differs between the command interpreters that std::system uses:
// /bin/sh on POSIX, cmd.exe on Windows. One implementation per system.
#pragma once

#include <string>

namespace quilldex::testing {

// `text` quoted as one argument.
std::string quoteArgument(const std::string& text);

// The whole command line as std::system must be given it.
std::string wrapCommandLine(const std::string& commandLine);

// The program's exit code from what std::system returned (-1 when it did
// not exit normally).
int exitCodeOf(int systemStatus);

}  // namespace quilldex::testing
