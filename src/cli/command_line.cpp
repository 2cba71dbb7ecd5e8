// Parsing of quilldex-cli's arguments. Short options may be grouped
// ("-rl") and take their value attached or as the next argument; long
// options take it after "=" or as the next argument; "--" ends options.
#include "cli/command_line.h"

#include <optional>
#include <utility>

#include "index/option_texts.h"

namespace quilldex::cli {

const std::string_view kUsage =
    "usage: quilldex-cli [-hlqrtVx] [-j jobs] [-m mask] [-o file] [-p prefix]\n"
    "                    [-s style]\n"
    "                    [--no-size] [--time] [--date] [--page] [--json]\n"
    "                    [--sort key] [--reverse] [--dirs-first]\n"
    "                    [--exclude mask] [--no-hidden] [--check] [--force]\n"
    "                    [--title text] [--readme] [--allow-html]\n"
    "                    [--header file] [--footer file] [--css file]\n"
    "                    [--css-href url] [--dir-sizes] [--tree-index]\n"
    "                    [directory]\n";

const std::string_view kHelp =
    "Writes an HTML table of the files of DIRECTORY (default: the current\n"
    "directory), or of every directory below it.\n"
    "\n"
    "  -o, --output FILE      write the index to FILE (\"-\": standard output, the\n"
    "                         default); a recursive run writes a file of FILE's\n"
    "                         name (default index.html) into every directory\n"
    "  -r, --recursive        index every directory of the tree\n"
    "  -m, --mask MASK        list only the names that match MASK (default *.*);\n"
    "                         given more than once, names that match any of them\n"
    "      --exclude MASK     neither list nor enter what matches MASK (repeatable)\n"
    "      --no-hidden        neither list nor enter hidden entries\n"
    "      --sort KEY         name (default), natural, size or time\n"
    "      --reverse          turn the order round\n"
    "      --dirs-first       directories before files\n"
    "      --json             write a JSON document instead of the HTML table\n"
    "                         (default name in a recursive run: index.json);\n"
    "                         it has every column and no links, so --no-size,\n"
    "                         --time, --date, -s, -l and -p are refused\n"
    "      --no-size          leave out the Size column\n"
    "      --time             add the Time column\n"
    "      --date             add the Date column\n"
    "  -s, --size-style STYLE auto, bytes, kb, mb or human (default auto)\n"
    "  -l, --links            make each name a link\n"
    "  -p, --prefix TEXT      put TEXT in front of every link target\n"
    "  -t, --titles           show HTML documents by their <title>\n"
    "      --page             write a complete HTML page (sortable, with a\n"
    "                         filter box) instead of the table alone\n"
    "      --title TEXT       with --page: name the top of the pages TEXT\n"
    "                         (default: the directory's own name)\n"
    "      --readme           (page) show each directory's HEADER file above the\n"
    "                         table and its README file below it\n"
    "      --allow-html       (page) insert HEADER and README files written in\n"
    "                         HTML as they are (only for trusted trees)\n"
    "      --header FILE      (page) put the HTML in FILE above every heading\n"
    "      --footer FILE      (page) put the HTML in FILE above every credit line\n"
    "      --css FILE         (page) add the style sheet FILE to every page\n"
    "      --css-href URL     (page) link the style sheet URL from every page; a\n"
    "                         relative URL is taken from the top of the run\n"
    "      --dir-sizes        show in each directory's row the size and number\n"
    "                         of the files listed below it (a single run then\n"
    "                         lists directories too)\n"
    "      --tree-index       (-r --page) write index.tree.json and index.tree.js,\n"
    "                         every entry of the tree, at the top, and give\n"
    "                         every page a switch that searches the whole tree\n"
    "  -q, --quiet            show no progress\n"
    "      --check            write nothing; print each index file that is missing\n"
    "                         or out of date, and exit 1 if there is any\n"
    "      --force            let a recursive run replace files of the index name\n"
    "                         that quilldex-cli did not write (else kept, noted)\n"
    "  -x, --one-file-system  enter no directory on another file system\n"
    "  -j, --jobs N           index up to N directories at once (default: four\n"
    "                         per processor core, 4 to 32; 32 on a network\n"
    "                         file system)\n"
    "  -h, --help             show this help\n"
    "  -V, --version          show the version\n"
    "\n"
    "Exit status: 0 success (with --check: every index is up to date), 1 an\n"
    "index could not be written or a directory was skipped (with --check: an\n"
    "index is missing or out of date), 2 bad usage.\n";

namespace {

struct OptionDefinition {
    char shortName;  // '\0' when there is none
    std::string_view longName;
    bool takesValue;
};

constexpr OptionDefinition kOptions[] = {
    {'o', "output", true},      {'r', "recursive", false},       {'m', "mask", true},
    {'\0', "no-size", false},   {'\0', "time", false},           {'\0', "date", false},
    {'s', "size-style", true},  {'l', "links", false},           {'p', "prefix", true},
    {'t', "titles", false},     {'q', "quiet", false},           {'h', "help", false},
    {'V', "version", false},    {'\0', "page", false},           {'\0', "sort", true},
    {'\0', "reverse", false},   {'\0', "dirs-first", false},     {'\0', "exclude", true},
    {'\0', "no-hidden", false}, {'\0', "json", false},           {'\0', "check", false},
    {'\0', "force", false},     {'x', "one-file-system", false}, {'j', "jobs", true},
    {'\0', "title", true},      {'\0', "readme", false},         {'\0', "allow-html", false},
    {'\0', "header", true},     {'\0', "footer", true},          {'\0', "css", true},
    {'\0', "css-href", true},   {'\0', "dir-sizes", false},      {'\0', "tree-index", false},
};

const OptionDefinition* findShort(char c)
{
    for (const auto& option : kOptions)
        if (option.shortName == c)
            return &option;
    return nullptr;
}

const OptionDefinition* findLong(std::string_view name)
{
    for (const auto& option : kOptions)
        if (option.longName == name)
            return &option;
    return nullptr;
}

std::optional<SortKey> parseSortKey(std::string_view text)
{
    if (text == "name")
        return SortKey::Name;
    if (text == "natural")
        return SortKey::Natural;
    if (text == "size")
        return SortKey::Size;
    if (text == "time")
        return SortKey::Time;
    return std::nullopt;
}

// What is wrong with a mask given with `option`, or "".
std::string maskError(std::string_view option, std::string_view value)
{
    switch (checkMask(value)) {
    case TextProblem::TooLong:
        return std::string(option) + " longer than 127 characters: " + std::string(value);
    case TextProblem::HoldsPath:
        return std::string(option) + " must not name a directory: " + std::string(value);
    default:
        return {};
    }
}

std::optional<SizeStyle> parseSizeStyle(std::string_view text)
{
    if (text == "auto")
        return SizeStyle::Auto;
    if (text == "bytes")
        return SizeStyle::Bytes;
    if (text == "kb")
        return SizeStyle::Kilobytes;
    if (text == "mb")
        return SizeStyle::Megabytes;
    if (text == "human")
        return SizeStyle::Human;
    return std::nullopt;
}

// Applies one option; returns an error text or "".
std::string apply(CommandLine& line, const OptionDefinition& option, std::string_view value)
{
    IndexOptions& options = line.options;
    const std::string_view name = option.longName;
    if (name == "output") {
        if (value.empty())
            return "empty output file name";
        line.output = value;
        line.outputGiven = true;
    } else if (name == "recursive") {
        options.recursive = true;
    } else if (name == "mask") {
        if (auto error = maskError("mask", value); !error.empty())
            return error;
        // Collected here; the first becomes fileMask once all are read.
        options.extraMasks.emplace_back(value);
    } else if (name == "exclude") {
        if (auto error = maskError("exclude mask", value); !error.empty())
            return error;
        options.excludeMasks.emplace_back(value);
    } else if (name == "no-hidden") {
        options.skipHidden = true;
    } else if (name == "sort") {
        const auto key = parseSortKey(value);
        if (!key)
            return "bad sort key: " + std::string(value) + " (name, natural, size or time)";
        options.sortKey = *key;
    } else if (name == "reverse") {
        options.reverseOrder = true;
    } else if (name == "dirs-first") {
        options.directoriesFirst = true;
    } else if (name == "json") {
        options.form = OutputForm::Json;
    } else if (name == "no-size") {
        options.showSize = false;
    } else if (name == "time") {
        options.showTime = true;
    } else if (name == "date") {
        options.showDate = true;
    } else if (name == "size-style") {
        const auto style = parseSizeStyle(value);
        if (!style)
            return "bad size style: " + std::string(value) + " (auto, bytes, kb, mb or human)";
        options.sizeStyle = *style;
    } else if (name == "links") {
        options.makeLinks = true;
    } else if (name == "prefix") {
        if (checkLinkPrefix(value) == TextProblem::TooLong)
            return "prefix longer than 255 characters: " + std::string(value);
        options.linkPrefix = value;
    } else if (name == "titles") {
        options.readTitles = true;
    } else if (name == "page") {
        options.form = OutputForm::Page;
    } else if (name == "title") {
        if (value.empty())
            return "empty title";
        if (checkPageTitle(value) == TextProblem::TooLong)
            return "title longer than 255 characters: " + std::string(value);
        options.pageTitle = value;
    } else if (name == "readme") {
        options.site.showReadme = true;
    } else if (name == "allow-html") {
        options.site.allowHtml = true;
    } else if (name == "header" || name == "footer" || name == "css") {
        if (value.empty())
            return "empty " + std::string(name) + " file name";
        (name == "header" ? line.headerFile : name == "footer" ? line.footerFile : line.styleFile) = value;
    } else if (name == "css-href") {
        if (value.empty())
            return "empty --css-href";
        options.site.styleHref = value;
    } else if (name == "dir-sizes") {
        options.folderTotals = true;
    } else if (name == "tree-index") {
        options.treeIndex = true;
    } else if (name == "check") {
        options.checkOnly = true;
    } else if (name == "force") {
        line.force = true;
    } else if (name == "one-file-system") {
        options.oneFileSystem = true;
    } else if (name == "jobs") {
        unsigned jobs = 0;
        for (const char c : value) {
            if (c < '0' || c > '9' || jobs > 1000) {
                jobs = 0;
                break;
            }
            jobs = jobs * 10 + static_cast<unsigned>(c - '0');
        }
        if (jobs < 1 || jobs > 256)
            return "bad number of jobs: " + std::string(value) + " (1 to 256)";
        options.jobs = jobs;
    } else if (name == "quiet") {
        line.quiet = true;
    } else if (name == "help") {
        line.help = true;
    } else if (name == "version") {
        line.version = true;
    }
    return {};
}

// Two options given together that ask for contradicting things, or an
// option the chosen form would ignore: what to say, or "".
std::string conflictError(const std::vector<std::string_view>& given)
{
    const auto has = [&given](std::string_view name) {
        for (const std::string_view option : given)
            if (option == name)
                return true;
        return false;
    };
    if (has("json") && has("page"))
        return "--json and --page cannot be used together";
    // The JSON form writes every fact and no link.
    if (has("json"))
        for (const std::string_view ignored : {"no-size", "time", "date", "size-style", "links", "prefix"})
            if (has(ignored))
                return "--json and --" + std::string(ignored) + " cannot be used together";
    if (has("title") && !has("page"))
        return "--title is used only with --page";
    return {};
}

// The first option given that needs another one that is missing, as
// "--readme needs --page", or "".
std::string missingCompanion(const CommandLine& line)
{
    const SiteOptions& site = line.options.site;
    if (line.options.form != OutputForm::Page) {
        const std::pair<bool, std::string_view> pageOnly[] = {
            {site.showReadme, "--readme"},           {!line.headerFile.empty(), "--header"},
            {!line.footerFile.empty(), "--footer"},  {!line.styleFile.empty(), "--css"},
            {!site.styleHref.empty(), "--css-href"},
        };
        for (const auto& [given, option] : pageOnly)
            if (given)
                return std::string(option) + " needs --page";
    }
    if (line.options.treeIndex && (!line.options.recursive || line.options.form != OutputForm::Page))
        return "--tree-index needs -r and --page";
    if (site.allowHtml && !site.showReadme)
        return "--allow-html needs --readme";
    return {};
}

}  // namespace

ParseResult parseCommandLine(const std::vector<std::string_view>& arguments)
{
    ParseResult result;
    CommandLine& line = result.commandLine;
    std::vector<std::string_view> operands;
    // The long names of the options given, for the conflicts between them.
    std::vector<std::string_view> given;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument.substr(0, 2) == "--") {
            const std::string_view body = argument.substr(2);
            const std::size_t equals = body.find('=');
            const OptionDefinition* option = findLong(body.substr(0, equals));
            if (option == nullptr) {
                result.error = "unknown option: " + std::string(argument);
                return result;
            }
            std::string_view value;
            if (option->takesValue) {
                if (equals != std::string_view::npos) {
                    value = body.substr(equals + 1);
                } else if (i + 1 < arguments.size()) {
                    value = arguments[++i];
                } else {
                    result.error = "option needs a value: " + std::string(argument);
                    return result;
                }
            } else if (equals != std::string_view::npos) {
                result.error = "option takes no value: " + std::string(argument);
                return result;
            }
            result.error = apply(line, *option, value);
            if (!result.error.empty())
                return result;
            given.push_back(option->longName);
            continue;
        }
        for (std::size_t k = 1; k < argument.size(); ++k) {
            const OptionDefinition* option = findShort(argument[k]);
            if (option == nullptr) {
                result.error = "unknown option: -" + std::string(1, argument[k]);
                return result;
            }
            std::string_view value;
            if (option->takesValue) {
                if (k + 1 < argument.size()) {
                    value = argument.substr(k + 1);
                } else if (i + 1 < arguments.size()) {
                    value = arguments[++i];
                } else {
                    result.error = "option needs a value: -" + std::string(1, argument[k]);
                    return result;
                }
                k = argument.size();
            }
            result.error = apply(line, *option, value);
            if (!result.error.empty())
                return result;
            given.push_back(option->longName);
        }
    }

    result.error = conflictError(given);
    if (!result.error.empty())
        return result;
    if (operands.size() > 1) {
        result.error = "more than one directory: " + std::string(operands[1]);
        return result;
    }
    if (!operands.empty())
        line.directory = operands[0];
    auto& masks = line.options.extraMasks;
    if (!masks.empty()) {
        line.options.fileMask = masks.front();
        masks.erase(masks.begin());
    }
    if (line.options.recursive) {
        if (line.output == "-") {
            result.error = "a recursive run writes files and needs a file name, not -";
            return result;
        }
        if (!line.outputGiven)
            line.output = line.options.form == OutputForm::Json ? "index.json" : "index.html";
    } else if (!line.outputGiven) {
        line.output = "-";
    }
    const std::string name = line.output == "-" ? std::string() : fileNamePart(line.output);
    if (line.output != "-") {
        const TextProblem problem = checkOutputName(name);
        if (problem == TextProblem::Empty) {
            result.error = "output has no file name: " + line.output;
            return result;
        }
        if (problem == TextProblem::TooLong) {
            result.error = "output file name longer than 255 characters: " + name;
            return result;
        }
    }
    line.options.outputName = name;
    if (result.error = missingCompanion(line); !result.error.empty())
        return result;
    if (line.options.checkOnly && line.output == "-") {
        result.error = "--check compares with a file and needs one: -o FILE or -r";
        return result;
    }
    return result;
}

}  // namespace quilldex::cli
