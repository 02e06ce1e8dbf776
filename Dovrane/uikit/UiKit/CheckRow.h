#pragma once
// A row of a list of check boxes: the box, then whatever content the row holds. A click
// anywhere on the row or Space while it has the focus toggles it, and assistive technology sees
// one check box named after the row; the focused row wears the accent ring.

#include <QCheckBox>

class QHBoxLayout;

namespace dovrane {

class CheckRow : public QCheckBox {
    Q_OBJECT
public:
    explicit CheckRow(QWidget* parent = nullptr);
    // Holds the row's content, right of the box. Labels in it pass their clicks on to the row.
    QHBoxLayout* content() const { return content_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool hitButton(const QPoint& position) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    QHBoxLayout* content_;
};

} // namespace dovrane
