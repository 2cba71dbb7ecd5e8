#include "index/document_title.h"

#include "platform/platform.h"

namespace quilldex {

std::optional<std::string_view> extractTitle(std::string_view bytesRead)
{
    // The bytes are taken as a C string: nothing after a NUL is searched.
    const auto text = bytesRead.substr(0, bytesRead.find('\0'));

    constexpr std::string_view kLowerTag = "<title>";
    constexpr std::string_view kUpperTag = "<TITLE>";
    auto tag = text.find(kLowerTag);
    if (tag == std::string_view::npos)
        tag = text.find(kUpperTag);
    if (tag == std::string_view::npos)
        return std::nullopt;

    auto title = text.substr(tag + kLowerTag.size());
    title = title.substr(0, title.find('<'));
    // A title that starts on the next line is not taken: an empty or
    // broken-up head would otherwise show a blank cell.
    if (title.empty() || title.front() == '\r' || title.front() == '\n')
        return std::nullopt;
    return title;
}

std::optional<std::string_view> readDocumentTitle(const platform::DirectoryHandle& directory, const std::string& name,
                                                  TitleBuffer& buffer, const platform::LinkBoundary& boundary)
{
    const auto count = platform::readFileStart(directory, name, buffer.data(), buffer.size(), boundary);
    return extractTitle(std::string_view(buffer.data(), count));
}

}  // namespace quilldex
