#pragma once
// The icon of an installed app, square at a size every caller chooses. A bundle that is gone
// shows the "app.dashed" symbol at 0.8 of the size; a bundle without a usable icon shows our
// generic app icon. Whether the bundle exists is asked at every paint; decoded icons are kept
// per bundle path and modification time, so painting never decodes twice.

#include <DovraneKit/apps/AppRecords.h>

#include <QImage>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <optional>
#include <string>

class QPainter;

namespace dovrane {

namespace AppIcons {

// Icon files larger than this are not icons and are not read.
inline constexpr std::uint64_t maximumIconFile = 4ull << 20;
// No icon is drawn larger than this a side (an ICNS file's largest is 1024); a picture that
// declares more is not decoded, a scalable one is drawn at most this large. With the file's
// size and the count of images read from one file, this bounds the memory and the time that
// the bytes of any downloaded app can take.
inline constexpr int maximumIconSide = 2048;
inline constexpr int maximumIconImages = 64;
// Reading stops once the images read hold this many pixels: a real icon file's sizes together
// stay far below it, and a crafted one cannot make the paint that decodes it take seconds.
inline constexpr qint64 maximumIconPixels = 4 * qint64(maximumIconSide) * maximumIconSide;

// The icon in bytes (ICNS through Qt's image plugin, PNG, SVG): its largest image within the
// bounds above; null when none decodes.
QImage decodeIcon(const std::string& bytes);

// The icon file the bundle names under CFBundleIconFile in Contents/Resources (".icns" added
// when the name has no extension); none when it names none, names a path rather than a plain
// file name, or the file is missing.
std::optional<std::string> iconFile(const std::string& bundlePath);
// The decoded icon of the bundle (ICNS through Qt's image plugin, or PNG): its largest image;
// our generic app icon when there is no usable one.
QImage image(const std::string& bundlePath);
QImage genericImage();
// Paints the icon of the bundle at bundlePath into the square frame: its icon when something
// exists at the path, else "app.dashed" at 0.8 of the frame in the secondary colour, centred.
void draw(QPainter& painter, const QRectF& frame, const std::string& bundlePath);

} // namespace AppIcons

class AppIcon : public QWidget {
    Q_OBJECT
public:
    AppIcon(const InstalledApp& app, qreal size, QWidget* parent = nullptr);

    // True when something exists at the app's path, so its icon rather than "app.dashed" shows.
    bool bundleExists() const;
    QSize sizeHint() const override { return {size_, size_}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string path_;
    int size_;
};

} // namespace dovrane
