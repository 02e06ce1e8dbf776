#pragma once
// The icon of an installed app, square at a size every caller chooses. A bundle that is gone
// shows the "app.dashed" symbol at 0.8 of the size; a bundle without a usable icon shows our
// generic app icon. Whether the bundle exists is asked at every paint; decoded icons are kept
// per bundle path and modification time, so painting never decodes twice.

#include <DovraneKit/AppRecords.h>

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
