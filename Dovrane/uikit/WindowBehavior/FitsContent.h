#pragma once
// Makes a scroll area exactly as tall as its content, up to a maximum, so that a window that
// takes its size from its content grows and shrinks with the page; beyond the maximum the
// page scrolls. Changes under one pixel are ignored, so the height does not wobble.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <optional>

class QScrollArea;

namespace dovrane {

class FitsContent final : public QObject {
    Q_OBJECT
public:
    // Attaches to the scroll area (and is owned by it); the width is left free.
    FitsContent(QScrollArea* area, double max);

    // The last content height taken, none before the first measurement.
    std::optional<double> height() const { return height_; }
    // The height the area is given: the content's, capped at the maximum; none while unmeasured.
    std::optional<double> fittedHeight() const;
    // Takes a new content height when it differs by 1 pixel or more from the last one.
    void contentHeightChanged(double height);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void measure();
    void apply();

    QScrollArea* area_;
    QPointer<QWidget> content_;
    double max_;
    std::optional<double> height_;
};

} // namespace dovrane
