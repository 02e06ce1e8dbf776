#pragma once
// The header over a detail: a title, beside it the badge of a rating, the size in the secondary
// colour and under them an explanation. A pane (a category's detail) shows the size at the end
// of the title's row while the whole title fits beside it, else under the title; a sheet puts
// the size under the title; the welcome sheet has a larger title. A long title wraps. Texts
// known when the header is made go to the constructor: a setter shortens the size's text to the
// label's width of the moment, which is not the real one before the first layout.

#include "UiKit/Labels.h"

#include <DovraneKit/scan/ScanModel.h>

#include <QWidget>

class QVBoxLayout;

namespace dovrane {

class SafetyBadge;

class DetailHeader final : public QWidget {
    Q_OBJECT
public:
    enum class Style { pane, sheet, welcome };
    struct Content {
        // A header without a size or an explanation leaves them out.
        QString title;
        QString size{};
        QString explanation{};
    };

    DetailHeader(Style style, Content content, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    // The badge beside the title; there is none until a rating is set.
    void setSafety(Safety safety);
    // The size and the explanation show while they have text.
    void setSize(const QString& size);
    void setExplanation(const QString& explanation);
    // A line of the caller's own under the explanation (a note, a hint).
    void addLine(QWidget* line);

private:
    QVBoxLayout* lines_;
    StyledLabel* title_;
    QWidget* badgeSlot_;
    SafetyBadge* badge_ = nullptr;
    ElidedLabel* size_;
    LineLimitedLabel* explanation_;
};

} // namespace dovrane
