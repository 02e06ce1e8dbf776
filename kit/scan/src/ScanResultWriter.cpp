// The scan's JSON text written straight from its records: the bytes of toJson().dump(), without
// building the document first. Keys go out in the document's sorted order; text that needs
// escaping or checking, and every double, goes through the JSON library's own writer.
#include "DovraneKit/scan/ScanModel.h"
#include "core/Utf8.h"

#include <nlohmann/json.hpp>

#include <charconv>

namespace dovrane {

namespace {

class TextWriter {
public:
    explicit TextWriter(std::size_t expected) { out_.reserve(expected); }

    std::string take() { return std::move(out_); }

    TextWriter& raw(std::string_view text) {
        out_.append(text);
        return *this;
    }

    // `"key":`; the keys are our own plain names.
    TextWriter& key(std::string_view name) {
        out_ += '"';
        out_.append(name);
        out_.append("\":");
        return *this;
    }

    // readable: text that need not be UTF-8, written with U+FFFD for what is not.
    TextWriter& text(std::string_view value, bool readable) {
        if (plain(value)) {
            out_ += '"';
            out_.append(value);
            out_ += '"';
        } else {
            out_.append(nlohmann::json(readable ? utf8::valid(value) : std::string(value)).dump());
        }
        return *this;
    }

    TextWriter& integer(std::int64_t value) {
        char digits[24];
        const auto written = std::to_chars(digits, digits + sizeof digits, value);
        out_.append(digits, written.ptr);
        return *this;
    }

    TextWriter& number(double value) {
        out_.append(nlohmann::json(value).dump());
        return *this;
    }

    TextWriter& boolean(bool value) { return raw(value ? "true" : "false"); }

private:
    static bool plain(std::string_view value) {
        for (char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\')
                return false;
        }
        return true;
    }

    std::string out_;
};

void writeItem(TextWriter& out, const CleanupItem& item) {
    out.raw("{").key("action").text(rawValue(item.action), false);
    out.raw(",").key("fileCount").integer(item.fileCount);
    if (item.ground) {
        out.raw(",").key("ground").raw("{").key("folder").text(item.ground->identity.folder.text(), false);
        out.raw(",").key("item").text(item.ground->identity.item.text(), false);
        out.raw(",").key("owner").integer(item.ground->owner).raw("}");
    }
    if (item.lastUsed)
        out.raw(",").key("lastUsed").number(item.lastUsed->secondsSinceReference);
    out.raw(",").key("name").text(item.name, true);
    out.raw(",").key("reason").text(item.reason, true);
    out.raw(",").key("safety").text(rawValue(item.safety), false);
    out.raw(",").key("size").integer(item.size);
    out.raw(",").key("source").text(item.source, true);
    out.raw(",").key("url").text(item.url.text(), false);
    out.raw("}");
}

void writeCategory(TextWriter& out, const Category& category) {
    out.raw("{").key("id").text(rawValue(category.id), false);
    out.raw(",").key("items").raw("[");
    for (std::size_t index = 0; index < category.items.size(); ++index) {
        if (index)
            out.raw(",");
        writeItem(out, category.items[index]);
    }
    out.raw("]");
    if (category.note)
        out.raw(",").key("note").text(*category.note, true);
    out.raw(",").key("size").integer(category.size);
    out.raw(",").key("sizeIsEstimate").boolean(category.sizeIsEstimate);
    out.raw("}");
}

} // namespace

std::string ScanResult::toJsonText() const {
    std::size_t items = 0;
    for (const Category& category : categories)
        items += category.items.size();
    // About what an item of a home's cache takes, so that the text rarely moves while it grows.
    TextWriter out(256 + items * 320);
    out.raw("{").key("available").integer(available);
    out.raw(",").key("categories").raw("[");
    for (std::size_t index = 0; index < categories.size(); ++index) {
        if (index)
            out.raw(",");
        writeCategory(out, categories[index]);
    }
    out.raw("]");
    out.raw(",").key("date").number(date.secondsSinceReference);
    out.raw(",").key("free").integer(free);
    out.raw(",").key("total").integer(total);
    out.raw(",").key("volume").text(volume, true);
    out.raw("}");
    return out.take();
}

} // namespace dovrane
