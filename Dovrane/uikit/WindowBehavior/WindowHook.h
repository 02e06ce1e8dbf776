#pragma once
// Clears a window's keyboard focus when the window is first shown and whenever a window that
// was closed is shown again, so no text field holds the focus when, say, the Settings window
// opens. Switching to another window and back keeps the focus where it was.

#include <QObject>
#include <QPointer>

class QWidget;

namespace dovrane {

class WindowHook final : public QObject {
    Q_OBJECT
public:
    // Watches the window of view (and follows view into another window); owned by view. With a
    // home (a control that takes no text, such as a tab bar), the focus goes there instead of
    // nowhere, so the window's keys work before the first click.
    explicit WindowHook(QWidget* view, QWidget* home = nullptr);

    // True from the window's closing until it next becomes active.
    bool reopened() const { return reopened_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attach();
    void clearLater();

    QWidget* view_;
    QPointer<QWidget> home_;
    QPointer<QWidget> window_;
    bool reopened_ = false;
};

} // namespace dovrane
