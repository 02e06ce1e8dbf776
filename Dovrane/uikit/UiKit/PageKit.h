#pragma once
// The building blocks every page shares: the empty-state view, the card, the footer bar under a
// table and the busy indicator.

#include "UiKit/Labels.h"
#include "UiKit/Symbols.h"

#include <QFrame>
#include <QPushButton>
#include <QWidget>

#include <functional>

class QHBoxLayout;
class QProgressBar;
class QVBoxLayout;

namespace dovrane {

// The indeterminate progress indicator of work that runs (a listing, an install, emptying the
// Trash).
QProgressBar* makeBusyIndicator(QWidget* parent);

// Centred: a large symbol, a title, an optional description and an optional action button.
class ContentUnavailableView : public QWidget {
    Q_OBJECT
public:
    ContentUnavailableView(const QString& title, const QString& symbol, const QString& description = {},
                           QWidget* parent = nullptr);

    QString title() const { return title_->text(); }
    QString description() const { return description_->text(); }
    void setDescription(const QString& description);
    enum class ButtonStyle { bordered, prominent };
    // Shows one button that runs action; an empty text removes it. A prominent button is
    // filled with the accent.
    void setAction(const QString& text, std::function<void()> action, ButtonStyle style = ButtonStyle::bordered);
    QPushButton* actionButton() const { return button_; }

private:
    void makeButton(ButtonStyle style);
    StyledLabel* title_;
    StyledLabel* description_;
    QPushButton* button_;
    std::function<void()> action_;
};

// A rounded panel (corner radius 12) in the secondary window background, painted in the look
// of the moment. Put content into layout().
class Card : public QFrame {
    Q_OBJECT
public:
    static constexpr qreal cornerRadius = 12;
    explicit Card(QWidget* parent = nullptr);
    QVBoxLayout* contentLayout() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A hairline between rows or panes in the separator colour of the look of the moment.
class Divider : public QWidget {
    Q_OBJECT
public:
    explicit Divider(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The one main action of a view: filled with the accent (the palette's highlight, so it follows
// the chosen theme and the look), its title in the highlight's text colour.
class ProminentButton final : public QPushButton {
    Q_OBJECT
public:
    explicit ProminentButton(const QString& title, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Under a table: a summary in the secondary colour, flexible space, then the actions. Buttons
// keep their whole titles: where the row is too narrow for them they wrap onto further rows,
// and where it is too narrow for the summary beside them, they go under it.
class FooterBar : public QWidget {
    Q_OBJECT
public:
    explicit FooterBar(QWidget* parent = nullptr);
    void setSummary(const QString& summary);
    QString summary() const { return summary_->text(); }
    const QLabel* summaryLabel() const { return summary_; }
    // Beside the summary, before the flexible space.
    void addNote(QWidget* note);
    void addAction(QWidget* action);
    // The room between two buttons.
    static constexpr int buttonSpacing() { return 8; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    StyledLabel* summary_;
    QHBoxLayout* row_;
    QWidget* buttons_;
};

} // namespace dovrane
