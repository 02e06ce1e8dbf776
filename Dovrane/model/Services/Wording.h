#pragma once
// A text the journal keeps together with what it is made of, so that it is worded again in the
// language of a later start: "Safe items" recorded by an English window reads "Sichere Objekte"
// in a German one. Names (an app's, a version) are kept as they are.

#include <DovraneKit/scan/ScanModel.h>

#include <QString>
#include <QStringList>

#include <optional>

namespace dovrane {

class Wording {
public:
    Wording() = default;

    // The same in every language; not worded again.
    static Wording plain(QString text);
    static Wording safeItems();
    static Wording orphans();
    static Wording categoryTitle(CategoryID id);
    // "Inkwell Studio and 3 leftovers", or the app's name alone without leftovers.
    static Wording appWithLeftovers(const QString& app, int leftovers);
    // "Notewell 1.2, replaced by 1.3".
    static Wording replacedBy(const QString& app, const QString& version, const QString& newVersion);

    // The text in the current language.
    QString text() const;
    // What to store to word it again; empty for a plain text.
    QString toJson() const;
    // A stored wording; nullopt for what is not one this version can word (written by another
    // version, or damaged), whose stored text is then shown as it is.
    static std::optional<Wording> fromJson(const QString& json);

    bool operator==(const Wording&) const = default;

private:
    const char* source_ = nullptr; // a catalogue text of the context "Wording"; null for the others
    std::optional<CategoryID> category_;
    QString plain_;
    QStringList values_; // %1, %2, … in order
    int count_ = -1;     // %Ln; -1 without a count
};

} // namespace dovrane
