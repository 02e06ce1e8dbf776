#pragma once
// One demo text, given in English. Texts marked QT_TRANSLATE_NOOP("SeedData", …) have German in
// the application's catalogue, which is loaded exactly when the current language is German, so
// the language is chosen when a value is built; names such as "Pixelmoor" are not marked and read
// the same in both languages.

#include <QCoreApplication>
#include <QString>

#include <string>

namespace dovrane::SeedData {

struct Text {
    const char* english = nullptr;

    constexpr bool empty() const { return english == nullptr; }
    std::string operator()() const { return QCoreApplication::translate("SeedData", english).toStdString(); }
    // The text with %1 replaced by argument, in either language.
    std::string operator()(const std::string& argument) const {
        return QCoreApplication::translate("SeedData", english).arg(QString::fromStdString(argument)).toStdString();
    }
};

} // namespace dovrane::SeedData
