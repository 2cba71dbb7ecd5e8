// The JSON form (index.tree.json), documented in the manual page:
//   {"generator": "QUILLDEX 1.0.7", "index": "index.html", "directories": [
//   {"parent": null, "name": "", "names": "docs/a.txt", "modified": [988203909,988203909], "sizes": [-1,500]},
//   {"parent": 0, "name": "docs", "names": "b.html", "modified": [988203909], "sizes": [20],
//    "titles": [[0,"Its title"]]}
//   ]}
// Each directory holds its entries in columns: their names joined by '/'
// (which no name holds), their times in seconds since 1970 UTC, their
// sizes (-1 for a directory); titles, and the exact bytes of names that are
// not UTF-8 (which show U+FFFD), as [entry number, text] pairs. A directory
// whose own name is not UTF-8 has "name_bytes" beside "name". Columns cost
// a few bytes an entry where rows cost ten, and entries are most of it.
//
// The script form holds the same in columns over the whole tree:
// directories' parents, their names joined by '/', each directory's count
// of entries, the entries' names joined by '/', their sizes and times, and
// the titles as [number, title] pairs. A byte of a name that is not UTF-8
// is the lone surrogate U+DC00 plus the byte.
#include "index/tree_manifest.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>
#include <unordered_set>

#include "index/character_references.h"
#include "index/json_text.h"
#include "index/listing_order.h"
#include "version.h"

namespace quilldex {

namespace {

// Orders paths as one job walks them: component by component, each in name
// order, a directory before what lies below it.
bool walkedFirst(std::string_view a, std::string_view b)
{
    if (a == ".")
        return b != ".";
    if (b == ".")
        return false;
    for (;;) {
        const auto aEnd = a.find('/');
        const auto bEnd = b.find('/');
        const std::string_view aName = a.substr(0, aEnd);
        const std::string_view bName = b.substr(0, bEnd);
        if (aName != bName)
            return listsBefore(aName, bName);
        if (aEnd == std::string_view::npos || bEnd == std::string_view::npos)
            return aEnd == std::string_view::npos && bEnd != std::string_view::npos;
        a.remove_prefix(aEnd + 1);
        b.remove_prefix(bEnd + 1);
    }
}

std::string_view parentOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view(".") : path.substr(0, slash);
}

template <typename Number>
void appendNumber(std::string& out, Number value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

// Writes `out` to the stream once it has grown, so that memory stays small.
void flushLarge(platform::OutputStream& stream, std::string& out)
{
    if (out.size() >= 65536) {
        stream.write(out);
        out.clear();
    }
}

}  // namespace

void ManifestRows::add(const platform::DirectoryEntry& entry, EntryTitle title)
{
    if (entry.name == "." || entry.name == "..")
        return;
    // ASCII is the same in UTF-8 and every code page: spared the copy.
    const bool ascii = std::all_of(entry.name.begin(), entry.name.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii)
        text_.append(entry.name);
    else
        text_.append(platform::toUtf8(entry.name));
    Row row;
    row.nameEnd = static_cast<std::uint32_t>(text_.size());
    if (title)
        text_.append(decodeTitleText(platform::toUtf8(*title)));
    row.titleEnd = static_cast<std::uint32_t>(text_.size());
    row.size = entry.isDirectory ? kDirectorySize : entry.size;
    row.time = entry.lastWriteTime;
    rows_.push_back(row);
}

void TreeManifest::add(std::string path, ManifestRows rows)
{
    // Kept to the end of the run: no room left over from growing.
    rows.text_.shrink_to_fit();
    rows.rows_.shrink_to_fit();
    const std::lock_guard guard(lock_);
    directories_.push_back({std::move(path), std::move(rows), -1});
}

void TreeManifest::arrange()
{
    // Every directory's parent is there, since the walk enters only
    // directories whose parent it indexed; one missing would be added empty.
    std::unordered_set<std::string_view> present;
    for (const Directory& directory : directories_)
        present.insert(directory.path);
    std::vector<std::string> missing;
    for (const Directory& directory : directories_)
        for (std::string_view at = directory.path; at != "."; at = parentOf(at))
            if (const std::string_view parent = parentOf(at); !present.contains(parent)) {
                missing.emplace_back(parent);
                present.insert(missing.back());
            }
    for (std::string& path : missing)
        directories_.push_back({std::move(path), ManifestRows(), -1});

    std::sort(directories_.begin(), directories_.end(),
              [](const Directory& a, const Directory& b) { return walkedFirst(a.path, b.path); });
    std::unordered_map<std::string_view, std::int64_t> numbers;
    for (std::size_t i = 0; i < directories_.size(); ++i) {
        Directory& directory = directories_[i];
        numbers.emplace(directory.path, static_cast<std::int64_t>(i));
        if (directory.path != ".")
            directory.parent = numbers.at(parentOf(directory.path));
    }
}

std::string_view TreeManifest::nameOf(const Directory& directory) const
{
    if (directory.path == ".")
        return {};
    const std::string_view path = directory.path;
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void TreeManifest::writeJson(platform::OutputStream& stream, std::string_view outputName) const
{
    std::string out = "{\"generator\": \"" QUILLDEX_TITLE "\", \"index\": ";
    appendJsonString(out, platform::toUtf8(outputName));
    out.append(", \"directories\": [");
    std::string badNames;
    std::string titles;
    bool firstDirectory = true;
    for (const Directory& directory : directories_) {
        out.append(firstDirectory ? "\n{\"parent\": " : ",\n{\"parent\": ");
        firstDirectory = false;
        if (directory.parent < 0)
            out.append("null");
        else
            appendNumber(out, directory.parent);
        const std::string name = platform::toUtf8(nameOf(directory));
        out.append(", \"name\": ");
        appendJsonString(out, name);
        if (!isValidUtf8(name)) {
            out.append(", \"name_bytes\": \"");
            appendHex(out, name);
            out.push_back('"');
        }
        // The entries in columns: their names joined by '/', their times,
        // their sizes; titles and the bytes of names that are not UTF-8 by
        // the entry's number in the directory.
        const ManifestRows& rows = directory.rows;
        const std::string_view text = rows.text_;
        out.append(", \"names\": \"");
        badNames.clear();
        titles.clear();
        std::uint32_t start = 0;
        for (std::size_t i = 0; i < rows.rows_.size(); ++i) {
            const ManifestRows::Row& row = rows.rows_[i];
            const std::string_view entryName = text.substr(start, row.nameEnd - start);
            if (i > 0)
                out.push_back('/');
            if (!appendJsonText(out, entryName)) {
                badNames.append(badNames.empty() ? "[" : ",[");
                appendNumber(badNames, i);
                badNames.append(",\"");
                appendHex(badNames, entryName);
                badNames.append("\"]");
            }
            if (row.titleEnd > row.nameEnd) {
                titles.append(titles.empty() ? "[" : ",[");
                appendNumber(titles, i);
                titles.push_back(',');
                appendJsonString(titles, text.substr(row.nameEnd, row.titleEnd - row.nameEnd));
                titles.push_back(']');
            }
            start = row.titleEnd;
            flushLarge(stream, out);
        }
        out.append("\", \"modified\": [");
        for (std::size_t i = 0; i < rows.rows_.size(); ++i) {
            if (i > 0)
                out.push_back(',');
            appendNumber(out, rows.rows_[i].time);
            flushLarge(stream, out);
        }
        out.append("], \"sizes\": [");
        for (std::size_t i = 0; i < rows.rows_.size(); ++i) {
            if (i > 0)
                out.push_back(',');
            const std::uint64_t size = rows.rows_[i].size;
            if (size == ManifestRows::kDirectorySize)
                out.append("-1");
            else
                appendNumber(out, size);
            flushLarge(stream, out);
        }
        out.push_back(']');
        if (!titles.empty()) {
            out.append(", \"titles\": [");
            out.append(titles);
            out.push_back(']');
        }
        if (!badNames.empty()) {
            out.append(", \"names_bytes\": [");
            out.append(badNames);
            out.push_back(']');
        }
        out.push_back('}');
    }
    out.append("\n]}\n");
    stream.write(out);
}

void TreeManifest::writeScript(platform::OutputStream& stream, std::string_view outputName) const
{
    std::string out(kTreeScriptStart);
    out.append("{\"generator\": \"" QUILLDEX_TITLE "\", \"index\": ");
    appendJsonString(out, platform::toUtf8(outputName));
    // One column of numbers, one per directory or per row.
    const auto column = [&](std::string_view key, auto&& each) {
        out.append(",\n\"");
        out.append(key);
        out.append("\": [");
        bool first = true;
        const auto number = [&](auto value) {
            if (!first)
                out.push_back(',');
            first = false;
            appendNumber(out, value);
            flushLarge(stream, out);
        };
        each(number);
        out.push_back(']');
    };
    // The names of every directory or row, joined by '/'.
    const auto joined = [&](std::string_view key, auto&& each) {
        out.append(",\n\"");
        out.append(key);
        out.append("\": \"");
        bool first = true;
        each([&](std::string_view name) {
            if (!first)
                out.push_back('/');
            first = false;
            appendScriptStringText(out, name);
            flushLarge(stream, out);
        });
        out.push_back('"');
    };
    const auto pairs = [&](std::string_view key, const std::string& text) {
        out.append(",\n\"");
        out.append(key);
        out.append("\": [");
        out.append(text);
        out.push_back(']');
    };
    const auto eachRow = [&](auto&& visit) {
        for (const Directory& directory : directories_)
            for (const ManifestRows::Row& row : directory.rows.rows_)
                visit(directory.rows, row);
    };

    column("parents", [&](auto&& number) {
        for (const Directory& directory : directories_)
            number(directory.parent);
    });
    joined("directories", [&](auto&& name) {
        for (const Directory& directory : directories_)
            name(platform::toUtf8(nameOf(directory)));
    });
    column("counts", [&](auto&& number) {
        for (const Directory& directory : directories_)
            number(directory.rows.rows_.size());
    });
    joined("names", [&](auto&& name) {
        for (const Directory& directory : directories_) {
            std::uint32_t start = 0;
            for (const ManifestRows::Row& row : directory.rows.rows_) {
                name(std::string_view(directory.rows.text_).substr(start, row.nameEnd - start));
                start = row.titleEnd;
            }
        }
    });
    column("sizes", [&](auto&& number) {
        eachRow([&](const ManifestRows&, const ManifestRows::Row& row) {
            if (row.size == ManifestRows::kDirectorySize)
                number(-1);
            else
                number(row.size);
        });
    });
    column("times", [&](auto&& number) {
        eachRow([&](const ManifestRows&, const ManifestRows::Row& row) { number(row.time); });
    });
    std::string titles;
    std::size_t number = 0;
    eachRow([&](const ManifestRows& rows, const ManifestRows::Row& row) {
        if (row.titleEnd > row.nameEnd) {
            if (!titles.empty())
                titles.push_back(',');
            appendNumber(titles, number);
            titles.push_back(',');
            appendJsonString(titles, std::string_view(rows.text_).substr(row.nameEnd, row.titleEnd - row.nameEnd));
        }
        ++number;
    });
    pairs("titles", titles);
    out.append("});\n");
    stream.write(out);
}

}  // namespace quilldex
