// quilldex-cli: writes the HTML index of a directory, or of every directory
// of a tree, from the command line.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "cli/progress.h"
#include "index/export_runs.h"
#include "platform/platform.h"
#include "version.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitRunFailed = 1;
constexpr int kExitUsage = 2;

void printError(const std::string& message)
{
    std::fprintf(stderr, "quilldex-cli: %s\n", message.c_str());
}

// A relative output path names a file relative to where the command was
// started, not to the directory being indexed.
std::string outputPathFromStart(const std::string& output)
{
    if (output == "-")
        return output;
    const auto start = quilldex::platform::currentDirectory();
    if (!start)
        return output;
    return (std::filesystem::path(*start) / std::filesystem::path(output)).string();
}

int run(const quilldex::cli::CommandLine& line)
{
    namespace platform = quilldex::platform;
    quilldex::IndexOptions options = line.options;
    const std::string outputPath = outputPathFromStart(line.output);

    if (!platform::setCurrentDirectory(line.directory)) {
        printError("chdir(" + line.directory + "): " + platform::lastErrorText());
        return kExitRunFailed;
    }
    options.directory = platform::currentDirectory().value_or(line.directory);

    std::string reason;
    bool ok = false;
    if (options.recursive) {
        quilldex::cli::ProgressLine progressLine;
        quilldex::ProgressCallback progress;
        if (!line.quiet && platform::standardErrorIsTerminal())
            progress = [&progressLine](const quilldex::RecursiveProgress& p) { progressLine.update(p); };
        ok = quilldex::exportRecursive(options, progress, &reason);
        progressLine.finish();
    } else {
        ok = quilldex::exportSingle(outputPath, options, &reason);
    }
    if (!ok) {
        printError("Could not create output file: " + reason);
        return kExitRunFailed;
    }
    return kExitSuccess;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const quilldex::cli::ParseResult parsed = quilldex::cli::parseCommandLine(arguments);
    if (!parsed.error.empty()) {
        printError(parsed.error);
        std::fputs(quilldex::cli::kUsage.data(), stderr);
        return kExitUsage;
    }
    const quilldex::cli::CommandLine& line = parsed.commandLine;
    if (line.help) {
        std::fputs(quilldex::cli::kUsage.data(), stdout);
        std::fputs("\n", stdout);
        std::fputs(quilldex::cli::kHelp.data(), stdout);
        return kExitSuccess;
    }
    if (line.version) {
        std::puts("quilldex-cli " QUILLDEX_VERSION_TEXT);
        return kExitSuccess;
    }
    return run(line);
}
