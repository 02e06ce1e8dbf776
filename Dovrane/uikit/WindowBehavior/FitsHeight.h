#pragma once
// Keeps a window of fixed width exactly as tall as its content needs at that width, so that
// wrapped texts get all their lines in every language and the window shrinks again with
// shorter content. Qt sizes a window by its content's minimum, which ignores wrapping. Where the
// room is shorter (a ceiling, else the screen), the window takes the room and no less than its
// content's minimum: the content's scroll areas give way.

#include <QObject>

class QWidget;

namespace dovrane {

class FitsHeight final : public QObject {
    Q_OBJECT
public:
    // Attaches to the window (and is owned by it); the window needs a layout.
    explicit FitsHeight(QWidget* window);

    // The height the content needs at the window's width; 0 when it cannot tell.
    int neededHeight() const;
    // The most height the window may take (0: the screen's); it takes it at once.
    void setCeiling(int height);
    int ceiling() const { return ceiling_; }
    // Takes that height now. Called before a window is first shown, it settles the size before
    // the platform window exists, which then needs no size hints sent after it.
    void fit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    int ceiling_ = 0;
};

} // namespace dovrane
