#pragma once
// A notice names one reason for the items that failed, in one sentence: the reason most of them
// share, so that one odd item does not hide why the rest failed.

#include <QString>

#include <algorithm>
#include <vector>

namespace dovrane {

// The reason given most often; of reasons given equally often the earliest. Empty for none.
inline QString mostGiven(const std::vector<QString>& reasons) {
    QString chosen;
    std::ptrdiff_t most = 0;
    for (const QString& reason : reasons) {
        const std::ptrdiff_t times = std::count(reasons.begin(), reasons.end(), reason);
        if (times > most) {
            most = times;
            chosen = reason;
        }
    }
    return chosen;
}

} // namespace dovrane
