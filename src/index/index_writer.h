// The index table: one HTML table of the entries of the current directory,
// and the cells of its rows.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "index/index_options.h"
#include "platform/platform.h"

namespace quilldex {

using platform::DirectoryEntry;
using platform::LocalTime;
using platform::OutputStream;

// The product's home page, named in the credit line under every table.
extern const std::string_view kHomePageUrl;

// Writes the index of the current directory to `stream`: nothing at all
// when the mask matches no entry, else the table with a header row, one
// row per listed entry and the credit line. Returns the number of entry
// rows written. Leaves the stream open; write errors stay in the stream.
std::size_t writeIndexTable(OutputStream& stream, const IndexOptions& options);

// The text of the first cell of a row: the name or document title, as a
// link when links are on.
void writeNameCell(OutputStream& stream, const DirectoryEntry& entry, const IndexOptions& options);

// Whole cells, from "<td>" to "</td>".
void writeSizeCell(OutputStream& stream, const DirectoryEntry& entry, SizeStyle sizeStyle);
void writeTimeCell(OutputStream& stream, const LocalTime& localTime);
void writeDateCell(OutputStream& stream, const LocalTime& localTime);

}  // namespace quilldex
