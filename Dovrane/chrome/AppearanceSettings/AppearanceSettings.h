#pragma once
// The appearance tab: a miniature app window drawn in the current accent, and a row of
// swatches, one per theme, that set the accent. Every colour is taken from the theme store at
// paint time, so a choice recolours the preview at once.

#include "Theme/Theme.h"

#include <QAbstractButton>
#include <QWidget>

#include <vector>

class QLabel;

namespace dovrane {

// A 16-pixel circle in a theme's base colour (a colour wheel for the system theme), with a
// centre dot while selected. Accessible by the theme's name; checked while selected.
class AccentSwatch final : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int diameter = 16;
    AccentSwatch(Theme theme, QWidget* parent = nullptr);

    const Theme& theme() const { return theme_; }
    bool selected() const { return isChecked(); }
    void setSelected(bool selected);
    // The dot on a selected swatch, and any text on the theme's accent fill.
    static QColor textOnAccent(const Theme& theme);
    QSize sizeHint() const override { return {diameter, diameter}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override;

private:
    Theme theme_;
};

// The miniature window: a sidebar with "Inbox" selected, two tasks and an "Add Task" button.
class AccentPreview final : public QWidget {
    Q_OBJECT
public:
    static constexpr int previewHeight = 152;
    explicit AccentPreview(ThemeStore& store, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {440, previewHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ThemeStore& store_;
};

class AppearanceSettings final : public QWidget {
    Q_OBJECT
public:
    explicit AppearanceSettings(ThemeStore& store = ThemeStore::shared(), QWidget* parent = nullptr);

    const std::vector<AccentSwatch*>& swatches() const { return swatches_; }
    QLabel* themeName() const { return name_; }
    AccentPreview* preview() const { return preview_; }

private:
    void refresh();

    ThemeStore& store_;
    AccentPreview* preview_;
    std::vector<AccentSwatch*> swatches_;
    QLabel* name_;
};

} // namespace dovrane
