// Runs the built application's screenshot run on the demo data under the offscreen platform and
// checks what it leaves: one line per image in the run's order, exactly the images and their
// layout files in the output folder, images that decode, are not one flat colour and match
// their layout file's window, layout files in the probe file's format, and views that really
// changed with the look and sheets that really opened.

#include "AppRun.h"
#include "DovraneKit/system/FileSystem.h"

#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QString>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// Far above the run's own pauses (about 31 seconds for every view), also in the sanitizer build.
constexpr auto deadline = patient(std::chrono::seconds(35));

const std::vector<std::string> looks = {"light", "dark"};

std::vector<std::string> perLook(const std::vector<std::string>& views) {
    std::vector<std::string> names;
    for (const std::string& look : looks)
        for (const std::string& view : views)
            names.push_back(view + "-" + look);
    return names;
}

const std::vector<std::string> pageViews = {"overview", "storage", "apps", "updates", "developer", "cleaned"};
const std::vector<std::string> sheetNames = {"onboarding", "cleanup", "uninstall", "palette"};
const std::vector<std::string> sheetViews = {"sheet-onboarding", "sheet-cleanup", "sheet-uninstall", "sheet-palette"};
const std::vector<std::string> settingsViews = {"settings-general", "settings-scan", "settings-appearance"};
const std::vector<std::string> menuBarImages = perLook({"menubar"});
const std::vector<std::string> settingsImages = perLook(settingsViews);

QImage loadImage(const std::string& path) {
    QImageReader reader(QString::fromStdString(path), "png");
    return reader.read();
}

bool isOneFlatColour(const QImage& image) {
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb first = pixels.pixel(0, 0);
    for (int y = 0; y < pixels.height(); ++y)
        for (int x = 0; x < pixels.width(); ++x)
            if (pixels.pixel(x, y) != first)
                return false;
    return true;
}

bool sameImage(const QImage& a, const QImage& b) {
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

QJsonObject readLayout(const std::string& path) {
    const std::optional<std::string> text = Fs::readFile(path);
    if (!text) {
        ADD_FAILURE() << "no layout file " << path;
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(*text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << path;
    EXPECT_TRUE(document.isObject()) << path;
    return document.object();
}

QSet<QString> keysOf(const QJsonObject& object) {
    const QStringList keys = object.keys();
    return QSet<QString>(keys.begin(), keys.end());
}

// The probe file's format: {"probes": [...], "window": {"height", "width"}}, every probe with
// its fields (an edge only on probes), sorted by area, then y, then x. Returns the window size.
QSize checkLayoutFormat(const QJsonObject& layout, const std::string& name) {
    SCOPED_TRACE(name);
    EXPECT_EQ(keysOf(layout), (QSet<QString>{"probes", "window"}));
    const QJsonObject window = layout.value("window").toObject();
    EXPECT_EQ(keysOf(window), (QSet<QString>{"height", "width"}));
    EXPECT_TRUE(window.value("width").isDouble() && window.value("height").isDouble());
    EXPECT_TRUE(layout.value("probes").isArray());

    const QSet<QString> fields{"area", "height", "inset", "kind", "name", "width", "x", "y"};
    std::optional<std::tuple<QString, double, double>> previous;
    for (const QJsonValue& value : layout.value("probes").toArray()) {
        const QJsonObject probe = value.toObject();
        const QString kind = probe.value("kind").toString();
        EXPECT_TRUE(kind == "area" || kind == "probe") << kind.toStdString();
        QSet<QString> expected = fields;
        if (kind == "probe" && probe.contains("edge")) {
            expected.insert("edge");
            EXPECT_TRUE(probe.value("edge").isString());
        }
        EXPECT_EQ(keysOf(probe), expected);
        for (const char* number : {"height", "inset", "width", "x", "y"})
            EXPECT_TRUE(probe.value(number).isDouble()) << number;
        if (kind == "area")
            EXPECT_EQ(probe.value("area"), probe.value("name"));
        else
            EXPECT_EQ(probe.value("inset").toDouble(), 0);
        const std::tuple<QString, double, double> place{probe.value("area").toString(), probe.value("y").toDouble(),
                                                        probe.value("x").toDouble()};
        EXPECT_TRUE(!previous || !(place < *previous))
            << "probes out of order at " << probe.value("name").toString().toStdString();
        previous = place;
    }
    return QSize(window.value("width").toInt(), window.value("height").toInt());
}

// The Overview page marks its content as the area "overview" with a margin of 20, and its
// header, storage bar and safe list as probes lined up with that area's lead edge.
void expectOverviewMarks(const QJsonObject& layout, const std::string& name) {
    SCOPED_TRACE(name);
    bool area = false;
    std::set<std::string> probes;
    for (const QJsonValue& value : layout.value("probes").toArray()) {
        const QJsonObject probe = value.toObject();
        if (probe.value("kind") == "area" && probe.value("name") == "overview")
            area = probe.value("inset").toDouble() == 20 && probe.value("width").toDouble() > 0;
        if (probe.value("kind") == "probe" && probe.value("area") == "overview" && probe.value("edge") == "lead")
            probes.insert(probe.value("name").toString().toStdString());
    }
    EXPECT_TRUE(area);
    EXPECT_EQ(probes, (std::set<std::string>{"bar", "header", "safe"}));
}

// One screenshot run's world: the headless run's, with the demo data, no desktop bus and an
// output folder that the run makes.
class SnapshotRun : public HeadlessAppTest {
protected:
    // The run with APP_SNAPSHOT_PAGES set to filter, or unset.
    AppRun snapshot(std::optional<std::string> filter = std::nullopt) {
        ScopedEnv pages("APP_SNAPSHOT_PAGES", std::move(filter));
        return runProgram(DOVRANE_APP, {}, {}, deadline);
    }

    std::string image(const std::string& name) const { return output_ + "/" + name + ".png"; }
    std::string layout(const std::string& name) const { return output_ + "/" + name + "-layout.json"; }

    std::vector<std::string> expectedLines(const std::vector<std::string>& images) const {
        std::vector<std::string> lines;
        for (const std::string& name : images)
            lines.push_back("SNAPSHOT " + image(name));
        lines.push_back("SNAPSHOT done " + output_);
        return lines;
    }

    // The output folder holds exactly these images, each with its layout file.
    void expectExactlyTheFilesOf(const std::vector<std::string>& images) const {
        std::set<std::string> expected;
        for (const std::string& name : images) {
            expected.insert(name + ".png");
            expected.insert(name + "-layout.json");
        }
        const std::vector<std::string> listed = Fs::list(output_);
        EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), expected);
    }

    TempDir outputParent_;
    // Made by the run, with its parent.
    std::string output_ = outputParent_ / "shots/today";
    ScopedEnv bus_{"DBUS_SESSION_BUS_ADDRESS", std::nullopt};
    ScopedEnv seed_{"APP_SEED", "1"};
    ScopedEnv folder_{"APP_SNAPSHOT", output_};
};

} // namespace

TEST_F(SnapshotRun, CapturesEveryViewInBothLooksWithItsLayoutFile) {
    const std::vector<std::string> images =
        joined({perLook(pageViews), perLook(sheetViews), menuBarImages, settingsImages});
    ASSERT_EQ(images.size(), 28u);
    const AppRun run = snapshot();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines, expectedLines(images));
    expectExactlyTheFilesOf(images);

    std::map<std::string, QImage> decoded;
    for (const std::string& name : images) {
        SCOPED_TRACE(name);
        const QImage picture = loadImage(image(name));
        ASSERT_FALSE(picture.isNull()) << "does not decode";
        EXPECT_FALSE(isOneFlatColour(picture));
        const QSize window = checkLayoutFormat(readLayout(layout(name)), name);
        // Device pixel ratio 1: the image is the window's client area, pixel for pixel.
        EXPECT_EQ(picture.size(), window);
        decoded[name] = picture;
    }
    for (const std::string& look : looks)
        expectOverviewMarks(readLayout(layout("overview-" + look)), "overview-" + look);

    // The look really changed every view.
    for (const std::vector<std::string>& views : {pageViews, sheetViews, {"menubar"}, settingsViews})
        for (const std::string& view : views)
            EXPECT_FALSE(sameImage(decoded[view + "-light"], decoded[view + "-dark"])) << view << " ignored the look";
    // Every sheet really opened over the Overview page.
    for (const std::string& look : looks)
        for (const std::string& sheet : sheetNames)
            EXPECT_FALSE(sameImage(decoded["sheet-" + sheet + "-" + look], decoded["overview-" + look]))
                << "the " << sheet << " sheet did not open in the " << look << " look";
}

TEST_F(SnapshotRun, TheFilterKeepsOnlyTheStepsItNames) {
    const AppRun named = snapshot("overview,settings");
    EXPECT_EQ(named.status, 0);
    const std::vector<std::string> images = joined({{"overview-light", "overview-dark"}, settingsImages});
    EXPECT_EQ(named.lines, expectedLines(images));
    expectExactlyTheFilesOf(images);

    // Set but empty: no step runs, yet the folder is made and the run ends with its closing line.
    Fs::removeAll(outputParent_ / "shots");
    const AppRun none = snapshot("");
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.lines, expectedLines({}));
    EXPECT_TRUE(Fs::isDirectory(output_));
    expectExactlyTheFilesOf({});
}

// Each Settings tab gives the window another height; the offscreen platform's notice that it
// cannot pass size limits on is no part of the run's output. Other messages still come through.
TEST_F(SnapshotRun, SettingsTabsOfEveryHeightLeaveNoSizeHintNotice) {
    ScopedEnv pages("APP_SNAPSHOT_PAGES", "settings");
    const AppRun run = runProgram("/bin/sh", {"-c", std::string("exec '") + DOVRANE_APP + "' 2>&1"}, {}, deadline);
    EXPECT_EQ(run.status, 0);
    int captured = 0;
    for (const std::string& line : run.lines) {
        EXPECT_EQ(line.find("propagateSizeHints"), std::string::npos) << line;
        captured += line.rfind("SNAPSHOT ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(captured, int(settingsImages.size()) + 1);
}

TEST_F(SnapshotRun, AnEarlierImageIsReplacedByAFreshCapture) {
    makeFolder(output_);
    writeFile(image("menubar-light"), "an image of an earlier run");
    const AppRun run = snapshot("menubar");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines, expectedLines(menuBarImages));
    const QImage picture = loadImage(image("menubar-light"));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), checkLayoutFormat(readLayout(layout("menubar-light")), "menubar-light"));
}

TEST_F(SnapshotRun, LayoutFilesLieBesideTheirImagesInAFolderNamedPng) {
    output_ = outputParent_ / "shots.png/today";
    ScopedEnv folder("APP_SNAPSHOT", output_);
    const AppRun run = snapshot("overview");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines, expectedLines({"overview-light", "overview-dark"}));
    expectExactlyTheFilesOf({"overview-light", "overview-dark"});
    EXPECT_EQ(Fs::list(outputParent_.path()), std::vector<std::string>{"shots.png"});
}

// The demo data refuse first, then the run; the process ends on its own, with a failure.
TEST_F(SnapshotRun, WithoutATestStoreItRefusesAndFails) {
    ScopedEnv realStore("APP_STORE", std::nullopt);
    const AppRun run = snapshot();
    EXPECT_EQ(run.lines, (std::vector<std::string>{"APP_SEED ignored: APP_STORE must be a file in /tmp",
                                                   "SNAPSHOT refused: set APP_STORE to a file in /tmp"}));
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(Fs::exists(outputParent_ / "shots"));
}
