#include "Snapshot/Capture.h"

#include "Grid/GridProbes.h"
#include "WindowBehavior/WindowPlacement.h"

#include <DovraneKit/system/FileSystem.h>

#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QMainWindow>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

#include <unistd.h>

namespace dovrane::Snapshot {

namespace {

constexpr int attempts = 3;
constexpr int retryPause = 500;

// The image as PNG at path; true when a file is there afterwards.
bool save(const QPixmap& image, const std::string& path) {
    if (image.isNull())
        return false;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return false;
    // Never half an image at the path, even when the disk fills.
    return Fs::writeFileAtomically(path, std::string_view(png.constData(), std::size_t(png.size()))) &&
           Fs::exists(path);
}

// The window system's picture of the window, taken from its screen by the window's id (the
// offscreen platform answers it from the window's backing store).
bool grabFromScreen(QWidget* window, const std::string& path) {
    QScreen* screen = window->screen();
    return screen && save(screen->grabWindow(window->winId()), path);
}

} // namespace

void bringToFront(QWidget* window) { WindowPlacement::bringToFront(window); }

void say(std::string_view text) {
    std::string line = "SNAPSHOT ";
    line.append(text);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stdout);
}

QList<QWidget*> windowList() {
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if (widget->isVisible() && (type == Qt::Window || type == Qt::Dialog))
            windows.append(widget);
    }
    return windows;
}

bool isSheet(const QWidget* window) {
    return window && window->isWindow() && qobject_cast<const QDialog*>(window) && window->parentWidget() &&
           window->windowModality() == Qt::WindowModal;
}

bool canBecomeMain(const QWidget* window) { return qobject_cast<const QMainWindow*>(window) != nullptr; }

QWidget* mainWindow() {
    for (QWidget* window : windowList())
        if (canBecomeMain(window) && !isSheet(window))
            return window;
    return nullptr;
}

std::string layoutPath(const std::string& imagePath) {
    // ".png" holds no "/", so a path ending in it is a file name ending in it.
    static constexpr std::string_view ending = ".png";
    const std::string_view stem = imagePath.ends_with(ending)
                                      ? std::string_view(imagePath).substr(0, imagePath.size() - ending.size())
                                      : std::string_view(imagePath);
    return std::string(stem) + "-layout.json";
}

Subtask capture(std::string imagePath, QPointer<QWidget> given) {
    QPointer<QWidget> window = given ? given : QPointer<QWidget>(mainWindow());
    if (!window) {
        say("no window");
        co_return;
    }
    bringToFront(window);

    // The layout file goes first, and stays when the image then fails.
    const QSize area = window->size();
    GridProbes::shared().write(layoutPath(imagePath), area.width(), area.height());
    // An earlier image never counts as this capture.
    ::unlink(imagePath.c_str());

    for (int attempt = 1; attempt <= attempts; ++attempt) {
        if (window && grabFromScreen(window, imagePath)) {
            say(imagePath);
            co_return;
        }
        co_await Pause(retryPause);
    }

    // The window's own drawing: what the widgets paint, without anything the window system adds.
    if (window && save(window->grab(), imagePath))
        say(imagePath + " (fallback: no Screen Recording permission, sidebars and glass are blank)");
}

} // namespace dovrane::Snapshot
