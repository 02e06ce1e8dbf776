#pragma once
// The model's one notice above the page: a check mark, the text as given (plain text, at most
// three lines) and a close button. The bar has no timer; it stays until closed or replaced.

#include <QLabel>
#include <QToolButton>
#include <QWidget>

#include <functional>

namespace dovrane {

class NoticeBar final : public QWidget {
    Q_OBJECT
public:
    static constexpr int maximumLines = 3;

    NoticeBar(const QString& text, std::function<void()> close, QWidget* parent = nullptr);

    void setText(const QString& text);
    QLabel* label() const { return text_; }
    QToolButton* closeButton() const { return close_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* text_;
    QToolButton* close_;
    std::function<void()> onClose_;
};

} // namespace dovrane
