// The JSON listing: the same entries as the table, in the same order, for
// other programs to read. One entry to a line:
//   {"generator": "QUILLDEX 1.0.7", "directory": "/docs/", "entries": [
//   {"name": "notes.txt", "type": "file", "size": 500, "modified": "2001-04-25T13:05:09Z"}
//   ]}
// With folder totals, a directory has "total_size" and "file_count", and
// "total_is_lower_bound": true where a directory below was not read.
// Names are written losslessly: one that is not UTF-8 shows U+FFFD for its
// bad bytes and carries its exact bytes in "name_bytes" as well. A title is
// text, its character references decoded.
#include "index/character_references.h"
#include "index/document_title.h"
#include "index/index_form.h"
#include "index/json_text.h"
#include "version.h"

namespace quilldex {

namespace {

class JsonForm final : public IndexForm {
public:
    bool writesEmptyListing() const override { return true; }

    void writeHeader(platform::OutputStream& stream, const IndexOptions&, const DirectoryPlace& place) override
    {
        std::string text = "{\"generator\": \"" QUILLDEX_TITLE "\", \"directory\": ";
        appendJsonString(text, platform::toUtf8(place.path));
        text.append(", \"entries\": [");
        stream.write(text);
    }

    void writeRow(platform::OutputStream& stream, const platform::DirectoryEntry& entry, const IndexOptions&,
                  EntryTitle title, const FolderTotal* total) override
    {
        line_.assign(first_ ? "\n" : ",\n");
        first_ = false;
        line_.append("{\"name\": ");
        const std::string name = platform::toUtf8(entry.name);
        appendJsonString(line_, name);
        if (!isValidUtf8(name)) {
            line_.append(", \"name_bytes\": \"");
            appendHex(line_, name);
            line_.push_back('"');
        }
        line_.append(entry.isDirectory ? ", \"type\": \"directory\"" : ", \"type\": \"file\"");
        if (!entry.isDirectory) {
            line_.append(", \"size\": ");
            line_.append(std::to_string(entry.size));
        }
        if (total) {
            line_.append(", \"total_size\": ");
            line_.append(std::to_string(total->bytes));
            line_.append(", \"file_count\": ");
            line_.append(std::to_string(total->files));
            if (total->lowerBound)
                line_.append(", \"total_is_lower_bound\": true");
        }
        line_.append(", \"modified\": \"");
        line_.append(utcTimestamp(entry.lastWriteTime));
        line_.push_back('"');
        if (title) {
            line_.append(", \"title\": ");
            appendJsonString(line_, decodeTitleText(platform::toUtf8(*title)));
        }
        line_.push_back('}');
        stream.write(line_);
    }

    void writeFooter(platform::OutputStream& stream, const IndexOptions&, const ListingTotals&) override
    {
        stream.write("\n]}\n");
    }

private:
    bool first_ = true;
    // Reused from row to row.
    std::string line_;
};

}  // namespace

std::unique_ptr<IndexForm> makeJsonForm()
{
    return std::make_unique<JsonForm>();
}

}  // namespace quilldex
