#include "UiKit/AppIcon.h"

#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <DovraneKit/AppImages.h>
#include <DovraneKit/BundleInfo.h>
#include <DovraneKit/FileSystem.h>
#include <DovraneKit/Plist.h>

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QPainter>

namespace dovrane {

namespace AppIcons {

namespace {

struct Cached {
    std::optional<Date> infoStamp;
    std::optional<std::string> file;
    std::optional<Date> fileStamp;
    QImage image;
};

QHash<QString, Cached>& cache() {
    static QHash<QString, Cached> entries;
    return entries;
}

std::string infoPath(const std::string& bundlePath) { return Path::join(bundlePath, "Contents/Info.plist"); }

QImage decodeBytes(const std::string& bytes) {
    QByteArray data = QByteArray::fromStdString(bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // An ICNS file holds one image per size; keep the largest.
    QImage best;
    for (int index = 0; index < 64; ++index) {
        QImage image = reader.read();
        if (!image.isNull() && image.width() * image.height() > best.width() * best.height())
            best = std::move(image);
        if (!reader.jumpToNextImage())
            break;
    }
    return best;
}

QImage decode(const std::string& file) {
    const std::optional<std::string> bytes = Fs::readFile(file, maximumIconFile);
    return bytes ? decodeBytes(*bytes) : QImage();
}

// A Flatpak app's icon as its installation exports it, the largest size first; the app's ID is
// the folder after "flatpak/app/" in its deployed path.
std::optional<std::string> flatpakIconFile(const std::string& deployed) {
    const auto at = deployed.find("/flatpak/app/");
    if (at == std::string::npos)
        return std::nullopt;
    const std::string rest = deployed.substr(at + 13);
    const std::string id = rest.substr(0, rest.find('/'));
    for (const char* size : {"512x512", "256x256", "128x128", "scalable", "64x64"})
        for (const char* extension : {".png", ".svg"}) {
            std::string file =
                Path::join(deployed, std::string("export/share/icons/hicolor/") + size + "/apps/" + id + extension);
            if (Fs::isRegularFile(file))
                return file;
        }
    return std::nullopt;
}

} // namespace

std::optional<std::string> iconFile(const std::string& bundlePath) {
    const auto info = BundleInfo::read(Url::fromPath(bundlePath));
    if (!info)
        return std::nullopt;
    std::optional<std::string> name = Plist::string(*info, "CFBundleIconFile");
    // A plain file name inside Resources: no way out of the bundle, no way into a folder.
    if (!name || name->empty() || name->find('/') != std::string::npos || *name == "." || *name == "..")
        return std::nullopt;
    if (Path::extension(*name).empty())
        *name += ".icns";
    std::string file = Path::join(bundlePath, "Contents/Resources/" + *name);
    if (!Fs::isRegularFile(file))
        return std::nullopt;
    return file;
}

QImage genericImage() {
    static const QImage generic = QImage(QStringLiteral(":/symbols/app-generic.svg"));
    return generic;
}

QImage image(const std::string& bundlePath) {
    const QString key = QString::fromStdString(bundlePath);
    // An AppImage carries its icon inside; the file's own date tells when it changed.
    if (AppImages::hasAppImageName(bundlePath)) {
        const std::optional<Date> stamp = Fs::modificationDate(bundlePath);
        auto found = cache().find(key);
        if (found == cache().end() || found->infoStamp != stamp) {
            const std::optional<std::string> bytes = AppImages::icon(bundlePath);
            found =
                cache().insert(key, Cached{stamp, std::nullopt, std::nullopt, bytes ? decodeBytes(*bytes) : QImage()});
        }
        return found->image.isNull() ? genericImage() : found->image;
    }
    const bool flatpak = bundlePath.find("/flatpak/app/") != std::string::npos;
    const std::optional<Date> infoStamp = Fs::modificationDate(flatpak ? bundlePath : infoPath(bundlePath));
    auto found = cache().find(key);
    if (found != cache().end() && found->infoStamp == infoStamp &&
        (!found->file || Fs::modificationDate(*found->file) == found->fileStamp))
        return found->image.isNull() ? genericImage() : found->image;

    Cached entry{infoStamp, flatpak ? flatpakIconFile(bundlePath) : iconFile(bundlePath), std::nullopt, {}};
    if (entry.file) {
        entry.fileStamp = Fs::modificationDate(*entry.file);
        entry.image = decode(*entry.file);
    }
    cache().insert(key, entry);
    return entry.image.isNull() ? genericImage() : entry.image;
}

void draw(QPainter& painter, const QRectF& frame, const std::string& bundlePath) {
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (Fs::exists(bundlePath)) {
        painter.drawImage(frame, image(bundlePath));
    } else {
        const qreal symbol = qRound(frame.width() * 0.8);
        const QPixmap dashed = Symbols::pixmap(QStringLiteral("app.dashed"), int(symbol),
                                               SemanticColors::of(SemanticColor::secondaryLabel),
                                               painter.device() ? painter.device()->devicePixelRatioF() : 1.0);
        painter.drawPixmap(
            QPointF(frame.x() + (frame.width() - symbol) / 2.0, frame.y() + (frame.height() - symbol) / 2.0), dashed);
    }
    painter.restore();
}

} // namespace AppIcons

AppIcon::AppIcon(const InstalledApp& app, qreal size, QWidget* parent)
    : QWidget(parent), path_(app.path.path()), size_(qMax(1, qRound(size))) {
    setFixedSize(size_, size_);
    setAccessibleName(QString::fromStdString(app.name));
}

bool AppIcon::bundleExists() const { return Fs::exists(path_); }

void AppIcon::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    AppIcons::draw(painter, QRectF(0, 0, size_, size_), path_);
}

} // namespace dovrane
