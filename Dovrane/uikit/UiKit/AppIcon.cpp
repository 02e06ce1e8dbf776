#include "UiKit/AppIcon.h"

#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <DovraneKit/apps/AppImages.h>
#include <DovraneKit/apps/BundleInfo.h>
#include <DovraneKit/formats/Plist.h>
#include <DovraneKit/system/FileSystem.h>

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QPainter>

#include <cstdint>
#include <string_view>

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

std::uint32_t bigEndian32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t index = 0; index < 4; ++index)
        value = value << 8 | std::uint8_t(bytes[at + index]);
    return value;
}

bool isTooLarge(std::uint64_t width, std::uint64_t height) {
    return width > std::uint64_t(maximumIconSide) || height > std::uint64_t(maximumIconSide);
}

// A PNG that declares sides beyond the bound in its header.
bool isLargePng(std::string_view bytes) {
    static constexpr std::string_view signature("\x89PNG\r\n\x1a\n", 8);
    // The signature, then the IHDR chunk: length, type, width, height.
    return bytes.size() >= 24 && bytes.substr(0, 8) == signature &&
           isTooLarge(bigEndian32(bytes, 16), bigEndian32(bytes, 20));
}

// What Qt's ICNS plugin may be given. It reads each entry whole, at the length the entry (or
// the table of contents) claims, before it looks at the bytes: a 28-byte file claiming a
// gigabyte would have it allocate that much. So every length must fit in the file. It also
// decodes PNG entries with a reader of its own, which the limits set here do not reach: no PNG
// entry may declare more than the bound.
bool isReadableIcns(std::string_view bytes) {
    for (std::size_t at = 8; at + 8 <= bytes.size();) {
        const std::uint32_t length = bigEndian32(bytes, at + 4);
        if (length < 8 || length > bytes.size() - at)
            return false;
        const std::string_view data = bytes.substr(at + 8, length - 8);
        if (isLargePng(data))
            return false;
        // The table of contents lists the entries that follow it, each with its length.
        if (bytes.substr(at, 4) == "TOC ") {
            std::uint64_t listed = 0;
            for (std::size_t entry = 0; entry + 8 <= data.size(); entry += 8) {
                const std::uint32_t claimed = bigEndian32(data, entry + 4);
                listed += claimed;
                if (claimed < 8 || listed > bytes.size() - at - length)
                    return false;
            }
        }
        at += length;
    }
    return true;
}

bool isRefused(std::string_view bytes) {
    if (bytes.size() >= 4 && bytes.substr(0, 4) == "icns")
        return !isReadableIcns(bytes);
    return isLargePng(bytes);
}

} // namespace

QImage decodeIcon(const std::string& bytes) {
    if (bytes.size() > maximumIconFile || isRefused(bytes))
        return {};
    QByteArray data = QByteArray::fromStdString(bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // In megabytes: one image of the largest size in 32-bit colour.
    reader.setAllocationLimit(int((std::uint64_t(maximumIconSide) * maximumIconSide * 4) >> 20));
    // An ICNS file holds one image per size; keep the largest.
    QImage best;
    qint64 pixels = 0;
    for (int index = 0; index < maximumIconImages && pixels < maximumIconPixels; ++index) {
        const QSize declared = reader.size();
        if (declared.isValid() && isTooLarge(std::uint64_t(declared.width()), std::uint64_t(declared.height()))) {
            // Only a drawing is drawn smaller at no cost; any other picture would be decoded whole.
            if (reader.format() == "svg")
                reader.setScaledSize(declared.scaled(maximumIconSide, maximumIconSide, Qt::KeepAspectRatio));
            else if (reader.jumpToNextImage())
                continue;
            else
                break;
        }
        QImage image = reader.read();
        pixels += qint64(image.width()) * image.height();
        if (!image.isNull() && !isTooLarge(std::uint64_t(image.width()), std::uint64_t(image.height())) &&
            qint64(image.width()) * image.height() > qint64(best.width()) * best.height())
            best = std::move(image);
        if (!reader.jumpToNextImage())
            break;
    }
    return best;
}

namespace {

QImage decode(const std::string& file) {
    const std::optional<std::string> bytes = Fs::readFile(file, maximumIconFile);
    return bytes ? decodeIcon(*bytes) : QImage();
}

// A Flatpak app's icon as its installation exports it, the largest size first; the app's ID is
// the folder after "flatpak/app/" in its deployed path.
std::optional<std::string> flatpakIconFile(const std::string& deployed) {
    const auto at = deployed.find("/flatpak/app/");
    if (at == std::string::npos)
        return std::nullopt;
    const std::string rest = deployed.substr(at + 13);
    const std::string id = rest.substr(0, rest.find('/'));
    // Apps export what sizes they have, often only one or two small ones.
    for (const char* size : {"1024x1024", "512x512", "256x256", "192x192", "128x128", "scalable", "96x96", "64x64",
                             "48x48", "32x32", "24x24", "22x22", "16x16"})
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
                cache().insert(key, Cached{stamp, std::nullopt, std::nullopt, bytes ? decodeIcon(*bytes) : QImage()});
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
