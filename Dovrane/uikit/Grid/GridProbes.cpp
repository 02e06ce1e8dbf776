#include "Grid/GridProbes.h"

#include "Grid/GridOverlay.h"

#include <QEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace dovrane {

GridProbes& GridProbes::shared() {
    static GridProbes* store = new GridProbes;
    return *store;
}

bool GridProbes::enabled() {
    static const bool on = std::getenv("APP_SNAPSHOT") != nullptr || GridOverlay::enabled();
    return on;
}

QString GridProbes::rawValue(Kind kind) {
    return kind == Kind::area ? QStringLiteral("area") : QStringLiteral("probe");
}

QString GridProbes::key(Kind kind, const QString& name) { return rawValue(kind) + QLatin1Char(':') + name; }

void GridProbes::update(const Probe& probe, const QUuid& owner) {
    const QString k = key(probe.kind, probe.name);
    probes_.insert(k, probe);
    owners_.insert(k, owner);
    emit changed();
}

void GridProbes::remove(Kind kind, const QString& name, const QUuid& owner) {
    const QString k = key(kind, name);
    auto found = owners_.constFind(k);
    if (found == owners_.constEnd() || *found != owner)
        return;
    owners_.remove(k);
    probes_.remove(k);
    emit changed();
}

void GridProbes::write(const std::string& path, double windowWidth, double windowHeight) const {
    std::vector<Probe> sorted(probes_.begin(), probes_.end());
    std::sort(sorted.begin(), sorted.end(), [](const Probe& a, const Probe& b) {
        if (a.area != b.area)
            return a.area < b.area;
        if (a.y != b.y)
            return a.y < b.y;
        if (a.x != b.x)
            return a.x < b.x;
        if (a.kind != b.kind)
            return a.kind < b.kind;
        return a.name < b.name;
    });
    QJsonArray probes;
    for (const Probe& probe : sorted) {
        QJsonObject object{
            {"area", probe.area}, {"height", probe.height}, {"inset", probe.inset}, {"kind", rawValue(probe.kind)},
            {"name", probe.name}, {"width", probe.width},   {"x", probe.x},         {"y", probe.y}};
        if (probe.edge)
            object.insert("edge", *probe.edge);
        probes.append(object);
    }
    // QJsonObject keeps its keys sorted, which is the order the file wants at every level.
    const QJsonObject file{{"probes", probes},
                           {"window", QJsonObject{{"height", windowHeight}, {"width", windowWidth}}}};
    const QByteArray bytes = QJsonDocument(file).toJson(QJsonDocument::Indented);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(bytes.constData(), bytes.size());
}

namespace {

// Watches one marked widget and its ancestors, and keeps the widget's record current.
class GridMark final : public QObject {
public:
    GridMark(QWidget* widget, GridProbes::Probe probe)
        : QObject(widget), widget_(widget), probe_(std::move(probe)), owner_(QUuid::createUuid()) {
        watchAncestors();
        measure();
    }
    ~GridMark() override { GridProbes::shared().remove(probe_.kind, probe_.name, owner_); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            measure();
            break;
        case QEvent::Show:
            if (watched == widget_)
                measure();
            break;
        case QEvent::Hide:
            if (watched == widget_)
                GridProbes::shared().remove(probe_.kind, probe_.name, owner_);
            break;
        case QEvent::ParentChange:
            watchAncestors();
            measure();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void watchAncestors() {
        for (QObject* watched : watched_)
            if (watched)
                watched->removeEventFilter(this);
        watched_.clear();
        for (QWidget* w = widget_; w; w = w->parentWidget()) {
            w->installEventFilter(this);
            watched_.push_back(w);
            if (w->isWindow())
                break;
        }
    }

    void measure() {
        if (!widget_ || !widget_->isVisible())
            return;
        QWidget* window = widget_->window();
        const QPoint origin = widget_->mapTo(window, QPoint(0, 0));
        GridProbes::Probe probe = probe_;
        probe.x = origin.x();
        probe.y = origin.y();
        probe.width = widget_->width();
        probe.height = widget_->height();
        const QString k = GridProbes::key(probe.kind, probe.name);
        // A frame that did not change is not recorded again.
        if (recorded_ && *recorded_ == probe && GridProbes::shared().probes().value(k) == probe)
            return;
        recorded_ = probe;
        GridProbes::shared().update(probe, owner_);
    }

    QPointer<QWidget> widget_;
    GridProbes::Probe probe_;
    QUuid owner_;
    std::optional<GridProbes::Probe> recorded_;
    std::vector<QPointer<QWidget>> watched_;
};

void mark(QWidget* widget, GridProbes::Probe probe) {
    if (!widget || !GridProbes::enabled())
        return;
    new GridMark(widget, std::move(probe));
}

} // namespace

void gridArea(QWidget* widget, const QString& name, double inset) {
    mark(widget, {GridProbes::Kind::area, name, name, std::nullopt, inset});
}

void gridProbe(QWidget* widget, const QString& name, const QString& area, std::optional<QString> edge) {
    mark(widget, {GridProbes::Kind::probe, name, area, std::move(edge), 0});
}

} // namespace dovrane
