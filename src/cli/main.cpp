// quilldex-cli: writes the HTML index of a directory, or of every directory
// of a tree, from the command line.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "cli/progress.h"
#include "index/export_runs.h"
#include "index/message_text.h"
#include "platform/marked_text.h"
#include "platform/platform.h"
#include "version.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitRunFailed = 1;
constexpr int kExitUsage = 2;

// A message names paths in the code page of the console. A character the
// code page lacks (carried marked, see platform.h) shows as '?', as the
// system shows it.
void printError(const std::string& message)
{
    std::string text;
    if (quilldex::platform::carriesMarkedCharacters(message))
        quilldex::platform::forEachMarkedPiece(
            message, [&](std::string_view run) { text += run; }, [&](char32_t) { text += '?'; });
    else
        text = message;
    std::fprintf(stderr, "quilldex-cli: %s\n", text.c_str());
}

bool isPathSeparator(char c)
{
    return c == '\\' || c == '/';
}

// `output` after the Windows path `start`, joined by hand: std::filesystem
// would take the bytes of a marked text for code-page characters.
std::string joinMarkedPath(const std::string& start, const std::string& output)
{
    const bool hasDrive = output.size() >= 2 && output[1] == ':';
    if (hasDrive || (output.size() >= 2 && isPathSeparator(output[0]) && isPathSeparator(output[1])))
        return output;
    if (!output.empty() && isPathSeparator(output[0]))
        return (start.size() >= 2 && start[1] == ':' ? start.substr(0, 2) : std::string()) + output;
    if (start.empty() || isPathSeparator(start.back()))
        return start + output;
    return start + '\\' + output;
}

// A relative output path names a file relative to where the command was
// started, not to the directory being indexed. Nothing when that directory
// is gone: the file must not land in the indexed directory instead.
std::optional<std::string> outputPathFromStart(const std::string& output)
{
    namespace platform = quilldex::platform;
    if (output == "-" || std::filesystem::path(output).is_absolute())
        return output;
    const auto start = platform::currentDirectory();
    if (!start)
        return std::nullopt;
    if (platform::carriesMarkedCharacters(*start) || platform::carriesMarkedCharacters(output))
        return joinMarkedPath(*start, output);
    return (std::filesystem::path(*start) / std::filesystem::path(output)).string();
}

// The directory to index as an absolute path, links resolved, as the run
// names its top (a page names it by its last part). Taken once, before the
// run; where it cannot be resolved the run's own open names the failure.
std::string absoluteDirectory(const std::string& directory)
{
    namespace platform = quilldex::platform;
    if (platform::carriesMarkedCharacters(directory)) {
        const auto start = platform::currentDirectory();
        return start ? joinMarkedPath(*start, directory) : directory;
    }
    std::error_code error;
    const auto canonical = std::filesystem::canonical(std::filesystem::path(directory), error);
    return error ? directory : canonical.string();
}

// A path relative to the top of the run, as seen from where the command was
// started.
std::string fromStart(const std::string& directory, const std::string& path)
{
    if (directory == ".")
        return path;
    const bool separated = directory.find_last_of(quilldex::platform::kPathSeparators) == directory.size() - 1;
    return directory + (separated ? "" : "/") + path;
}

// Reads a file named on the command line for every page (the site header,
// footer or style sheet) into `text`; false, having said why, when it
// cannot.
bool readSiteFile(std::string_view role, const std::string& path, std::string& text)
{
    namespace platform = quilldex::platform;
    if (path.empty())
        return true;
    constexpr std::size_t kLargest = std::size_t{16} << 20;
    platform::SmallFile file = platform::readSmallFile(nullptr, path, kLargest, platform::FollowLinks::Yes);
    using Status = platform::SmallFile::Status;
    switch (file.status) {
    case Status::Read:
        text = std::move(file.bytes);
        return true;
    case Status::Missing:
        file.error = "No such file or directory";
        break;
    case Status::NotRegular:
        file.error = "not a regular file";
        break;
    case Status::TooLarge:
        file.error = "larger than 16 MiB";
        break;
    case Status::Failed:
        break;
    }
    printError(std::string(role) + "(" + path + "): " + file.error);
    return false;
}

// Whether a style sheet can be inlined: the text "</style" would end the
// page's style element and let the rest pass for markup.
bool closesStyleElement(std::string_view style)
{
    for (std::size_t at = style.find("</"); at != std::string_view::npos; at = style.find("</", at + 1)) {
        std::string word(style.substr(at + 2, 5));
        for (char& c : word)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (word == "style")
            return true;
    }
    return false;
}

int run(const quilldex::cli::CommandLine& line)
{
    namespace platform = quilldex::platform;
    quilldex::IndexOptions options = line.options;
    options.keepForeignFiles = options.recursive && !line.force;
    // Read before the run changes directory: the paths are the user's.
    if (!readSiteFile("header", line.headerFile, options.site.header) ||
        !readSiteFile("footer", line.footerFile, options.site.footer) ||
        !readSiteFile("css", line.styleFile, options.site.style))
        return kExitRunFailed;
    if (closesStyleElement(options.site.style)) {
        printError("css(" + line.styleFile + "): holds \"</style\", which would end the page's style element");
        return kExitRunFailed;
    }
    options.site.note = [](const std::string& note) { printError(note); };
    const auto outputPath = outputPathFromStart(line.output);
    if (!outputPath && !options.recursive) {
        printError("Could not create output file: open(" + line.output + "): " + platform::lastErrorText() +
                   " (the directory the command was started in is gone)");
        return kExitRunFailed;
    }

    options.directory = absoluteDirectory(line.directory);

    std::string reason;
    quilldex::RunReport report;
    bool ok = false;
    if (options.recursive) {
        quilldex::cli::ProgressLine progressLine;
        quilldex::ProgressCallback progress;
        if (!line.quiet && !options.checkOnly && platform::standardErrorIsTerminal())
            progress = [&progressLine](const quilldex::RecursiveProgress& p) { progressLine.update(p); };
        ok = quilldex::exportRecursive(options, progress, &reason, &report);
        progressLine.finish(report.counts);
    } else {
        ok = quilldex::exportSingle(outputPath.value_or(line.output), options, &reason, &report);
    }
    for (const std::string& note : report.notes)
        printError(note);
    for (const std::string& problem : report.problems)
        printError(problem);
    if (!ok) {
        printError("Could not create output file: " + reason);
        return kExitRunFailed;
    }
    if (options.checkOnly) {
        for (const std::string& stale : report.stale)
            std::printf("%s\n",
                        quilldex::lineSafe(options.recursive ? fromStart(line.directory, stale) : line.output).c_str());
        return report.stale.empty() && report.problems.empty() ? kExitSuccess : kExitRunFailed;
    }
    return report.problems.empty() ? kExitSuccess : kExitRunFailed;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> texts = quilldex::platform::commandLineArguments(argc, argv);
    const std::vector<std::string_view> arguments(texts.begin(), texts.end());
    const quilldex::cli::ParseResult parsed = quilldex::cli::parseCommandLine(arguments);
    if (!parsed.error.empty()) {
        printError(parsed.error);
        std::fputs(quilldex::cli::kUsage.data(), stderr);
        return kExitUsage;
    }
    const quilldex::cli::CommandLine& line = parsed.commandLine;
    quilldex::platform::removeTemporaryFilesOnInterrupt();
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
