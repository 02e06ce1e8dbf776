#pragma once
// Lists of words in a sentence, as the current language joins them ("Caches and Logs",
// "Caches und Logs").

#include <QString>
#include <QStringList>

namespace dovrane::ListFormat {

// The conjunction list of the kit's current language; one entry stands alone, none is empty.
QString conjunction(const QStringList& entries);

} // namespace dovrane::ListFormat
