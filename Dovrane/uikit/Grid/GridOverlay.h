#pragma once
// Draws the 8-point grid, every recorded area and every probe over a window's content, when
// APP_GRID is "1". It takes no clicks: they pass to the content below.

#include <QWidget>

#include <vector>

namespace dovrane {

class GridOverlay final : public QWidget {
    Q_OBJECT
public:
    // Covers the whole of host and follows its size.
    explicit GridOverlay(QWidget* host);

    // True exactly when APP_GRID is "1"; read once per process.
    static bool enabled();
    // Grid line positions 0, 8, 16, … up to and including the length (the length itself only
    // when it is a multiple of 8).
    static std::vector<double> lines(double length);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace dovrane
