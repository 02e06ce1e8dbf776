#include "Services/JsonSettings.h"

#include <DovraneKit/formats/JsonReading.h>
#include <DovraneKit/system/FileSystem.h>

#include <nlohmann/json.hpp>

#include <QFile>
#include <QIODevice>

#include <cstdio>
#include <cstdlib>

namespace dovrane {

namespace {

using nlohmann::json;

std::optional<json> parseObject(const QByteArray& bytes) {
    auto document = Json::read(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (!document || !document->is_object())
        return std::nullopt;
    return document;
}

bool isDate(const json& value) {
    return value.is_object() && value.size() == 1 && value.contains("date") &&
           (value["date"].is_number_integer() || value["date"].is_number_float());
}

bool isListOfTexts(const json& value) {
    if (!value.is_array())
        return false;
    for (const json& element : value)
        if (!element.is_string())
            return false;
    return true;
}

QVariant toVariant(const json& value) {
    if (value.is_boolean())
        return QVariant(value.get<bool>());
    if (value.is_number_integer() && !value.is_number_unsigned())
        return QVariant::fromValue(value.get<qint64>());
    if (value.is_number_unsigned() && value.get<std::uint64_t>() <= std::uint64_t(INT64_MAX))
        return QVariant::fromValue(value.get<qint64>());
    if (value.is_string())
        return QVariant(QString::fromStdString(value.get<std::string>()));
    if (isListOfTexts(value)) {
        QStringList texts;
        for (const json& element : value)
            texts.append(QString::fromStdString(element.get<std::string>()));
        return QVariant(texts);
    }
    if (isDate(value))
        return QVariant::fromValue(Date{value["date"].get<double>()});
    return QVariant::fromValue(ForeignJson{value.dump()});
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
    const QByteArray bytes = device.read(limit + 1);
    if (bytes.size() > limit)
        return false;
    if (bytes.trimmed().isEmpty())
        return true; // a file that was just created
    auto document = parseObject(bytes);
    if (!document)
        return false;
    for (const auto& [key, value] : document->items())
        map.insert(QString::fromStdString(key), toVariant(value));
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

QVariant JsonSettings::read(const QString& key) const {
    if (!Fs::exists(file_))
        return {};
    QSettings store(qPath(file_), jsonFormat());
    return store.value(key);
}

bool JsonSettings::isDamaged() const {
    if (!Fs::exists(file_))
        return false;
    auto bytes = Fs::readFile(file_, maximumFileSize);
    return !bytes ||
           !(QByteArray::fromStdString(*bytes).trimmed().isEmpty() || parseObject(QByteArray::fromStdString(*bytes)));
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
