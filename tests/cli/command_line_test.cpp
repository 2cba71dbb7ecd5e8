// parseCommandLine in-process: every option in each of its spellings, and
// every usage error with its message. Both quilldex-cli programs share this
// parser, so comparing their outputs cannot catch a fault in it.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"

namespace quilldex::cli {
namespace {

std::string describe(const CommandLine& line)
{
    const IndexOptions& o = line.options;
    std::ostringstream text;
    text << "output=" << line.output << (line.outputGiven ? " (given)" : "") << " directory=" << line.directory
         << " quiet=" << line.quiet << " help=" << line.help << " version=" << line.version << " mask=" << o.fileMask
         << " prefix=" << o.linkPrefix << " outputName=" << o.outputName << " size=" << o.showSize
         << " time=" << o.showTime << " date=" << o.showDate << " links=" << o.makeLinks << " titles=" << o.readTitles
         << " sizeStyle=" << static_cast<int>(o.sizeStyle) << " recursive=" << o.recursive
         << " form=" << static_cast<int>(o.form) << " extraMasks=" << ::testing::PrintToString(o.extraMasks)
         << " excludeMasks=" << ::testing::PrintToString(o.excludeMasks) << " skipHidden=" << o.skipHidden
         << " sortKey=" << static_cast<int>(o.sortKey) << " reverse=" << o.reverseOrder
         << " directoriesFirst=" << o.directoriesFirst << " pageTitle=" << o.pageTitle << " jobs=" << o.jobs
         << " readme=" << o.site.showReadme << " allowHtml=" << o.site.allowHtml << " styleHref=" << o.site.styleHref
         << " headerFile=" << line.headerFile << " footerFile=" << line.footerFile << " styleFile=" << line.styleFile;
    return text.str();
}

ParseResult parse(const std::vector<std::string>& arguments)
{
    const std::vector<std::string_view> views(arguments.begin(), arguments.end());
    return parseCommandLine(views);
}

// What a command line without arguments asks for.
CommandLine defaults()
{
    CommandLine line;
    line.output = "-";
    return line;
}

// A good command line and how it differs from the defaults.
struct GoodCase {
    std::vector<std::string> arguments;
    std::function<void(CommandLine&)> expect;
};

void writeTo(CommandLine& line, const std::string& output, const std::string& name)
{
    line.output = output;
    line.outputGiven = true;
    line.options.outputName = name;
}

void recursiveInto(CommandLine& line, const std::string& output, const std::string& name)
{
    line.options.recursive = true;
    line.output = output;
    line.options.outputName = name;
}

const std::string kLongestMask(kMaxFileMaskLength, '*');
const std::string kLongestPrefix(kMaxLinkPrefixLength, 'p');
const std::string kLongestName(kMaxOutputNameLength, 'n');

const GoodCase kGoodCases[] = {
    {{}, [](CommandLine&) {}},
    // -o, --output
    {{"-o", "out.html"}, [](CommandLine& l) { writeTo(l, "out.html", "out.html"); }},
    {{"-oout.html"}, [](CommandLine& l) { writeTo(l, "out.html", "out.html"); }},
    {{"--output", "out.html"}, [](CommandLine& l) { writeTo(l, "out.html", "out.html"); }},
    {{"--output=out.html"}, [](CommandLine& l) { writeTo(l, "out.html", "out.html"); }},
    {{"--output=a=b.html"}, [](CommandLine& l) { writeTo(l, "a=b.html", "a=b.html"); }},
    {{"-o", "web/list.htm"}, [](CommandLine& l) { writeTo(l, "web/list.htm", "list.htm"); }},
    // '\\' separates only where the system says so (Windows); on POSIX it
    // is part of the name.
    {{"-o", "web\\list.htm"},
     [](CommandLine& l) {
         const bool separates = platform::kPathSeparators.find('\\') != std::string_view::npos;
         writeTo(l, "web\\list.htm", separates ? "list.htm" : "web\\list.htm");
     }},
    {{"-o", "-"}, [](CommandLine& l) { writeTo(l, "-", ""); }},
    {{"-o", "-o"}, [](CommandLine& l) { writeTo(l, "-o", "-o"); }},
    {{"-o", kLongestName}, [](CommandLine& l) { writeTo(l, kLongestName, kLongestName); }},
    {{"-o", "a.html", "-o", "b.html"}, [](CommandLine& l) { writeTo(l, "b.html", "b.html"); }},
    // -r, --recursive
    {{"-r"}, [](CommandLine& l) { recursiveInto(l, "index.html", "index.html"); }},
    {{"--recursive"}, [](CommandLine& l) { recursiveInto(l, "index.html", "index.html"); }},
    {{"-r", "-o", "../web/list.htm"},
     [](CommandLine& l) {
         recursiveInto(l, "../web/list.htm", "list.htm");
         l.outputGiven = true;
     }},
    // -m, --mask
    {{"-m", "*.txt"}, [](CommandLine& l) { l.options.fileMask = "*.txt"; }},
    {{"-m*.txt"}, [](CommandLine& l) { l.options.fileMask = "*.txt"; }},
    {{"--mask", "*.txt"}, [](CommandLine& l) { l.options.fileMask = "*.txt"; }},
    {{"--mask=*.txt"}, [](CommandLine& l) { l.options.fileMask = "*.txt"; }},
    {{"-m", kLongestMask}, [](CommandLine& l) { l.options.fileMask = kLongestMask; }},
    // More than one -m: the first is the mask, the others more masks.
    {{"-m", "*.txt", "--mask=*.log", "-m*.htm"},
     [](CommandLine& l) {
         l.options.fileMask = "*.txt";
         l.options.extraMasks = {"*.log", "*.htm"};
     }},
    // Selection and order.
    {{"--exclude", "*.tmp", "--exclude=.git"},
     [](CommandLine& l) {
         l.options.excludeMasks = {"*.tmp", ".git"};
     }},
    {{"--exclude", kLongestMask}, [](CommandLine& l) { l.options.excludeMasks = {kLongestMask}; }},
    {{"--no-hidden"}, [](CommandLine& l) { l.options.skipHidden = true; }},
    {{"--sort", "name"}, [](CommandLine& l) { l.options.sortKey = SortKey::Name; }},
    {{"--sort", "natural"}, [](CommandLine& l) { l.options.sortKey = SortKey::Natural; }},
    {{"--sort=size"}, [](CommandLine& l) { l.options.sortKey = SortKey::Size; }},
    {{"--sort", "time"}, [](CommandLine& l) { l.options.sortKey = SortKey::Time; }},
    {{"--sort", "time", "--sort", "name"}, [](CommandLine& l) { l.options.sortKey = SortKey::Name; }},
    {{"--reverse"}, [](CommandLine& l) { l.options.reverseOrder = true; }},
    {{"--dirs-first"}, [](CommandLine& l) { l.options.directoriesFirst = true; }},
    // --json, and its own default name in a recursive run.
    {{"--json"}, [](CommandLine& l) { l.options.form = OutputForm::Json; }},
    {{"--json", "-r"},
     [](CommandLine& l) {
         l.options.form = OutputForm::Json;
         recursiveInto(l, "index.json", "index.json");
     }},
    {{"-r", "--json", "-o", "list.json"},
     [](CommandLine& l) {
         l.options.form = OutputForm::Json;
         recursiveInto(l, "list.json", "list.json");
         l.outputGiven = true;
     }},
    // Columns.
    {{"--no-size"}, [](CommandLine& l) { l.options.showSize = false; }},
    {{"--time"}, [](CommandLine& l) { l.options.showTime = true; }},
    {{"--date"}, [](CommandLine& l) { l.options.showDate = true; }},
    {{"--time", "--date", "--no-size"},
     [](CommandLine& l) {
         l.options.showTime = true;
         l.options.showDate = true;
         l.options.showSize = false;
     }},
    // -s, --size-style
    {{"-s", "auto"}, [](CommandLine& l) { l.options.sizeStyle = SizeStyle::Auto; }},
    {{"-s", "bytes"}, [](CommandLine& l) { l.options.sizeStyle = SizeStyle::Bytes; }},
    {{"-s", "kb"}, [](CommandLine& l) { l.options.sizeStyle = SizeStyle::Kilobytes; }},
    {{"-s", "mb"}, [](CommandLine& l) { l.options.sizeStyle = SizeStyle::Megabytes; }},
    {{"-skb"}, [](CommandLine& l) { l.options.sizeStyle = SizeStyle::Kilobytes; }},
    {{"--size-style", "bytes"}, [](CommandLine& l) { l.options.sizeStyle = SizeStyle::Bytes; }},
    {{"--size-style=kb"}, [](CommandLine& l) { l.options.sizeStyle = SizeStyle::Kilobytes; }},
    {{"-s", "mb", "-s", "auto"}, [](CommandLine& l) { l.options.sizeStyle = SizeStyle::Auto; }},
    {{"-s", "human"}, [](CommandLine& l) { l.options.sizeStyle = SizeStyle::Human; }},
    {{"--size-style=human"}, [](CommandLine& l) { l.options.sizeStyle = SizeStyle::Human; }},
    // -l, -p, -t
    {{"-l"}, [](CommandLine& l) { l.options.makeLinks = true; }},
    {{"--links"}, [](CommandLine& l) { l.options.makeLinks = true; }},
    {{"-p", "http://host/files/"}, [](CommandLine& l) { l.options.linkPrefix = "http://host/files/"; }},
    {{"-p../"}, [](CommandLine& l) { l.options.linkPrefix = "../"; }},
    {{"--prefix", "-"}, [](CommandLine& l) { l.options.linkPrefix = "-"; }},
    {{"--prefix="}, [](CommandLine&) {}},
    {{"--prefix=a=b"}, [](CommandLine& l) { l.options.linkPrefix = "a=b"; }},
    {{"-p", kLongestPrefix}, [](CommandLine& l) { l.options.linkPrefix = kLongestPrefix; }},
    {{"-t"}, [](CommandLine& l) { l.options.readTitles = true; }},
    {{"--titles"}, [](CommandLine& l) { l.options.readTitles = true; }},
    {{"--page"}, [](CommandLine& l) { l.options.form = OutputForm::Page; }},
    {{"--page", "-r"},
     [](CommandLine& l) {
         l.options.form = OutputForm::Page;
         recursiveInto(l, "index.html", "index.html");
     }},
    {{"--page", "--title", "Our files"},
     [](CommandLine& l) {
         l.options.form = OutputForm::Page;
         l.options.pageTitle = "Our files";
     }},
    {{"--title=-r", "--page"},
     [](CommandLine& l) {
         l.options.form = OutputForm::Page;
         l.options.pageTitle = "-r";
     }},
    {{"--page", "--title", kLongestPrefix},
     [](CommandLine& l) {
         l.options.form = OutputForm::Page;
         l.options.pageTitle = kLongestPrefix;
     }},
    // The JSON form with the options it uses.
    {{"--json", "-t", "--sort", "size"},
     [](CommandLine& l) {
         l.options.form = OutputForm::Json;
         l.options.readTitles = true;
         l.options.sortKey = SortKey::Size;
     }},
    // What the page carries besides the listing.
    {{"--page", "--readme", "--allow-html"},
     [](CommandLine& l) {
         l.options.form = OutputForm::Page;
         l.options.site.showReadme = true;
         l.options.site.allowHtml = true;
     }},
    {{"--page", "--header", "top.html", "--footer=bottom.html", "--css", "site.css", "--css-href=../a b.css"},
     [](CommandLine& l) {
         l.options.form = OutputForm::Page;
         l.headerFile = "top.html";
         l.footerFile = "bottom.html";
         l.styleFile = "site.css";
         l.options.site.styleHref = "../a b.css";
     }},
    // The manifest of the whole tree.
    {{"-r", "--page", "--tree-index"},
     [](CommandLine& l) {
         recursiveInto(l, "index.html", "index.html");
         l.options.form = OutputForm::Page;
         l.options.treeIndex = true;
     }},
    // -q, -h, -V
    {{"-q"}, [](CommandLine& l) { l.quiet = true; }},
    {{"--quiet"}, [](CommandLine& l) { l.quiet = true; }},
    {{"-h"}, [](CommandLine& l) { l.help = true; }},
    {{"--help"}, [](CommandLine& l) { l.help = true; }},
    {{"-V"}, [](CommandLine& l) { l.version = true; }},
    {{"--version"}, [](CommandLine& l) { l.version = true; }},
    // Grouped short options; a value ends the group.
    {{"-lt"},
     [](CommandLine& l) {
         l.options.makeLinks = true;
         l.options.readTitles = true;
     }},
    {{"-lm*.txt"},
     [](CommandLine& l) {
         l.options.makeLinks = true;
         l.options.fileMask = "*.txt";
     }},
    {{"-lm", "*.txt"},
     [](CommandLine& l) {
         l.options.makeLinks = true;
         l.options.fileMask = "*.txt";
     }},
    {{"-mlt"}, [](CommandLine& l) { l.options.fileMask = "lt"; }},
    // The directory, before or after options; "--" ends the options.
    {{"docs"}, [](CommandLine& l) { l.directory = "docs"; }},
    {{"docs", "-l"},
     [](CommandLine& l) {
         l.directory = "docs";
         l.options.makeLinks = true;
     }},
    {{"-"}, [](CommandLine& l) { l.directory = "-"; }},
    {{"--", "-r"}, [](CommandLine& l) { l.directory = "-r"; }},
    {{"--", "--"}, [](CommandLine& l) { l.directory = "--"; }},
    {{"-l", "--", "--help"},
     [](CommandLine& l) {
         l.options.makeLinks = true;
         l.directory = "--help";
     }},
};

TEST(ParseCommandLine, EveryOptionInEachSpelling)
{
    for (const auto& c : kGoodCases) {
        const std::string arguments = ::testing::PrintToString(c.arguments);
        const ParseResult result = parse(c.arguments);
        EXPECT_EQ(result.error, "") << arguments;
        CommandLine expected = defaults();
        c.expect(expected);
        EXPECT_TRUE(result.commandLine == expected)
            << arguments << "\n  got:      " << describe(result.commandLine) << "\n  expected: " << describe(expected);
    }
}

TEST(ParseCommandLine, EveryUsageErrorNamesTheBadValue)
{
    const std::string tooLongMask(kMaxFileMaskLength + 1, 'm');
    const std::string tooLongPrefix(kMaxLinkPrefixLength + 1, 'p');
    const std::string tooLongName(kMaxOutputNameLength + 1, 'n');
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{"--bogus"}, "unknown option: --bogus"},
        {{"--bogus=1"}, "unknown option: --bogus=1"},
        {{"-Y"}, "unknown option: -Y"},
        {{"-lY"}, "unknown option: -Y"},
        {{"--Links"}, "unknown option: --Links"},
        {{"--link"}, "unknown option: --link"},
        {{"-o"}, "option needs a value: -o"},
        {{"-m"}, "option needs a value: -m"},
        {{"-s"}, "option needs a value: -s"},
        {{"-p"}, "option needs a value: -p"},
        {{"-lm"}, "option needs a value: -m"},
        {{"--output"}, "option needs a value: --output"},
        {{"--mask"}, "option needs a value: --mask"},
        {{"--size-style"}, "option needs a value: --size-style"},
        {{"--prefix"}, "option needs a value: --prefix"},
        {{"--time=yes"}, "option takes no value: --time=yes"},
        {{"--page=yes"}, "option takes no value: --page=yes"},
        {{"--recursive="}, "option takes no value: --recursive="},
        {{"-o", ""}, "empty output file name"},
        {{"--output="}, "empty output file name"},
        {{"-o", "web/"}, "output has no file name: web/"},
        {{"-o", tooLongName}, "output file name longer than 255 characters: " + tooLongName},
        {{"-o", "web/" + tooLongName}, "output file name longer than 255 characters: " + tooLongName},
        {{"-r", "-o", "-"}, "a recursive run writes files and needs a file name, not -"},
        {{"-m", tooLongMask}, "mask longer than 127 characters: " + tooLongMask},
        {{"-m", "sub/*.txt"}, "mask must not name a directory: sub/*.txt"},
        {{"-m", "..\\*"}, "mask must not name a directory: ..\\*"},
        {{"--mask=c:*"}, "mask must not name a directory: c:*"},
        {{"-m", "*.txt", "-m", "sub/*"}, "mask must not name a directory: sub/*"},
        {{"--exclude", "sub/x"}, "exclude mask must not name a directory: sub/x"},
        {{"--exclude", tooLongMask}, "exclude mask longer than 127 characters: " + tooLongMask},
        {{"--exclude"}, "option needs a value: --exclude"},
        {{"--sort"}, "option needs a value: --sort"},
        {{"--sort", "date"}, "bad sort key: date (name, natural, size or time)"},
        {{"--sort=Name"}, "bad sort key: Name (name, natural, size or time)"},
        {{"--reverse=yes"}, "option takes no value: --reverse=yes"},
        {{"-p", tooLongPrefix}, "prefix longer than 255 characters: " + tooLongPrefix},
        {{"-s", "gb"}, "bad size style: gb (auto, bytes, kb, mb or human)"},
        {{"-s", "KB"}, "bad size style: KB (auto, bytes, kb, mb or human)"},
        {{"--size-style="}, "bad size style:  (auto, bytes, kb, mb or human)"},
        // Options of the full page without it, and HTML without READMEs.
        {{"--readme"}, "--readme needs --page"},
        {{"-r", "--json", "--readme"}, "--readme needs --page"},
        {{"--header", "h.html"}, "--header needs --page"},
        {{"--footer", "f.html"}, "--footer needs --page"},
        {{"--css", "s.css"}, "--css needs --page"},
        {{"--css-href", "s.css"}, "--css-href needs --page"},
        {{"--page", "--allow-html"}, "--allow-html needs --readme"},
        // The manifest is written by a recursive run of pages only.
        {{"--tree-index"}, "--tree-index needs -r and --page"},
        {{"-r", "--tree-index"}, "--tree-index needs -r and --page"},
        {{"--page", "--tree-index", "-o", "x.html"}, "--tree-index needs -r and --page"},
        {{"-r", "--json", "--tree-index"}, "--tree-index needs -r and --page"},
        {{"--allow-html"}, "--allow-html needs --readme"},
        {{"--page", "--header"}, "option needs a value: --header"},
        {{"--page", "--css="}, "empty css file name"},
        {{"--page", "--css-href="}, "empty --css-href"},
        {{"one", "two"}, "more than one directory: two"},
        {{"--", "one", "-r"}, "more than one directory: -r"},
        {{"--page", "--title"}, "option needs a value: --title"},
        {{"--page", "--title="}, "empty title"},
        {{"--page", "--title", tooLongPrefix}, "title longer than 255 characters: " + tooLongPrefix},
        // Options that contradict each other, or that the form would ignore.
        {{"--json", "--page"}, "--json and --page cannot be used together"},
        {{"--page", "--json"}, "--json and --page cannot be used together"},
        {{"--json", "--no-size"}, "--json and --no-size cannot be used together"},
        {{"--time", "--json"}, "--json and --time cannot be used together"},
        {{"--json", "--date"}, "--json and --date cannot be used together"},
        {{"--json", "-s", "bytes"}, "--json and --size-style cannot be used together"},
        {{"-l", "--json"}, "--json and --links cannot be used together"},
        {{"--json", "-rlt"}, "--json and --links cannot be used together"},
        {{"--json", "-p", "http://host/"}, "--json and --prefix cannot be used together"},
        {{"--title", "Top"}, "--title is used only with --page"},
        {{"--json", "--title", "Top"}, "--title is used only with --page"},
        // The first error is the one reported.
        {{"-s", "gb", "--bogus"}, "bad size style: gb (auto, bytes, kb, mb or human)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse(c.arguments).error, c.error) << ::testing::PrintToString(c.arguments);
    // A trailing '\\' leaves no file name only where it separates.
    const bool separates = platform::kPathSeparators.find('\\') != std::string_view::npos;
    EXPECT_EQ(parse({"-r", "-o", "web\\"}).error, separates ? "output has no file name: web\\" : "");
}

}  // namespace
}  // namespace quilldex::cli
