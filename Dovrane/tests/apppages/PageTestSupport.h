#pragma once
// What the page suites share: a model over a temporary home (HOME, XDG folders and APP_STORE
// under /tmp), records built by hand, rendering at the main window's default size in the light
// and the dark look, and a recorder in place of the desktop's opener.

#include "UiKit/Appearance.h"
#include "UiTestMain.h"
#include "support/ModelFixture.h"

#include <QImage>
#include <QStringList>
#include <QUrl>

#include <vector>

class QWidget;

namespace dovrane::testing {

// The page suites record layout areas, as a screenshot run does.
void recordLayoutProbes();

struct PageFixture {
    PageFixture();
    ~PageFixture();

    ModelFixture fixture;
    AppModel& model;
    std::vector<QUrl> opened; // what the pages asked the desktop to open, in order

    // An app in the temporary home's Applications folder (the bundle exists only when made).
    InstalledApp app(const std::string& name, AppSource source = AppSource::sparkle, std::int64_t size = 1'000'000,
                     bool isSystem = false) const;
};

// Shows the widget at the main window's default size (1100 × 720) in the look and returns its
// image; the look is lifted afterwards.
QImage render(QWidget& page, Look look);
// The texts of the visible labels and buttons under the widget.
QStringList visibleTexts(const QWidget& root);

} // namespace dovrane::testing
