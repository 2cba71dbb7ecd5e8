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
// The script form holds the same in columns over the whole tree, handed to
// quilldexTree(): directories' parents, their names joined by '/', each
// directory's count of entries, the entries' names joined by '/', their
// sizes and times, and the titles as [number, title] pairs. A byte of a
// name that is not UTF-8 is the lone surrogate U+DC00 plus the byte. After
// the data comes the search the pages run on it, so that no page holds it.
#include "index/tree_manifest.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>
#include <unordered_set>

#include "index/character_references.h"
#include "index/json_text.h"
#include "index/listing_order.h"
#include "index/page_assets.h"
#include "version.h"

namespace quilldex {

namespace {

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
    const std::string converted = ascii ? std::string() : platform::toUtf8(entry.name);
    const std::string_view name = ascii ? std::string_view(entry.name) : std::string_view(converted);
    const std::size_t number = count_++;
    if (number > 0) {
        names_.push_back('/');
        times_.push_back(',');
        sizes_.push_back(',');
        if (scriptDiffers_)
            scriptNames_.push_back('/');
    }
    const std::size_t nameStart = names_.size();
    if (!appendJsonText(names_, name)) {
        if (!scriptDiffers_) {
            // Until now the script's names were the JSON's.
            scriptNames_.assign(names_, 0, nameStart);
            scriptDiffers_ = true;
        }
        std::string hex;
        appendHex(hex, name);
        nameBytes_.emplace_back(number, std::move(hex));
    }
    if (scriptDiffers_)
        appendScriptStringText(scriptNames_, name);
    appendNumber(times_, entry.lastWriteTime);
    if (entry.isDirectory)
        sizes_.append("-1");
    else
        appendNumber(sizes_, entry.size);
    if (title) {
        std::string text;
        appendJsonString(text, decodeTitleText(platform::toUtf8(*title)));
        titles_.emplace_back(number, std::move(text));
    }
}

void ManifestRows::shrink()
{
    // Kept to the end of the run: no room left over from growing.
    for (std::string* text : {&names_, &scriptNames_, &times_, &sizes_})
        text->shrink_to_fit();
    titles_.shrink_to_fit();
    nameBytes_.shrink_to_fit();
}

void TreeManifest::add(std::string path, ManifestRows rows)
{
    rows.shrink();
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
              [](const Directory& a, const Directory& b) { return walkedBefore(a.path, b.path); });
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
    // [number, text] pairs, as the JSON strings or the hex they hold.
    const auto pairs = [&](std::string_view key, const auto& list, bool quoted) {
        if (list.empty())
            return;
        out.append(key);
        bool first = true;
        for (const auto& [number, text] : list) {
            out.append(first ? "[" : ",[");
            first = false;
            appendNumber(out, number);
            out.append(quoted ? "," : ",\"");
            out.append(text);
            out.append(quoted ? "]" : "\"]");
        }
        out.push_back(']');
    };
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
        // The entries in columns, as their directory's job wrote them.
        const ManifestRows& rows = directory.rows;
        out.append(", \"names\": \"");
        stream.write(out);
        stream.write(rows.names_);
        out.assign("\", \"modified\": [");
        stream.write(out);
        stream.write(rows.times_);
        out.assign("], \"sizes\": [");
        stream.write(out);
        stream.write(rows.sizes_);
        out.assign("]");
        pairs(", \"titles\": [", rows.titles_, true);
        pairs(", \"names_bytes\": [", rows.nameBytes_, false);
        out.push_back('}');
        flushLarge(stream, out);
    }
    out.append("\n]}\n");
    stream.write(out);
}

void TreeManifest::writeScript(platform::OutputStream& stream, std::string_view outputName) const
{
    std::string out(kTreeScriptStart);
    out.append("{\"generator\": \"" QUILLDEX_TITLE "\", \"index\": ");
    appendJsonString(out, platform::toUtf8(outputName));
    // One column of numbers, one per directory.
    const auto column = [&](std::string_view key, auto&& each) {
        out.append(",\n\"");
        out.append(key);
        out.append("\": [");
        bool first = true;
        for (const Directory& directory : directories_) {
            if (!first)
                out.push_back(',');
            first = false;
            appendNumber(out, each(directory));
            flushLarge(stream, out);
        }
        out.push_back(']');
    };
    // The directories' pieces of a column over the whole tree, joined by
    // `separator`; a directory without rows adds nothing.
    const auto joined = [&](std::string_view opening, char separator, std::string_view closing, auto&& piece) {
        out.append(opening);
        bool first = true;
        for (const Directory& directory : directories_) {
            if (directory.rows.count_ == 0)
                continue;
            if (!first)
                out.push_back(separator);
            first = false;
            stream.write(out);
            out.clear();
            stream.write(piece(directory.rows));
        }
        out.append(closing);
    };

    column("parents", [](const Directory& directory) { return directory.parent; });
    out.append(",\n\"directories\": \"");
    bool first = true;
    for (const Directory& directory : directories_) {
        if (!first)
            out.push_back('/');
        first = false;
        appendScriptStringText(out, platform::toUtf8(nameOf(directory)));
        flushLarge(stream, out);
    }
    out.push_back('"');
    column("counts", [](const Directory& directory) { return directory.rows.count_; });
    joined(",\n\"names\": \"", '/', "\"", [](const ManifestRows& rows) -> const std::string& {
        return rows.scriptDiffers_ ? rows.scriptNames_ : rows.names_;
    });
    joined(",\n\"sizes\": [", ',', "]", [](const ManifestRows& rows) -> const std::string& { return rows.sizes_; });
    joined(",\n\"times\": [", ',', "]", [](const ManifestRows& rows) -> const std::string& { return rows.times_; });
    out.append(",\n\"titles\": [");
    std::size_t offset = 0;
    first = true;
    for (const Directory& directory : directories_) {
        for (const auto& [number, text] : directory.rows.titles_) {
            if (!first)
                out.push_back(',');
            first = false;
            appendNumber(out, offset + number);
            out.push_back(',');
            out.append(text);
            flushLarge(stream, out);
        }
        offset += directory.rows.count_;
    }
    out.append("]});\n");
    out.append(kTreeSearchScript);
    out.push_back('\n');
    stream.write(out);
}

}  // namespace quilldex
