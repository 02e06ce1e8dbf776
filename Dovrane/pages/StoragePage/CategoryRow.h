#pragma once
// One row of a browser's category list: the category's colour, its title and its size ("not
// disclosed" where the system does not tell it), with its explanation as tooltip. The title is
// always whole: where title and size do not fit on one line, the title wraps over the row's
// width and the size takes a line of its own below it.

#include <DovraneKit/scan/ScanModel.h>

#include <QWidget>

class QGridLayout;

namespace dovrane {

class ColorDot;
class StyledLabel;

class CategoryRow final : public QWidget {
    Q_OBJECT
public:
    explicit CategoryRow(const Category& category, QWidget* parent = nullptr);
    // The explanation for a Linux home speaks of its folders.
    void setCategory(const Category& category, bool linuxHome = false);

    QString title() const;
    QString sizeText() const;
    // On the list's selection the texts and the dot's ring take the selection's text colour.
    void setSelected(bool selected);
    bool isSelected() const { return selected_; }
    // The width at which title and size share one line.
    int oneLineWidth() const;
    bool fitsOneLine(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void arrange(bool oneLine);
    // The row's width without its title.
    int fixedWidth() const;

    bool selected_ = false;
    bool oneLine_ = true;
    QGridLayout* grid_;
    QWidget* dotCell_;
    ColorDot* dot_;
    StyledLabel* title_;
    StyledLabel* size_;
};

} // namespace dovrane
