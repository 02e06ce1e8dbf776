#pragma once
// Layout marks for checking windows against an 8-point grid. Widgets mark themselves as named
// areas or probes; while recording is on (APP_SNAPSHOT present, or APP_GRID "1"), each mark's
// frame in its window is kept in one store, which the grid overlay draws and the screenshot
// run writes beside each image. With recording off a mark costs nothing.

#include <QHash>
#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace dovrane {

class GridProbes final : public QObject {
    Q_OBJECT
public:
    enum class Kind { area, probe };

    struct Probe {
        Kind kind = Kind::probe;
        QString name;
        QString area;                // an area's own name; a probe's area
        std::optional<QString> edge; // a probe's edge to line up with; never an area's
        double inset = 0;            // an area's content margin; 0 for a probe
        double x = 0, y = 0, width = 0, height = 0;
        bool operator==(const Probe&) const = default;
    };

    static GridProbes& shared();
    // Read once per process, on first use.
    static bool enabled();

    static QString rawValue(Kind kind);
    // "area:NAME" or "probe:NAME".
    static QString key(Kind kind, const QString& name);

    const QHash<QString, Probe>& probes() const { return probes_; }
    // Records the probe under its key as owned by owner; notifies every time.
    void update(const Probe& probe, const QUuid& owner);
    // Removes the record only when owner recorded it last.
    void remove(Kind kind, const QString& name, const QUuid& owner);
    // Writes {"probes": [...], "window": {"height", "width"}} as indented JSON with sorted keys,
    // probes by area, then y, then x (then kind and name, so the file is reproducible). Any
    // failure is silent: nothing is written.
    void write(const std::string& path, double windowWidth, double windowHeight) const;

signals:
    void changed();

private:
    QHash<QString, Probe> probes_;
    QHash<QString, QUuid> owners_;
};

// Marks a widget as a layout area with a content margin, or as a probe of an area. Both do
// nothing unless GridProbes::enabled(); then the frame is recorded whenever the widget or an
// ancestor moves or resizes, and withdrawn when the widget is hidden or deleted.
void gridArea(QWidget* widget, const QString& name, double inset);
void gridProbe(QWidget* widget, const QString& name, const QString& area, std::optional<QString> edge = std::nullopt);

} // namespace dovrane
