#include "UiTestMain.h"

#include "Grid/GridOverlay.h"
#include "Grid/GridProbes.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace dovrane;

namespace {

std::optional<GridProbes::Probe> recorded(GridProbes::Kind kind, const QString& name) {
    const auto& probes = GridProbes::shared().probes();
    auto found = probes.constFind(GridProbes::key(kind, name));
    return found == probes.constEnd() ? std::nullopt : std::optional(*found);
}

QByteArray contents(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A window with a child at (x, y), shown so that it is laid out and measured.
struct Window {
    QWidget top;
    QWidget* child;
    Window(int x, int y) : child(new QWidget(&top)) {
        top.resize(400, 300);
        child->setGeometry(x, y, 50, 20);
        top.show();
    }
};

} // namespace

class GridTests : public QObject {
    Q_OBJECT
private slots:
    void recordsFramesInWindowCoordinatesAndFollowsMoves() {
        QVERIFY(GridProbes::enabled());
        Window window(10, 20);
        auto* inner = new QWidget(window.child);
        inner->setGeometry(5, 6, 30, 8);
        inner->show();
        gridArea(window.child, "overview", 20);
        gridProbe(inner, "header", "overview", QString("lead"));
        QCOMPARE(recorded(GridProbes::Kind::area, "overview")->inset, 20.0);
        const auto probe = recorded(GridProbes::Kind::probe, "header");
        QCOMPARE(probe->x, 15.0);
        QCOMPARE(probe->y, 26.0);
        QCOMPARE(probe->edge, std::optional<QString>("lead"));
        // Moving an ancestor moves the probe's frame too.
        window.child->move(40, 50);
        QCOMPARE(recorded(GridProbes::Kind::probe, "header")->x, 45.0);
        QCOMPARE(recorded(GridProbes::Kind::probe, "header")->y, 56.0);
        inner->resize(31, 9);
        QCOMPARE(recorded(GridProbes::Kind::probe, "header")->width, 31.0);
    }

    void theLastReporterOwnsARecord() {
        Window first(0, 0);
        Window second(0, 100);
        gridProbe(first.child, "owned", "apps");
        gridProbe(second.child, "owned", "apps");
        QCOMPARE(recorded(GridProbes::Kind::probe, "owned")->y, 100.0);
        // The earlier view goes away: the newer record stays.
        delete first.child;
        QCOMPARE(recorded(GridProbes::Kind::probe, "owned")->y, 100.0);
        // Hiding the owner withdraws it; showing it again records it again.
        second.child->hide();
        QVERIFY(!recorded(GridProbes::Kind::probe, "owned"));
        second.child->show();
        QVERIFY(recorded(GridProbes::Kind::probe, "owned"));
        delete second.child;
        QVERIFY(!recorded(GridProbes::Kind::probe, "owned"));
        // An area and a probe of one name are two records.
        Window third(0, 0);
        gridArea(third.child, "same", 8);
        gridProbe(third.child, "same", "same");
        QVERIFY(recorded(GridProbes::Kind::area, "same") && recorded(GridProbes::Kind::probe, "same"));
    }

    void aProbeInsideAScrolledAreaStaysCurrent() {
        QWidget top;
        auto* layout = new QVBoxLayout(&top);
        auto* scroll = new QScrollArea;
        auto* content = new QWidget;
        content->setFixedSize(300, 2000);
        auto* marked = new QWidget(content);
        marked->setGeometry(0, 500, 100, 20);
        scroll->setWidget(content);
        layout->addWidget(scroll);
        top.resize(320, 200);
        top.show();
        gridProbe(marked, "deep", "storage");
        const double before = recorded(GridProbes::Kind::probe, "deep")->y;
        scroll->verticalScrollBar()->setValue(300);
        QCOMPARE(recorded(GridProbes::Kind::probe, "deep")->y, before - 300);
    }

    void theLayoutFileHasSortedKeysAndOrderedProbes() {
        GridProbes store;
        const QUuid owner = QUuid::createUuid();
        store.update({GridProbes::Kind::probe, "b", "overview", std::nullopt, 0, 30, 10, 5, 5}, owner);
        store.update({GridProbes::Kind::probe, "a", "overview", QString("lead"), 0, 20, 10, 5, 5}, owner);
        store.update({GridProbes::Kind::area, "apps", "apps", std::nullopt, 20, 0, 50, 100, 100}, owner);
        dovrane::testing::TempDir folder;
        const std::string path = folder / "shot-layout.json";
        store.write(path, 1100, 720);
        const QByteArray bytes = contents(path);
        const QJsonObject root = QJsonDocument::fromJson(bytes).object();
        QCOMPARE(root.keys(), (QStringList{"probes", "window"}));
        QCOMPARE(root["window"].toObject()["width"].toDouble(), 1100.0);
        QCOMPARE(root["window"].toObject()["height"].toDouble(), 720.0);
        const QJsonArray probes = root["probes"].toArray();
        QStringList order;
        for (const auto& value : probes)
            order << value.toObject()["name"].toString();
        QCOMPARE(order, (QStringList{"apps", "a", "b"}));
        const QJsonObject area = probes[0].toObject();
        QCOMPARE(area.keys(), (QStringList{"area", "height", "inset", "kind", "name", "width", "x", "y"}));
        QCOMPARE(area["kind"].toString(), QStringLiteral("area"));
        QCOMPARE(area["inset"].toDouble(), 20.0);
        QCOMPARE(probes[1].toObject()["edge"].toString(), QStringLiteral("lead"));
        // Indented, one member per line, keys in sorted order in the text itself.
        QVERIFY(bytes.indexOf("\"probes\"") < bytes.indexOf("\"window\""));
        QVERIFY(bytes.count('\n') > 20);

        // No probes, and a folder that does not exist.
        GridProbes empty;
        empty.write(path, 10, 20);
        const QJsonObject emptyRoot = QJsonDocument::fromJson(contents(path)).object();
        QVERIFY(emptyRoot["probes"].isArray() && emptyRoot["probes"].toArray().isEmpty());
        QCOMPARE(emptyRoot["window"].toObject()["height"].toDouble(), 20.0);
        empty.write(folder / "missing/shot-layout.json", 10, 20);
        QVERIFY(!QFile::exists(QString::fromStdString(folder / "missing/shot-layout.json")));
    }

    void overlayLinesIncludeTheEdgeOnlyOnTheGrid() {
        QVERIFY(GridOverlay::enabled());
        const auto hundred = GridOverlay::lines(100);
        QCOMPARE(int(hundred.size()), 13);
        QCOMPARE(hundred.back(), 96.0);
        const auto hundredFour = GridOverlay::lines(104);
        QCOMPARE(hundredFour.back(), 104.0);
        QCOMPARE(GridOverlay::lines(0), std::vector<double>{0.0});

        QWidget host;
        host.resize(104, 64);
        auto* overlay = new GridOverlay(&host);
        host.show();
        QCOMPARE(overlay->geometry(), host.rect());
        QVERIFY(overlay->testAttribute(Qt::WA_TransparentForMouseEvents));
        host.resize(200, 80);
        QCOMPARE(overlay->size(), QSize(200, 80));
        QVERIFY(!overlay->grab().isNull());
    }
};

// Recording is decided once per process, so the switch is set before anything reads it.
DOVRANE_UI_TEST_MAIN(GridTests, [] { setenv("APP_GRID", "1", 1); })
#include "GridTests.moc"
