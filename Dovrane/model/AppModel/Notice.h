#pragma once
// Every notice the model gives is worded here, sentence by sentence. Each sentence is of a kind,
// and the kind alone says whether it reports something done or a shortfall (a failure, or a part
// left undone): a notice with a shortfall in it wears the warning sign, never the check mark.

#include <QCoreApplication>
#include <QString>

#include <optional>

namespace dovrane {

// What a sentence of a notice puts in: a number, a text (a size, a reason, a path), and whether
// a measured size is exact or "about".
struct NoticeFigures {
    int count = 0;
    QString text = {};
    bool exact = true;
};

class Notice {
    // The sentences keep the catalogue context they were translated under.
    Q_DECLARE_TR_FUNCTIONS(dovrane::AppModel)

public:
    enum class Kind {
        moved,                // text: the size moved to the Trash
        movedUnrecorded,      // the journal could not keep what moved
        movedUntilQuit,       // the journal is held in memory only
        notMoved,             // count; text: the reason most of them share, if any
        putBack,              // count
        putBackTaken,         // count: something else is at their original place
        putBackAlready,       // count: out of the Trash and at their place before this Put Back
        notPutBack,           // count; text: the reason most of them share, if any
        trashEmptied,         // text: the gain; exact
        trashPartlyEmptied,   // text: the gain; exact
        trashLinked,          // the Trash is a link and was left alone
        trashForeign,         // the Trash is another user's, or no folder
        trashReadOnly,        // the Trash may not be written
        snapshotsDeleted,     // count; text: the gain
        simulatorsRemoved,    // text: the gain
        simulatorsNotRemoved, // the tool failed
        diagnosticsCopied,    //
        settingsReset,        // text: where the damaged settings file is kept
        kinds                 // how many kinds there are; no kind itself
    };
    using Figures = NoticeFigures;

    Notice() = default;
    explicit Notice(Kind kind, const Figures& figures = {}) { add(kind, figures); }
    // What stands already, to which the next sentences are added: an earlier notice, with its mark.
    static Notice following(const std::optional<QString>& earlier, bool warned);

    // One more sentence, after one space.
    Notice& add(Kind kind, const Figures& figures = {});

    const QString& text() const { return text_; }
    bool warns() const { return warns_; }
    bool isEmpty() const { return text_.isEmpty(); }

    // The sentence of a kind, in the language of the moment.
    static QString sentence(Kind kind, const Figures& figures);
    // Whether the kind reports a failure or a part left undone.
    static bool isShortfall(Kind kind);

private:
    QString text_;
    bool warns_ = false;
};

} // namespace dovrane
