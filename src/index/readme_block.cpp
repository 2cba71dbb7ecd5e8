#include "index/readme_block.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "index/markdown.h"
#include "platform/platform.h"

namespace quilldex {

namespace {

enum class FileKind { Markdown, Text, Html };

struct Candidate {
    std::string_view name;
    FileKind kind;
};

constexpr Candidate kHeaderFiles[] = {
    {"HEADER.md", FileKind::Markdown},
    {"HEADER.txt", FileKind::Text},
    {"HEADER.html", FileKind::Html},
};
constexpr Candidate kReadmeFiles[] = {
    {"README.md", FileKind::Markdown}, {"README.markdown", FileKind::Markdown}, {"README.txt", FileKind::Text},
    {"README", FileKind::Text},        {"README.html", FileKind::Html},
};

// The one read of a file of the tree being indexed: never through a link
// planted there, never of a device or FIFO, and no larger than a README
// may be.
platform::SmallFile readTreeFile(const DirectoryPlace& place, const std::string& name)
{
    if (place.directory == nullptr)
        return {};
    return platform::readSmallFile(place.directory, name, kLargestReadme, platform::FollowLinks::No);
}

// CR LF and a lone CR as LF: the page's stream writes each LF as CR LF.
std::string withLineFeeds(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r')
            out += text[i];
        else if (i + 1 == text.size() || text[i + 1] != '\n')
            out += '\n';
    }
    return out;
}

// Markup as it is, less what no page may hold: each character that
// pageCharacterLength refuses becomes a replacement character reference.
void appendMarkup(std::string& out, std::string_view markup, PageEncoding encoding)
{
    const std::string text = withLineFeeds(markup);
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (byte < 0x20 || byte == 0x7F)
            length = byte == '\t' || byte == '\n' || byte == '\f' ? 1 : 0;
        else if (byte >= 0x80 && encoding == PageEncoding::Utf8)
            length = pageCharacterLength(std::string_view(text).substr(i));
        if (length == 0) {
            out += "&#xFFFD;";
            ++i;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
}

void appendPreformatted(std::string& out, std::string_view text, PageEncoding encoding)
{
    // The parser drops a line feed right after <pre>: this one, not the
    // text's own.
    out += "<pre>\n";
    std::string escaped;
    forEachPageTextPiece(text, encoding, TextSource::Name, [&escaped](std::string_view piece) { escaped += piece; });
    // A code page's controls pass the escaping; no page may hold them.
    appendMarkup(out, escaped, encoding);
    out += "</pre>\n";
}

// Whether every byte of `text` belongs to a well-formed UTF-8 character.
bool isUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = static_cast<unsigned char>(text[i]) < 0x80 ? 1 : pageCharacterLength(text.substr(i));
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

// A page in a code page shows UTF-8 text (what Markdown renders to, and
// what most README files hold) by numeric character references, which mean
// the same in any encoding. Text that is not UTF-8 is taken to be in the
// code page already.
std::string forCodePage(std::string text)
{
    if (!isUtf8(text))
        return text;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += text[i++];
            continue;
        }
        const std::size_t length = pageCharacterLength(std::string_view(text).substr(i));
        char32_t codePoint = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out += "&#" + std::to_string(static_cast<std::uint32_t>(codePoint)) + ';';
        i += length;
    }
    return out;
}

void note(const IndexOptions& options, const DirectoryPlace& place, std::string_view name, std::string_view why)
{
    if (options.site.note)
        options.site.note("readme(" + place.path.substr(1) + std::string(name) + "): left out, " + std::string(why));
}

}  // namespace

std::string readmeBlock(ReadmeRole role, const IndexOptions& options, const DirectoryPlace& place,
                        PageEncoding encoding)
{
    using Status = platform::SmallFile::Status;
    const auto& candidates = role == ReadmeRole::Header ? std::span<const Candidate>(kHeaderFiles)
                                                        : std::span<const Candidate>(kReadmeFiles);
    for (const Candidate& candidate : candidates) {
        // The index file itself, when it has one of these names, is no
        // README of its own directory.
        if (candidate.name == options.outputName)
            continue;
        platform::SmallFile file = readTreeFile(place, std::string(candidate.name));
        switch (file.status) {
        case Status::Missing:
            continue;
        case Status::NotRegular:
            note(options, place, candidate.name, "not a regular file (a link is not followed)");
            return {};
        case Status::TooLarge:
            note(options, place, candidate.name, "larger than 256 KiB");
            return {};
        case Status::Failed:
            note(options, place, candidate.name, file.error);
            return {};
        case Status::Read:
            break;
        }
        if (candidate.kind == FileKind::Html && !options.site.allowHtml) {
            note(options, place, candidate.name, "HTML is inserted only with --allow-html");
            return {};
        }
        std::string block = role == ReadmeRole::Header ? "<div class=\"readme-header" : "<div class=\"readme";
        std::optional<std::string> html;
        if (candidate.kind == FileKind::Markdown)
            html = markdownToHtml(file.bytes, options.linkPrefix);
        std::string body;
        if (html || candidate.kind == FileKind::Html) {
            block += candidate.kind == FileKind::Html ? " html\">\n" : " markdown\">\n";
            appendMarkup(body, html ? *html : file.bytes, encoding);
            if (!body.ends_with('\n'))
                body += '\n';
        } else {
            block += " text\">\n";
            appendPreformatted(body, file.bytes, encoding);
        }
        block += encoding == PageEncoding::CodePage ? forCodePage(std::move(body)) : body;
        block += "</div>\n";
        return block;
    }
    return {};
}

}  // namespace quilldex
