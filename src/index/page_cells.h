// The Size, Time and Date cells as the full page writes them: the same
// texts as the fragment's, with the exact byte count as a tooltip of a
// human-readable size, and times marked up with their UTC offset.
#pragma once

#include <cstdint>
#include <optional>

#include "index/cell_texts.h"
#include "index/index_form.h"
#include "index/index_options.h"
#include "platform/platform.h"

namespace quilldex {

// "2026-12-07T14:33:17+01:00": the local time and its offset from UTC in
// seconds east, as a valid global date and time. An offset that is not a
// whole number of minutes (local mean time, before time zones) cannot be
// written so; nothing then.
std::optional<ShortText> dateTimeText(const platform::LocalTime& localTime, std::int32_t offsetSeconds);

// With `total`, a directory's Size cell shows its folder total: "1.23 GiB
// &middot; 412 files", after "&ge; " when it is a lower bound.
void writePageFactCells(platform::OutputStream& stream, const platform::DirectoryEntry& entry,
                        const IndexOptions& options, const FolderTotal* total = nullptr);

}  // namespace quilldex
