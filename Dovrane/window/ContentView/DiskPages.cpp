#include "ContentView/DiskPages.h"

#include "ContentView/AccessHint.h"
#include "ContentView/Pages.h"
#include "OverviewPage/OverviewPage.h"
#include "StoragePage/StoragePage.h"

namespace dovrane::DiskPages {

void install(QAction& cleanUpSafeItems) {
    auto context = [action = &cleanUpSafeItems](AppModel& model) {
        PageContext made{model};
        made.cleanUpSafeItems = action;
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
