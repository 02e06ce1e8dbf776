#include "Services/Wording.h"

#include <DovraneKit/scan/Explanations.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <cstring>

namespace dovrane {

namespace {

constexpr const char* context = "Wording";

// Every text a stored wording may name; one written by another version is not worded.
constexpr std::array<const char*, 4> sources = {
    QT_TRANSLATE_NOOP("Wording", "Safe items"),
    QT_TRANSLATE_NOOP("Wording", "Leftovers without an app"),
    QT_TRANSLATE_N_NOOP("Wording", "%1 and %Ln leftovers"),
    QT_TRANSLATE_NOOP("Wording", "%1 %2, replaced by %3"),
};

const char* knownSource(const QString& text) {
    for (const char* source : sources)
        if (text == QLatin1String(source))
            return source;
    return nullptr;
}

} // namespace

Wording Wording::plain(QString text) {
    Wording wording;
    wording.plain_ = std::move(text);
    return wording;
}

Wording Wording::safeItems() {
    Wording wording;
    wording.source_ = sources[0];
    return wording;
}

Wording Wording::orphans() {
    Wording wording;
    wording.source_ = sources[1];
    return wording;
}

Wording Wording::categoryTitle(CategoryID id) {
    Wording wording;
    wording.category_ = id;
    return wording;
}

Wording Wording::appWithLeftovers(const QString& app, int leftovers) {
    if (leftovers <= 0)
        return plain(app);
    Wording wording;
    wording.source_ = sources[2];
    wording.values_ = {app};
    wording.count_ = leftovers;
    return wording;
}

Wording Wording::replacedBy(const QString& app, const QString& version, const QString& newVersion) {
    Wording wording;
    wording.source_ = sources[3];
    wording.values_ = {app, version, newVersion};
    return wording;
}

QString Wording::text() const {
    if (category_)
        return QString::fromStdString(Explanations::title(*category_));
    if (!source_)
        return plain_;
    const QString text = QCoreApplication::translate(context, source_, nullptr, count_);
    // In one pass, so that a name holding "%2" stays as it is.
    switch (values_.size()) {
    case 0:
        return text;
    case 1:
        return text.arg(values_[0]);
    case 2:
        return text.arg(values_[0], values_[1]);
    default:
        return text.arg(values_[0], values_[1], values_[2]);
    }
}

QString Wording::toJson() const {
    QJsonObject object;
    if (category_) {
        object.insert(QStringLiteral("category"), QString::fromUtf8(rawValue(*category_).data()));
    } else if (source_) {
        object.insert(QStringLiteral("source"), QString::fromLatin1(source_));
        if (!values_.isEmpty())
            object.insert(QStringLiteral("values"), QJsonArray::fromStringList(values_));
        if (count_ >= 0)
            object.insert(QStringLiteral("count"), count_);
    } else {
        return {};
    }
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<Wording> Wording::fromJson(const QString& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    Wording wording;
    if (const QJsonValue category = object.value(QStringLiteral("category")); category.isString()) {
        wording.category_ = categoryIDFromRaw(category.toString().toStdString());
        return wording.category_ ? std::optional(wording) : std::nullopt;
    }
    wording.source_ = knownSource(object.value(QStringLiteral("source")).toString());
    if (!wording.source_)
        return std::nullopt;
    const QJsonValue values = object.value(QStringLiteral("values"));
    if (!values.isUndefined()) {
        if (!values.isArray())
            return std::nullopt;
        for (const QJsonValue& value : values.toArray()) {
            if (!value.isString())
                return std::nullopt;
            wording.values_ << value.toString();
        }
    }
    const QJsonValue count = object.value(QStringLiteral("count"));
    if (!count.isUndefined()) {
        if (!count.isDouble() || count.toDouble() != double(count.toInt()) || count.toInt() < 0)
            return std::nullopt;
        wording.count_ = count.toInt();
    }
    // Each %1, %2, … of the text has its value, and a counted text its count.
    const int needed = std::strstr(wording.source_, "%3") ? 3 : std::strstr(wording.source_, "%1") ? 1 : 0;
    if (wording.values_.size() != needed || (std::strstr(wording.source_, "%Ln") != nullptr) != (wording.count_ >= 0))
        return std::nullopt;
    return wording;
}

} // namespace dovrane
