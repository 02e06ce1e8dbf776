#pragma once
// The model's one notice above the page: a check mark (a warning sign when it tells of a failure), the text as given
// (plain text, at most three lines) and a close button. The bar has no timer; it stays until closed or replaced.

#include <QLabel>
#include <QToolButton>
#include <QWidget>

#include <functional>

namespace dovrane {

class SymbolView;

class NoticeBar final : public QWidget {
    Q_OBJECT
public:
    static constexpr int maximumLines = 3;

    NoticeBar(const QString& text, std::function<void()> close, QWidget* parent = nullptr);

    void setText(const QString& text);
    // A notice of something that did not happen wears the warning sign instead of the check mark.
    void setWarning(bool warning);
    bool isWarning() const { return warning_; }
    SymbolView* mark() const { return mark_; }
    QLabel* label() const { return text_; }
    QToolButton* closeButton() const { return close_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SymbolView* mark_;
    bool warning_ = false;
    QLabel* text_;
    QToolButton* close_;
    std::function<void()> onClose_;
};

} // namespace dovrane
