#pragma once
// Where the main window gets its pages: one maker per sidebar item, filled in by the pages as
// they arrive. A page without a maker is an empty widget. The window builds a new page on every
// change of the sidebar selection, so a page's own state (tab, search, disclosure) starts fresh.

#include "AppModel/WindowRecords.h"

#include <QString>
#include <QWidget>

#include <functional>

namespace dovrane {

class AppModel;
class ContentView;

namespace Pages {

// Builds the page for the window; the page may put its own control into the window's toolbar
// with ContentView::setPageControl, and it goes when the page goes.
using Maker = std::function<QWidget*(AppModel& model, ContentView& window)>;

void setMaker(SidebarItem item, Maker maker);
QWidget* make(SidebarItem item, AppModel& model, ContentView& window);

} // namespace Pages

} // namespace dovrane
