#include "ContentView/DiskPages.h"

#include "ContentView/AccessHint.h"
#include "ContentView/Pages.h"
#include "OverviewPage/OverviewPage.h"
#include "StoragePage/StoragePage.h"

#include <QPointer>

namespace dovrane::DiskPages {

void install(QAction& cleanUpSafeItems) {
    // Held weakly: a window built before the next install still finds these makers, and must
    // not reach an action that went with an earlier window's menus.
    auto context = [action = QPointer<QAction>(&cleanUpSafeItems)](AppModel& model) {
        PageContext made{model};
        made.cleanUpSafeItems = action.data();
        made.accessHint = [&model](QWidget* parent) { return new AccessHint(model, parent); };
        return made;
    };
    Pages::setMaker(SidebarItem::overview,
                    [context](AppModel& model, ContentView&) -> QWidget* { return new OverviewPage(context(model)); });
    Pages::setMaker(SidebarItem::storage,
                    [context](AppModel& model, ContentView&) -> QWidget* { return new StoragePage(context(model)); });
    Pages::setMaker(SidebarItem::developer,
                    [context](AppModel& model, ContentView&) -> QWidget* { return new DeveloperPage(context(model)); });
}

} // namespace dovrane::DiskPages
