// The cells of an HTML index row, written into a stream. The fragment and
// the full page share them, so a row's texts are the same in both.
#pragma once

#include <optional>
#include <string_view>

#include "index/index_form.h"
#include "index/index_options.h"
#include "platform/platform.h"

namespace quilldex {

// The text of the first cell of a row: the name or document title, as a
// link when links are on.
void writeNameCell(platform::OutputStream& stream, const platform::DirectoryEntry& entry, const IndexOptions& options,
                   std::optional<std::string_view> title = {});

// Whole cells, from "<td>" to "</td>".
void writeSizeCell(platform::OutputStream& stream, const platform::DirectoryEntry& entry, SizeStyle sizeStyle);
void writeTimeCell(platform::OutputStream& stream, const platform::LocalTime& localTime);
void writeDateCell(platform::OutputStream& stream, const platform::LocalTime& localTime);

// The Size, Time and Date cells that the options switch on, in that order.
// With `total`, a directory's Size cell holds its folder total's bytes in
// the size style, after "&ge; " when it is a lower bound.
void writeFactCells(platform::OutputStream& stream, const platform::DirectoryEntry& entry, const IndexOptions& options,
                    const FolderTotal* total = nullptr);

}  // namespace quilldex
