// README and HEADER files of arbitrary bytes, as Markdown, plain text and
// HTML, on a UTF-8 page and on a code-page page. Whatever a tree's writer
// puts there, the block holds no script, no script or data link target, no
// character a page may not hold, and text stays text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "index/page_text.h"
#include "index/readme_block.h"

namespace {

using namespace quilldex;
using namespace quilldex::fuzzing;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::string lowerCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Every character may stand in a page: well-formed UTF-8 on a UTF-8 page,
// and no control but tab, line feed and form feed on either.
void requirePageCharacters(std::string_view block, PageEncoding encoding)
{
    for (std::size_t i = 0; i < block.size();) {
        const auto byte = static_cast<unsigned char>(block[i]);
        require(byte >= 0x20 || byte == '\t' || byte == '\n' || byte == '\f');
        require(byte != 0x7F);
        const std::size_t length =
            byte < 0x80 || encoding == PageEncoding::CodePage ? 1 : pageCharacterLength(block.substr(i));
        require(length > 0);
        i += length;
    }
}

void check(std::string_view bytes, const char* name, PageEncoding encoding)
{
    writeWholeFile(name, bytes);
    IndexOptions options;
    options.outputName = "index.html";
    options.site.showReadme = true;
    options.linkPrefix = "p/";
    const auto directory = platform::DirectoryHandle::open(".");
    const std::string block = readmeBlock(ReadmeRole::Readme, options, DirectoryPlace{"/", &directory, {}}, encoding);
    std::remove(name);
    if (bytes.size() > kLargestReadme) {
        require(block.empty());
        return;
    }
    require(block.starts_with("<div class=\"readme ") && block.ends_with("</div>\n"));
    requirePageCharacters(block, encoding);
    const std::string lower = lowerCase(block);
    if (std::string_view(name) == "README.txt") {
        // Text: nothing but the block's own tags is markup.
        const std::size_t start = block.find("<pre>\n") + 6;
        const std::size_t end = block.rfind("</pre>");
        require(block.find_first_of("<>", start) == end);
        return;
    }
    // Markdown rendered safely: no element that runs or loads script, and
    // in each tag no event attribute and no refused link target.
    for (const std::string_view refused : {"<script", "<iframe", "<object", "<embed", "<style", "<svg", "<math"})
        require(lower.find(refused) == std::string::npos);
    for (std::size_t open = lower.find('<'); open != std::string::npos; open = lower.find('<', open + 1)) {
        const std::size_t close = lower.find('>', open);
        require(close != std::string::npos);
        bool quoted = false;
        for (std::size_t i = open; i < close; ++i) {
            if (lower[i] == '"') {
                quoted = !quoted;
                if (quoted) {
                    const std::string_view value = std::string_view(lower).substr(i + 1);
                    for (const std::string_view scheme : {"javascript:", "vbscript:", "data:", "file:"})
                        require(!value.starts_with(scheme));
                }
            } else if (!quoted && lower[i] == ' ') {
                require(lower.compare(i + 1, 2, "on") != 0);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool entered = (enterScratchDirectory(), true);
    (void)entered;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const PageEncoding encoding : {PageEncoding::Utf8, PageEncoding::CodePage}) {
        check(bytes, "README.md", encoding);
        check(bytes, "README.txt", encoding);
    }
    return 0;
}
