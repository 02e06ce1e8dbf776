#include "Services/JsonSettings.h"

#include <DovraneKit/formats/JsonReading.h>
#include <DovraneKit/system/FileSystem.h>

#include <nlohmann/json.hpp>

#include <QFile>
#include <QIODevice>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

namespace dovrane {

namespace {

using nlohmann::json;

// A value as the typed reads take it: a scalar here, a list or date below.
QVariant scalarVariant(const json& value) {
    if (value.is_boolean())
        return QVariant(value.get<bool>());
    if (value.is_number_integer() && !value.is_number_unsigned())
        return QVariant::fromValue(value.get<qint64>());
    if (value.is_number_unsigned() && value.get<std::uint64_t>() <= std::uint64_t(INT64_MAX))
        return QVariant::fromValue(value.get<qint64>());
    if (value.is_string())
        return QVariant(QString::fromStdString(value.get<std::string>()));
    return QVariant::fromValue(ForeignJson{value.dump()});
}

// Reads the file's one object through the JSON library's events, with the nesting limit of
// Json::read, straight into the settings: a list of texts becomes a list, {"date": number} a
// date, any other value its compact JSON text. No document of the file is built, so memory
// stays near the file's size whatever it holds.
class SettingsReader {
public:
    explicit SettingsReader(QSettings::SettingsMap& map) : map_(map) {}

    bool null() { return scalar(nullptr); }
    bool boolean(bool value) { return scalar(value); }
    bool number_integer(json::number_integer_t value) { return scalar(value); }
    bool number_unsigned(json::number_unsigned_t value) { return scalar(value); }
    bool number_float(json::number_float_t value, const json::string_t&) { return scalar(value); }
    bool string(json::string_t& value) {
        if (depth_ == 2 && listed_) {
            list_.append(QString::fromStdString(value));
            return true;
        }
        return scalar(std::move(value));
    }
    bool binary(json::binary_t&) { return false; }

    bool key(json::string_t& value) {
        if (depth_ == 1) {
            key_ = QString::fromStdString(value);
            return true;
        }
        if (depth_ == 2 && value != "date")
            dated_ = false;
        if (depth_ == 2)
            dateNumber_ = false; // until its value says otherwise
        Open& open = open_.back();
        if (!std::exchange(open.first, false))
            text_ += ',';
        text_ += json(value).dump();
        text_ += ':';
        return true;
    }

    bool start_object(std::size_t) { return enter(false); }
    bool start_array(std::size_t) { return enter(true); }
    bool end_object() { return leave('}'); }
    bool end_array() { return leave(']'); }
    bool parse_error(std::size_t, const std::string&, const json::exception&) { return false; }

private:
    struct Open {
        bool array;
        bool first = true;
    };

    bool scalar(json value) {
        if (depth_ == 0)
            return false; // the file is one object
        if (depth_ == 1) {
            map_.insert(key_, scalarVariant(value));
            return true;
        }
        if (depth_ == 2 && open_.front().array)
            stopListing();
        if (depth_ == 2 && !open_.front().array) {
            dateNumber_ = value.is_number();
            if (dateNumber_)
                date_ = value.get<double>();
        }
        separate();
        text_ += value.dump();
        return true;
    }

    bool enter(bool array) {
        if (depth_ >= Json::maximumDepth)
            return false;
        ++depth_;
        if (depth_ == 1)
            return !array;
        if (depth_ == 2) {
            listed_ = array;
            dated_ = !array;
            dateNumber_ = false;
            list_.clear();
            text_.clear();
        } else {
            if (depth_ == 3 && open_.front().array)
                stopListing();
            if (depth_ == 3 && !open_.front().array)
                dateNumber_ = false;
            separate();
        }
        text_ += array ? '[' : '{';
        open_.push_back({array});
        return true;
    }

    bool leave(char bracket) {
        --depth_;
        if (depth_ == 0)
            return true;
        text_ += bracket;
        const Open closed = open_.back();
        open_.pop_back();
        if (depth_ > 1)
            return true;
        if (closed.array && listed_)
            map_.insert(key_, QVariant(std::exchange(list_, {})));
        else if (!closed.array && dated_ && !closed.first && dateNumber_)
            map_.insert(key_, QVariant::fromValue(Date{date_}));
        else
            map_.insert(key_, QVariant::fromValue(ForeignJson{std::exchange(text_, {})}));
        text_.clear();
        return true;
    }

    // A comma before every element of an array but its first; a member's comma comes with its key.
    void separate() {
        Open& open = open_.back();
        if (open.array && !std::exchange(open.first, false))
            text_ += ',';
    }

    // A list that turns out to hold more than texts is kept as its JSON text.
    void stopListing() {
        if (!listed_)
            return;
        listed_ = false;
        for (const QString& element : std::exchange(list_, {})) {
            separate();
            text_ += json(element.toStdString()).dump();
        }
    }

    QSettings::SettingsMap& map_;
    int depth_ = 0;
    QString key_;
    std::vector<Open> open_; // the containers open inside the current value
    QStringList list_;       // the value while it is a list of texts
    bool listed_ = false;
    bool dated_ = false;      // every key of the value is "date"
    bool dateNumber_ = false; // and the last one holds a number
    double date_ = 0;         // that number
    std::string text_;        // the value's compact JSON text otherwise
};

bool blank(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) {
        return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\v' || c == '\f';
    });
}

// The settings of the file's text, or nothing when it is not one JSON object.
std::optional<QSettings::SettingsMap> readSettings(std::string_view bytes) {
    QSettings::SettingsMap map;
    SettingsReader reader(map);
    try {
        if (!json::sax_parse(bytes, &reader))
            return std::nullopt;
    } catch (const json::exception&) {
        return std::nullopt;
    }
    return map;
}

std::optional<json> toJson(const QVariant& value) {
    const QMetaType type = value.metaType();
    if (type == QMetaType::fromType<Date>())
        return json{{"date", value.value<Date>().secondsSinceReference}};
    if (type == QMetaType::fromType<ForeignJson>()) {
        return Json::read(value.value<ForeignJson>().text);
    }
    switch (type.id()) {
    case QMetaType::Bool:
        return json(value.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
        return json(value.toLongLong());
    case QMetaType::QString:
        return json(value.toString().toStdString());
    case QMetaType::QStringList: {
        json list = json::array();
        for (const QString& text : value.toStringList())
            list.push_back(text.toStdString());
        return list;
    }
    default:
        return std::nullopt;
    }
}

bool readJson(QIODevice& device, QSettings::SettingsMap& map) {
    const auto limit = qint64(JsonSettings::maximumFileSize);
    if (device.size() > limit)
        return false;
    const QByteArray bytes = device.readAll();
    if (bytes.size() > limit) // grown since
        return false;
    const std::string_view text(bytes.constData(), std::size_t(bytes.size()));
    if (blank(text))
        return true; // a file that was just created
    auto read = readSettings(text);
    if (!read)
        return false;
    map = std::move(*read);
    return true;
}

bool writeJson(QIODevice& device, const QSettings::SettingsMap& map) {
    json document = json::object();
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        if (auto value = toJson(it.value()))
            document[it.key().toStdString()] = std::move(*value);
    const std::string text = document.dump(2) + "\n";
    return device.write(text.data(), qint64(text.size())) == qint64(text.size());
}

QSettings::Format jsonFormat() {
    static const QSettings::Format format = QSettings::registerFormat("json", readJson, writeJson);
    return format;
}

QString qPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

} // namespace

JsonSettings::JsonSettings() : JsonSettings(defaultFile()) {}

JsonSettings::JsonSettings(std::string file) : file_(std::move(file)) {}

std::string JsonSettings::defaultFile() {
    const char* configured = std::getenv("XDG_CONFIG_HOME");
    std::string base =
        configured && configured[0] == '/' ? std::string(configured) : Path::join(Fs::homeDirectory(), ".config");
    return Path::join(Path::join(base, "Dovrane"), "Dovrane.json");
}

QSettings::SettingsMap JsonSettings::values() const {
    if (!Fs::exists(file_))
        return {};
    // Read here rather than by QSettings, which would block for good in opening a named pipe
    // put in the file's place; the kit's reader takes nothing but a regular file.
    const std::optional<std::string> bytes = Fs::readFile(file_, maximumFileSize);
    if (!bytes) {
        if (!toldUnreadable_.exchange(true))
            std::fprintf(stderr, "Not reading the settings at %s: %s; using the defaults\n", file_.c_str(),
                         Fs::isRegularFile(file_) ? "it cannot be read" : "it is not a regular file");
        return {};
    }
    return readSettings(*bytes).value_or(QSettings::SettingsMap());
}

QVariant JsonSettings::read(const QString& key) const { return values().value(key); }

bool JsonSettings::isDamaged() const {
    if (!Fs::exists(file_))
        return false;
    auto bytes = Fs::readFile(file_, maximumFileSize);
    return !bytes || !(blank(*bytes) || readSettings(*bytes));
}

void JsonSettings::prepareForWrite() const {
    Fs::makeDirectories(Path::parent(file_), 0700);
    // Every damaged copy is kept: a second damage does not overwrite the first.
    if (isDamaged())
        (void)Fs::moveAside(file_, ".damaged");
}

std::optional<std::string> JsonSettings::setAsideDamaged() {
    return isDamaged() ? Fs::moveAside(file_, ".damaged") : std::nullopt;
}

void JsonSettings::write(const QString& key, const QVariant& value) {
    prepareForWrite();
    QSettings store(qPath(file_), jsonFormat());
    store.setValue(key, value);
    store.sync();
}

void JsonSettings::remove(const QString& key) {
    if (!Fs::exists(file_))
        return;
    prepareForWrite();
    QSettings store(qPath(file_), jsonFormat());
    store.remove(key);
    store.sync();
}

} // namespace dovrane
