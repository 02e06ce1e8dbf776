#include "AppModel/Notice.h"

namespace dovrane {

Notice Notice::following(const std::optional<QString>& earlier, bool warned) {
    Notice notice;
    if (earlier && !earlier->isEmpty()) {
        notice.text_ = *earlier;
        notice.warns_ = warned;
    }
    return notice;
}

Notice& Notice::add(Kind kind, const Figures& figures) {
    const QString said = sentence(kind, figures);
    text_ = text_.isEmpty() ? said : text_ + QLatin1Char(' ') + said;
    warns_ = warns_ || isShortfall(kind);
    return *this;
}

bool Notice::isShortfall(Kind kind) {
    switch (kind) {
    case Kind::moved:
    case Kind::putBack:
    case Kind::putBackAlready:
    case Kind::trashEmptied:
    case Kind::snapshotsDeleted:
    case Kind::simulatorsRemoved:
    case Kind::diagnosticsCopied:
    case Kind::kinds:
        return false;
    case Kind::movedUnrecorded:
    case Kind::movedUntilQuit:
    case Kind::notMoved:
    case Kind::putBackTaken:
    case Kind::notPutBack:
    case Kind::trashPartlyEmptied:
    case Kind::trashLinked:
    case Kind::trashForeign:
    case Kind::trashReadOnly:
    case Kind::simulatorsNotRemoved:
    case Kind::settingsReset:
        return true;
    }
    return true;
}

QString Notice::sentence(Kind kind, const Figures& figures) {
    // A reason, where one is known, follows the count as a sentence of its own.
    const auto withReason = [&figures](QString counted) {
        return figures.text.isEmpty() ? counted : counted + QLatin1Char(' ') + figures.text;
    };
    switch (kind) {
    case Kind::moved:
        return tr("%1 moved to the Trash. The space frees up when you empty the Trash.").arg(figures.text);
    case Kind::movedUnrecorded:
        return tr("The record of this removal could not be saved: the items are in the Trash, where your file "
                  "manager can put them back.");
    case Kind::movedUntilQuit:
        return tr("Dovrane works without its database, so it can put them back only until it quits; after that your "
                  "file manager can.");
    case Kind::notMoved:
        return withReason(tr("%Ln items could not be moved.", nullptr, figures.count));
    case Kind::putBack:
        return tr("%Ln items are back where they were.", nullptr, figures.count);
    case Kind::putBackAlready:
        return tr("%Ln items were already back where they were.", nullptr, figures.count);
    case Kind::putBackTaken:
        return tr("%Ln items stayed in the Trash because something else is at their original place.", nullptr,
                  figures.count);
    case Kind::notPutBack:
        return withReason(tr("%Ln items could not be put back.", nullptr, figures.count));
    case Kind::trashEmptied:
        return (figures.exact ? tr("Trash emptied. Measured gain: %1.") : tr("Trash emptied. Measured gain: about %1."))
            .arg(figures.text);
    case Kind::trashPartlyEmptied:
        return (figures.exact ? tr("Some items stayed in the Trash because they could not be removed. "
                                   "Measured gain: %1.")
                              : tr("Some items stayed in the Trash because they could not be removed. "
                                   "Measured gain: about %1."))
            .arg(figures.text);
    case Kind::trashLinked:
        return tr("The Trash was not emptied: it is a link to another place, and Dovrane removes nothing through a "
                  "link.");
    case Kind::trashForeign:
        return tr("The Trash was not emptied: it belongs to another user or is not a folder.");
    case Kind::trashReadOnly:
        return tr("The Trash was not emptied: it is read-only.");
    case Kind::snapshotsDeleted:
        return tr("%Ln snapshots deleted. Measured gain: %1.", nullptr, figures.count).arg(figures.text);
    case Kind::simulatorsRemoved:
        return tr("Unavailable simulators removed. Measured gain: %1.").arg(figures.text);
    case Kind::simulatorsNotRemoved:
        return tr("Xcode could not remove the simulators. Is Xcode installed?");
    case Kind::diagnosticsCopied:
        return tr("Diagnostics copied. They hold versions and counts, no file or app names.");
    case Kind::settingsReset:
        return QCoreApplication::translate("dovrane::Launch", "Your settings could not be read and were reset. The "
                                                              "old file is kept as %1.")
            .arg(figures.text);
    case Kind::kinds:
        break;
    }
    return {};
}

} // namespace dovrane
