#pragma once
// The edge of a window that floats over another, such as a sheet or the command palette: where
// no window manager frames it, it would otherwise melt into the window behind it. A 1 px border
// that reads against either look, drawn over the window's children; it takes no clicks and its
// colour is resolved at every paint, so it follows the look. A window without a frame also
// casts a soft shadow on the window it floats over, drawn there by a child of that window that
// follows it; a framed one gets its shadow, if any, from the window system.

#include <QPointer>
#include <QWidget>

namespace dovrane {

class WindowEdge final : public QWidget {
    Q_OBJECT
public:
    // Attaches to the window (and is owned by it).
    explicit WindowEdge(QWidget* window);
    ~WindowEdge() override;

    // The shadow on the window behind; null for a framed window or one floating over nothing.
    QWidget* shadow() const { return shadow_; }
    // How far the shadow reaches past the window's edge.
    static constexpr int shadowReach = 12;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeShadow();
    QPointer<QWidget> shadow_;
};

} // namespace dovrane
