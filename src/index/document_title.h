// The title of an HTML document, read from the first bytes of the file.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quilldex {

// How many bytes from the start of a file are searched for its title.
inline constexpr std::size_t kTitleReadSize = 1024;

// The title in the first bytes of a document: the text after the first
// "<title>" (or, when there is none, the first "<TITLE>") up to the next '<'
// or the end of the bytes, nothing trimmed. The search ends at a NUL byte.
// No title when no tag is found, or when the text is empty or starts with a
// line break. The result points into `bytesRead`.
std::optional<std::string_view> extractTitle(std::string_view bytesRead);

// The first bytes of a document, read to find its title.
using TitleBuffer = std::array<char, kTitleReadSize>;

// The title of the regular file `name` of `directory`, read into `buffer`
// from the file's first bytes (the title points into it); nothing when it
// has none or cannot be read (a directory, a FIFO or a device is never
// read, nor a link that leads out of `boundary`). The buffer is the
// caller's, so a row costs no allocation.
std::optional<std::string_view> readDocumentTitle(const platform::DirectoryHandle& directory, const std::string& name,
                                                  TitleBuffer& buffer, const platform::LinkBoundary& boundary = {});

}  // namespace quilldex
