#include "ContentView/Pages.h"

#include <map>

namespace dovrane::Pages {

namespace {
std::map<SidebarItem, Maker>& makers() {
    static std::map<SidebarItem, Maker> table;
    return table;
}
} // namespace

void setMaker(SidebarItem item, Maker maker) { makers()[item] = std::move(maker); }

QWidget* make(SidebarItem item, AppModel& model, ContentView& window) {
    auto found = makers().find(item);
    QWidget* page = found != makers().end() && found->second ? found->second(model, window) : nullptr;
    if (!page)
        page = new QWidget;
    page->setObjectName(QStringLiteral("page-") + rawValue(item));
    return page;
}

} // namespace dovrane::Pages
