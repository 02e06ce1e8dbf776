#pragma once
// A 1 px border in the separator colour around a window that floats over another, such as a
// sheet or the command palette: where no window manager frames it, it would otherwise melt into
// the window behind it. Drawn over the window's children, it takes no clicks; its colour is
// resolved at every paint, so it follows the look. A shadow is the window system's to draw.

#include <QWidget>

namespace dovrane {

class WindowEdge final : public QWidget {
    Q_OBJECT
public:
    // Attaches to the window (and is owned by it).
    explicit WindowEdge(QWidget* window);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace dovrane
