#pragma once
// Mutually exclusive choices drawn as one control: a rounded track with the chosen segment
// raised on it. Every segment's label keeps the text colour, so the chosen one never reads as
// disabled and the others still read as choices.

#include <QAbstractButton>
#include <QWidget>

class QButtonGroup;
class QHBoxLayout;

namespace dovrane {

class SegmentedControl final : public QWidget {
    Q_OBJECT
public:
    explicit SegmentedControl(QWidget* parent = nullptr);

    // Appends a checkable segment under id; the first one added starts checked.
    QAbstractButton* addSegment(const QString& text, int id);
    // The segments as one exclusive group: ask it for a segment by id or listen to its clicks.
    QButtonGroup* group() const { return group_; }

    static constexpr qreal radius = 6;
    static constexpr int inset = 2;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QButtonGroup* group_;
    QHBoxLayout* row_;
};

// One choice of a SegmentedControl: raised while checked, flat on the track otherwise.
class Segment final : public QAbstractButton {
    Q_OBJECT
public:
    explicit Segment(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace dovrane
