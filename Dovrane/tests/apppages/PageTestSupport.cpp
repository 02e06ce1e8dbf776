#include "PageTestSupport.h"

#include "UiKit/Appearance.h"
#include "UiKit/Desktop.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstdlib>

namespace dovrane::testing {

void recordLayoutProbes() { setenv("APP_GRID", "1", 1); }

PageFixture::PageFixture() : model(fixture.makeModel()) {
    Desktop::setOpener([this](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
}

PageFixture::~PageFixture() {
    Desktop::setOpener([](const QUrl&) { return false; });
}

InstalledApp PageFixture::app(const std::string& name, AppSource source, std::int64_t size, bool isSystem) const {
    InstalledApp app;
    app.bundleID = "com.example." + name;
    app.name = name;
    app.version = "1.0";
    app.path = Url::fromPath(fixture / ("Applications/" + name + ".app"));
    app.source = source;
    app.size = size;
    app.isSystem = isSystem;
    return app;
}

QImage render(QWidget& page, Look look) {
    Appearance::shared().force(look);
    page.resize(1100, 720);
    page.show();
    QCoreApplication::processEvents();
    QImage image = page.grab().toImage();
    Appearance::shared().force(std::nullopt);
    return image;
}

QStringList visibleTexts(const QWidget& root) {
    QStringList texts;
    for (const QLabel* label : root.findChildren<QLabel*>())
        if (label->isVisibleTo(&root) && !label->text().isEmpty())
            texts << label->text();
    for (const QAbstractButton* button : root.findChildren<QAbstractButton*>())
        if (button->isVisibleTo(&root) && !button->text().isEmpty())
            texts << button->text();
    return texts;
}

} // namespace dovrane::testing
