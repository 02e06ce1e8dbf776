#pragma once
// One row of a browser's category list: the category's colour, its title on one line and its
// size ("not disclosed" where the system does not tell it), with its explanation as tooltip.

#include <DovraneKit/scan/ScanModel.h>

#include <QWidget>

namespace dovrane {

class ColorDot;
class ElidedLabel;
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

private:
    bool selected_ = false;
    ColorDot* dot_;
    ElidedLabel* title_;
    StyledLabel* size_;
};

} // namespace dovrane
