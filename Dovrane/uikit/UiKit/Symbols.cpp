#include "UiKit/Symbols.h"

#include "UiKit/SemanticColors.h"

#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QStandardPaths>

#include <algorithm>

namespace dovrane {

namespace Symbols {

namespace {

// Symbol name to freedesktop icon name; an empty name means our own SVG, ":/symbols/NAME.svg".
const QHash<QString, QString>& table() {
    static const QHash<QString, QString> names = {
        {"app.dashed", ""},
        {"arrow.clockwise", "view-refresh-symbolic"},
        {"arrow.clockwise.circle", "view-refresh-symbolic"},
        {"arrow.down.circle", ""},
        {"arrow.down.circle.fill", ""},
        {"arrow.uturn.backward", "edit-undo-symbolic"},
        {"arrow.uturn.backward.circle", "edit-undo-symbolic"},
        {"arrow.uturn.backward.circle.fill", "edit-undo-symbolic"},
        {"bell", "preferences-system-notifications-symbolic"},
        {"chart.line.uptrend.xyaxis", ""},
        {"checkmark.circle", ""},
        {"checkmark.circle.fill", "emblem-default-symbolic"},
        {"circle", ""},
        {"doc.on.clipboard", "edit-copy-symbolic"},
        {"exclamationmark.circle", "emblem-important-symbolic"},
        {"eye", "view-reveal-symbolic"},
        {"folder", "folder-symbolic"},
        {"gauge.with.dots.needle.50percent", "power-profile-balanced-symbolic"},
        {"gearshape", "preferences-system-symbolic"},
        {"hammer", ""},
        {"info.circle", "help-about-symbolic"},
        {"internaldrive", "drive-harddisk-symbolic"},
        {"lock", "changes-prevent-symbolic"},
        {"lock.open", "changes-allow-symbolic"},
        {"lock.shield", "security-high-symbolic"},
        {"magnifyingglass", "edit-find-symbolic"},
        {"minus.circle", "list-remove-symbolic"},
        {"paintpalette", "applications-graphics-symbolic"},
        {"plus", "list-add-symbolic"},
        {"power", "system-shutdown-symbolic"},
        {"sparkles", ""},
        {"square.grid.2x2", "view-grid-symbolic"},
        {"star", ""},
        {"stop.fill", "media-playback-stop-symbolic"},
        {"trash", "user-trash-symbolic"},
        {"tray", ""},
        {"xmark", "window-close-symbolic"},
    };
    return names;
}

QString resourcePath(const QString& symbol) { return QStringLiteral(":/symbols/%1.svg").arg(symbol); }

// Colours the symbol when asked for a pixmap, not when made: the look may change between.
class ButtonSymbolEngine final : public QIconEngine {
public:
    explicit ButtonSymbolEngine(QString symbol) : symbol_(std::move(symbol)) {}

    QIconEngine* clone() const override { return new ButtonSymbolEngine(symbol_); }
    QString key() const override { return QStringLiteral("dovrane.buttonSymbol"); }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        return Symbols::pixmap(symbol_, std::min(size.width(), size.height()), ink(mode));
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const int side = std::min(rect.width(), rect.height());
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(QPointF(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0),
                            Symbols::pixmap(symbol_, side, ink(mode), ratio));
    }

private:
    static QColor ink(QIcon::Mode mode) {
        const QPalette palette = SemanticColors::palette(Appearance::shared().look());
        switch (mode) {
        case QIcon::Disabled:
            return palette.color(QPalette::Disabled, QPalette::ButtonText);
        case QIcon::Selected:
            return palette.color(QPalette::Active, QPalette::HighlightedText);
        default:
            return palette.color(QPalette::Active, QPalette::ButtonText);
        }
    }

    QString symbol_;
};

} // namespace

void install() {
    // Platforms without a desktop (offscreen) know no icon folders; add the freedesktop ones.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& folder : QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                           QStandardPaths::LocateDirectory))
        if (!paths.contains(folder))
            paths << folder;
    QIcon::setThemeSearchPaths(paths);
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

QStringList allNames() {
    QStringList names = table().keys();
    names.sort();
    return names;
}

bool isKnown(const QString& symbol) { return table().contains(symbol); }

QString themeIconName(const QString& symbol) { return table().value(symbol); }

QIcon icon(const QString& symbol) {
    auto found = table().constFind(symbol);
    if (found == table().constEnd())
        return {};
    if (found->isEmpty())
        return QIcon(resourcePath(symbol));
    return QIcon::fromTheme(*found);
}

QIcon buttonIcon(const QString& symbol) {
    if (!isKnown(symbol))
        return {};
    return QIcon(new ButtonSymbolEngine(symbol));
}

QPixmap pixmap(const QString& symbol, int pixels, const QColor& color, qreal devicePixelRatio) {
    const QIcon source = icon(symbol);
    if (source.isNull() || pixels <= 0)
        return {};
    const int device = qMax(1, qRound(pixels * devicePixelRatio));
    QPixmap shape = source.pixmap(QSize(device, device));
    QPixmap result(device, device);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    // Icons drawn smaller than asked sit in the middle of the square.
    painter.drawPixmap((device - shape.width()) / 2, (device - shape.height()) / 2, shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), color);
    painter.end();
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

} // namespace Symbols

SymbolView::SymbolView(QString symbol, int pixels, ColorSource color, QWidget* parent)
    : QWidget(parent), symbol_(std::move(symbol)), pixels_(pixels), color_(std::move(color)) {
    setMinimumSize(pixels_, pixels_);
}

void SymbolView::setSymbol(const QString& symbol) {
    if (symbol == symbol_)
        return;
    symbol_ = symbol;
    update();
}

void SymbolView::paintEvent(QPaintEvent*) {
    const QPixmap image = Symbols::pixmap(symbol_, pixels_, color_(), devicePixelRatioF());
    if (image.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(QPointF((width() - pixels_) / 2.0, (height() - pixels_) / 2.0), image);
}

} // namespace dovrane
