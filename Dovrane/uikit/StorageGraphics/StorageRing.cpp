#include "StorageGraphics/StorageRing.h"

#include "UiKit/AccessibleRole.h"
#include "UiKit/Fonts.h"
#include "UiKit/SemanticColors.h"

#include <DovraneKit/scan/Explanations.h>

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QtMath>

#include <numeric>
#include <utility>

namespace dovrane {

QColor StorageRing::Row::color(Look look) const {
    if (!group)
        return SemanticColors::readable(SemanticColors::of(SemanticColor::secondaryLabel, look), look,
                                        SemanticColors::graphicContrast);
    const bool dark = look == Look::dark || look == Look::highContrastDark;
    return SemanticColors::mixed(StorageGroups::shown(*group, look), dark ? QColor(Qt::white) : QColor(Qt::black),
                                 shadeStep * shade);
}

StorageRing::StorageRing(const ScanResult& scan, std::optional<std::vector<CategoryID>> categories, QWidget* parent)
    : QWidget(parent), scan_(StorageGroups::figures(scan)), categories_(std::move(categories)) {
    AccessibleRole::set(this, QAccessible::Chart);
    describe();
}

void StorageRing::setScan(const ScanResult& scan) {
    scan_ = StorageGroups::figures(scan);
    describe();
    update();
}

void StorageRing::setLinuxHome(bool linuxHome) {
    if (std::exchange(linuxHome_, linuxHome) == linuxHome)
        return;
    describe();
    update();
}

std::vector<StorageRing::Row> StorageRing::rowsToShow(const ScanResult& scan,
                                                      const std::optional<std::vector<CategoryID>>& categories,
                                                      bool linuxHome) {
    std::vector<Row> rows;
    if (!categories) {
        for (StorageGroup group : StorageGroups::all)
            if (const std::int64_t size = StorageGroups::size(group, scan); size > 0)
                rows.push_back({StorageGroups::title(group, scan, linuxHome), size, group, 1});
        return rows;
    }
    for (CategoryID id : *categories) {
        const Category* category = scan.category(id);
        if (!category || category->size <= 0)
            continue;
        Row row{QString::fromStdString(Explanations::title(id)), category->size, StorageGroups::of(id), 1};
        if (row.group) {
            // Counted among all listed categories of the group, sized or not.
            int position = 0;
            for (CategoryID listed : *categories) {
                if (listed == id)
                    break;
                if (StorageGroups::of(listed) == row.group)
                    ++position;
            }
            row.shade = position;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

QString StorageRing::totalText() const {
    const auto rows = rowsToShow();
    const std::int64_t total = std::accumulate(rows.begin(), rows.end(), std::int64_t(0),
                                               [](std::int64_t sum, const Row& row) { return sum + row.size; });
    return byteText(total);
}

QString StorageRing::captionText() const { return categories_ ? tr("in total") : tr("used"); }

void StorageRing::describe() {
    setAccessibleName(tr("%1, %2").arg(totalText(), captionText()));
    QStringList lines{tr("Size")};
    for (const Row& row : rowsToShow())
        lines << tr("%1, %2").arg(row.title, byteText(row.size));
    setAccessibleDescription(lines.join(QLatin1Char('\n')));
}

namespace {

// An annular sector between two angles (degrees, counter-clockwise from three o'clock).
QPainterPath sector(const QPointF& centre, qreal outer, qreal inner, qreal start, qreal span) {
    QPainterPath path;
    const QRectF outerBox(centre.x() - outer, centre.y() - outer, 2 * outer, 2 * outer);
    const QRectF innerBox(centre.x() - inner, centre.y() - inner, 2 * inner, 2 * inner);
    path.arcMoveTo(outerBox, start);
    path.arcTo(outerBox, start, span);
    path.arcTo(innerBox, start + span, -span);
    path.closeSubpath();
    return path;
}

} // namespace

void StorageRing::paintEvent(QPaintEvent*) {
    const Look look = Appearance::shared().look();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const qreal outer = qMin(width(), height()) / 2.0;
    const qreal inner = outer * innerRatio;
    const auto rows = rowsToShow();
    const double total = std::accumulate(rows.begin(), rows.end(), 0.0,
                                         [](double sum, const Row& row) { return sum + double(row.size); });

    if (total > 0 && outer > 0) {
        const qreal middle = (outer + inner) / 2;
        // The gap and the corner radius are lengths; turn them into angles at the ring's middle.
        const qreal gapDegrees = rows.size() > 1 ? qRadiansToDegrees(sectorGap / middle) : 0;
        const qreal round = qMin(cornerRadius, (outer - inner) / 2 - 0.5);
        const qreal roundDegrees = qRadiansToDegrees(round / middle);
        qreal start = 90; // the first sector starts at twelve o'clock and runs clockwise
        for (const Row& row : rows) {
            const qreal span = 360.0 * double(row.size) / total;
            const qreal drawn = span - gapDegrees;
            const QColor color = row.color(look);
            painter.setBrush(color);
            if (rows.size() == 1) {
                painter.setPen(Qt::NoPen);
                QPainterPath ring;
                ring.addEllipse(centre, outer, outer);
                ring.addEllipse(centre, inner, inner);
                painter.drawPath(ring);
            } else if (drawn > 2 * roundDegrees && round > 0) {
                // Rounded corners: the sector shrunk by the radius and grown back by a round
                // outline, as one shape filled once, so a see-through colour has no darker edge.
                const QPainterPath core = sector(centre, outer - round, inner + round,
                                                 start - gapDegrees / 2 - roundDegrees, -(drawn - 2 * roundDegrees));
                QPainterPathStroker outline;
                outline.setWidth(2 * round);
                outline.setCapStyle(Qt::RoundCap);
                outline.setJoinStyle(Qt::RoundJoin);
                painter.setPen(Qt::NoPen);
                painter.drawPath(core.united(outline.createStroke(core)));
            } else if (drawn > 0) {
                painter.setPen(Qt::NoPen);
                painter.drawPath(sector(centre, outer, inner, start - gapDegrees / 2, -drawn));
            }
            start -= span;
        }
    }

    // The total over the middle, its caption right under it.
    painter.setPen(Qt::NoPen);
    const QFont totalFont = Fonts::monospacedDigits(Fonts::system(15, QFont::DemiBold));
    const QFont captionFont = Fonts::font(FontRole::caption);
    const QFontMetricsF totalMetrics(totalFont);
    const QFontMetricsF captionMetrics(captionFont);
    const qreal block = totalMetrics.height() + captionMetrics.height();
    const qreal top = centre.y() - block / 2;
    painter.setFont(totalFont);
    painter.setPen(SemanticColors::of(SemanticColor::label, look));
    painter.drawText(QRectF(0, top, width(), totalMetrics.height()), Qt::AlignCenter, totalText());
    painter.setFont(captionFont);
    painter.setPen(SemanticColors::of(SemanticColor::secondaryLabel, look));
    painter.drawText(QRectF(0, top + totalMetrics.height(), width(), captionMetrics.height()), Qt::AlignCenter,
                     captionText());
}

} // namespace dovrane
