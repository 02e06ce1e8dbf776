#pragma once
// The rating of one item: its symbol and label in the caption style, coloured by rating, with
// a tooltip that says what the rating means.

#include <DovraneKit/scan/ScanModel.h>

#include <QColor>
#include <QString>
#include <QWidget>

namespace dovrane {

class SafetyBadge : public QWidget {
    Q_OBJECT
public:
    explicit SafetyBadge(Safety safety, QWidget* parent = nullptr);

    static QString symbol(Safety safety);
    static QString tooltip(Safety safety);
    static QColor color(Safety safety);
    Safety safety() const { return safety_; }

private:
    Safety safety_;
};

} // namespace dovrane
