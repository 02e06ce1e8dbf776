#include "ContentView/AppPages.h"

#include "AppsPage/AppsPage.h"
#include "CleanedPage/CleanedPage.h"
#include "ContentView/AccessHint.h"
#include "ContentView/ContentView.h"
#include "ContentView/Pages.h"
#include "UpdatesPage/UpdatesPage.h"

namespace dovrane::AppPages {

void install() {
    Pages::setMaker(SidebarItem::apps, [](AppModel& model, ContentView& window) -> QWidget* {
        auto* page = new AppsPage(model, new AccessHint(model));
        window.setPageControl(page->searchField());
        return page;
    });
    Pages::setMaker(SidebarItem::updates,
                    [](AppModel& model, ContentView&) -> QWidget* { return new UpdatesPage(model); });
    Pages::setMaker(SidebarItem::cleaned,
                    [](AppModel& model, ContentView&) -> QWidget* { return new CleanedPage(model); });
}

} // namespace dovrane::AppPages
