// Checks title extraction on arbitrary document bytes against a reference
// written here from the rules: the pure extraction, the title read from a
// real file (first 1024 bytes only), and the name cell that shows it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "index/document_title.h"
#include "index/cell_writers.h"

namespace {

using quilldex::platform::DirectoryEntry;

using namespace quilldex;
using namespace quilldex::fuzzing;

// Index of the first occurrence of `tag` in text[0, length), or length.
std::size_t findTag(const char* text, std::size_t length, const char* tag)
{
    for (std::size_t i = 0; i + 7 <= length; ++i) {
        std::size_t k = 0;
        while (k < 7 && text[i + k] == tag[k])
            ++k;
        if (k == 7)
            return i;
    }
    return length;
}

std::optional<std::string> referenceTitle(std::string_view bytes)
{
    std::size_t length = 0;
    while (length < bytes.size() && bytes[length] != '\0')
        ++length;
    std::size_t tag = findTag(bytes.data(), length, "<title>");
    if (tag == length)
        tag = findTag(bytes.data(), length, "<TITLE>");
    if (tag == length)
        return std::nullopt;
    std::string title;
    for (std::size_t i = tag + 7; i < length && bytes[i] != '<'; ++i)
        title += bytes[i];
    if (title.empty() || title[0] == '\r' || title[0] == '\n')
        return std::nullopt;
    return title;
}

std::string shown(const std::optional<std::string_view>& title)
{
    return title ? std::string(*title) : std::string("<none>");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    enterScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The pure function takes any length.
    const auto whole = referenceTitle(bytes);
    expectEqual("extractTitle", shown(extractTitle(bytes)), whole ? *whole : "<none>");

    // From a file only the first 1024 bytes count.
    const auto expected = referenceTitle(bytes.substr(0, kTitleReadSize));
    writeWholeFile("doc.html", bytes);
    TitleBuffer buffer;
    const auto read = readDocumentTitle(platform::DirectoryHandle::open("."), "doc.html", buffer);
    expectEqual("readDocumentTitle", read ? std::string(*read) : "<none>", expected ? *expected : "<none>");

    // The name cell shows the title as it is, as a link when links are on.
    IndexOptions options;
    options.readTitles = true;
    options.makeLinks = size % 2 == 1;
    DirectoryEntry entry;
    entry.name = "doc.html";
    entry.size = size;
    const std::string display = expected ? *expected : entry.name;
    const std::string cell = options.makeLinks ? "<a href=\"doc.html\">" + display + "</a>" : display;
    expectEqual("writeNameCell", writtenNameCell(entry, options), withCrLf(cell));
    return 0;
}
