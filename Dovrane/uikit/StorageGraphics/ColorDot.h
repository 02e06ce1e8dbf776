#pragma once
// A filled circle 8 by 8 in a colour worked out at every paint: the dot beside a group or a
// category wherever one is named.

#include <QColor>
#include <QWidget>

#include <functional>

namespace dovrane {

class ColorDot : public QWidget {
    Q_OBJECT
public:
    using ColorSource = std::function<QColor()>;
    static constexpr int diameter = 8;

    explicit ColorDot(ColorSource color, QWidget* parent = nullptr);
    void setColor(ColorSource color);
    // A ring around the dot, so it stays visible on a background of its own colour; none
    // draws no ring.
    void setOutline(ColorSource outline);
    QColor color() const { return color_(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ColorSource color_;
    ColorSource outline_;
};

} // namespace dovrane
