#pragma once
// A notice names one reason for the items that failed, in one sentence: the reason most of them
// share, so that one odd item does not hide why the rest failed.

#include <QHash>
#include <QString>

#include <vector>

namespace dovrane {

// The reason given most often; of reasons given equally often, the one that got there first.
// Empty for none.
// One pass, since a cleanup of a hundred thousand items may fail whole.
inline QString mostGiven(const std::vector<QString>& reasons) {
    QHash<QString, int> times;
    QString chosen;
    int most = 0;
    for (const QString& reason : reasons)
        if (const int count = ++times[reason]; count > most) {
            most = count;
            chosen = reason;
        }
    return chosen;
}

} // namespace dovrane
