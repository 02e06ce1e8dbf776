#pragma once
// Every view a user meets, opened one after the other over the demo data: the six pages (the
// window with its real pages and menus, as the application builds it), the four sheets, the
// menu bar item's panel and the three Settings tabs.

#include "WindowFixture.h"

#include "Theme/Theme.h"

#include <QString>
#include <QWidget>

#include <functional>

namespace dovrane::testing {

// The application's menus, command palette and pages in the window, as the application
// installs them, for as long as it lives.
class RealPages {
public:
    RealPages(ContentView& window, AppModel& model);
    ~RealPages();
    RealPages(const RealPages&) = delete;
    RealPages& operator=(const RealPages&) = delete;
};

class ViewTour {
public:
    // Seeds the demo data, hosts the real command palette and shows the main window, active.
    explicit ViewTour(WindowFixture& fixture);
    ~ViewTour();

    AppModel& model;
    ContentView& window;

    // Shows each view in turn, active, and hands visit its name and its window; a sheet is
    // closed without acting once visit returns.
    void forEachView(const std::function<void(const QString& name, QWidget& root)>& visit);

    // Waits for the model's sheet to be on show and active; nullptr when none came.
    QWidget* awaitSheet();

private:
    ThemeStore themes_;
    RealPages pages_;
};

// Makes window the active one, as a click would.
void activate(QWidget& window);

} // namespace dovrane::testing
