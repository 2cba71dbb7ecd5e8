// Checks escapeLinkName and the name cell (links on and off, files and
// directories, any prefix and output name) against a reference written
// here from the rules, on arbitrary names.
//
// Input: one byte of flags, then the name, the prefix and the output name,
// separated by NUL bytes (none of them can hold a NUL).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "index/link_text.h"
#include "index/cell_writers.h"

namespace {

using quilldex::platform::DirectoryEntry;

using namespace quilldex;
using namespace quilldex::fuzzing;

std::string referenceEscape(std::string_view name)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        const bool safe = b >= 0x2D && b <= 0x7E && b != '<' && b != '>' && b != ':' && b != '?' && b != '\\';
        if (safe) {
            out += c;
        } else {
            out += '%';
            out += hex[b / 16];
            out += hex[b % 16];
        }
    }
    return out;
}

// The prefix keeps its bytes but those that could leave the attribute.
std::string referencePrefix(std::string_view prefix)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (const char c : prefix) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= ' ' || b == 0x7F || c == '"' || c == '<' || c == '>') {
            out += '%';
            out += hex[b / 16];
            out += hex[b % 16];
        } else {
            out += c;
        }
    }
    return out;
}

std::string referenceDisplay(std::string_view name)
{
    std::string out;
    for (const char c : name) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

// Cuts the next NUL-terminated field off the front of `input`.
std::string_view field(std::string_view& input)
{
    const auto end = input.find('\0');
    const auto text = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    enterScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::uint8_t flags = data[0];
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto name = field(input);
    const auto prefix = field(input);
    const auto outputName = field(input);
    if (name.empty())
        return 0;

    const std::string escaped = referenceEscape(name);
    expectEqual("escapeLinkName", escapeLinkName(name), escaped);

    IndexOptions options;
    options.makeLinks = (flags & 1) != 0;
    options.linkPrefix = prefix;
    options.outputName = outputName;
    DirectoryEntry entry;
    entry.name = name;
    entry.isDirectory = (flags & 2) != 0;
    std::string cell = referenceDisplay(name);
    if (options.makeLinks) {
        std::string target = referencePrefix(prefix) + escaped;
        if (entry.isDirectory)
            target += "/" + referenceEscape(outputName);
        cell = "<a href=\"" + target + "\">" + cell + "</a>";
    }
    expectEqual("writeNameCell", writtenNameCell(entry, options), withCrLf(cell));
    return 0;
}
