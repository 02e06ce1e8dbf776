#include "PageFixture.h"

#include "UiKit/Appearance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>

namespace dovrane::testing {

namespace {
constexpr std::int64_t GB = 1'000'000'000;
constexpr double day = 86400;
} // namespace

CleanupItem item(const std::string& path, std::int64_t size, Safety safety, CleanupAction action,
                 std::optional<Date> lastUsed, std::string source) {
    const Url url =
        path.find(':') != std::string::npos && path.front() != '/' ? *Url::parse(path) : Url::fromPath(path);
    return CleanupItem(url, std::nullopt, size, 1, lastUsed, "Reason of " + url.lastPathComponent() + ".",
                       std::move(source), safety, action);
}

ScanResult fixtureScan(const std::string& home) {
    ScanResult scan;
    scan.date = fixtureNow.adding(-2 * 3600);
    scan.volume = "Fixture";
    scan.total = 500 * GB;
    scan.free = 200 * GB;
    scan.available = 200 * GB;
    const auto& T = CleanupAction::trash;
    scan.categories = {
        Category(CategoryID::apps, 40 * GB),
        Category(CategoryID::personal, 90 * GB),
        Category(CategoryID::caches, std::nullopt,
                 {item(home + "/caches/pip", 3 * GB, Safety::safe, T, fixtureNow.adding(-2 * day)),
                  item(home + "/caches/browser", 1 * GB, Safety::review, T),
                  item(home + "/caches/system", GB / 2, Safety::safe, CleanupAction::showOnly,
                       fixtureNow.adding(-40 * day))}),
        Category(CategoryID::logs, std::nullopt, {item(home + "/logs/app.log", 2 * GB, Safety::safe, T)}),
        Category(CategoryID::trash, std::nullopt,
                 {item(home + "/.local/share/Trash/files/old.zip", GB, Safety::safe, CleanupAction::emptyTrash)}),
        Category(CategoryID::installers, std::nullopt, {item(home + "/Downloads/Setup.dmg", 2 * GB, Safety::safe, T)}),
        Category(CategoryID::mailDownloads),
        Category(CategoryID::messages, std::nullopt,
                 {item(home + "/Messages/Attachments", 5 * GB, Safety::keep, CleanupAction::showOnly)}),
        Category(CategoryID::snapshots, 0,
                 {item("tmsnapshot:2024-04-30-101010", 0, Safety::review, CleanupAction::deleteSnapshot),
                  item("tmsnapshot:2024-05-01-070000", 0, Safety::review, CleanupAction::deleteSnapshot)},
                 true, std::string("Local snapshots are kept by the system.")),
        Category(CategoryID::xcode, std::nullopt, {item(home + "/Xcode/DerivedData", 4 * GB, Safety::review, T)}),
        Category(CategoryID::simulators, std::nullopt,
                 {item(home + "/Simulators/iPhone 8", 6 * GB, Safety::review, T, std::nullopt, "simulators.device"),
                  item(home + "/Simulators/iPhone 6", 3 * GB, Safety::review, CleanupAction::showOnly, std::nullopt,
                       "simulators.unavailable")}),
        Category(CategoryID::packageCaches),
        Category(CategoryID::projects, std::nullopt, {item(home + "/Code/app/build", 2500'000'000, Safety::safe, T)}),
    };
    scan.computeOther();
    return scan;
}

namespace {
AppModel& makeModel(ModelFixture& base, const std::function<void(ModelFixture&, Services&)>& adjust) {
    Services services = base.services();
    if (adjust)
        adjust(base, services);
    return base.makeModel(std::move(services));
}
} // namespace

PageFixture::PageFixture(const std::function<void(ModelFixture&, Services&)>& adjust)
    : base_(std::make_unique<ModelFixture>()), model(makeModel(*base_, adjust)) {}

ScanResult PageFixture::scan() const { return fixtureScan(base_->home()); }

PageContext PageFixture::context() {
    PageContext context{model, selection, nullptr, {}, {}};
    context.pickFolders = [this](QWidget*) {
        ++pickerCalls;
        return pickerAnswer;
    };
    return context;
}

void showAsWindow(QWidget& page) {
    page.resize(1100, 720);
    page.show();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool rendersInBothLooks(QWidget& page) {
    QImage images[2];
    int index = 0;
    for (Look look : {Look::light, Look::dark}) {
        Appearance::shared().force(look);
        QApplication::processEvents();
        images[index++] = page.grab().toImage();
    }
    Appearance::shared().force(std::nullopt);
    const QPoint corner(page.width() - 2, page.height() - 2);
    return images[0].size() == page.size() && images[1].size() == page.size() &&
           images[0].pixelColor(corner).lightness() > images[1].pixelColor(corner).lightness();
}

QAbstractButton* visibleButton(const QWidget& parent, const QString& text) {
    for (QAbstractButton* button : parent.findChildren<QAbstractButton*>())
        if (button->text() == text && button->isVisibleTo(&parent))
            return button;
    return nullptr;
}

QStringList visibleTexts(const QWidget& parent) {
    QStringList texts;
    for (QLabel* label : parent.findChildren<QLabel*>())
        if (label->isVisibleTo(&parent) && !label->text().isEmpty())
            texts << label->text();
    return texts;
}

} // namespace dovrane::testing
