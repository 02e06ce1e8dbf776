#include "StoragePage/StoragePage.h"

#include "StoragePage/CategoryBrowser.h"

#include <QVBoxLayout>

namespace dovrane {

namespace {

// The categories that pass the test, in the fixed category order.
std::vector<CategoryID> categoriesWhere(bool (*test)(CategoryID), bool wanted) {
    std::vector<CategoryID> chosen;
    for (CategoryID id : allCategoryIDs)
        if (test(id) == wanted)
            chosen.push_back(id);
    return chosen;
}

CategoryBrowser* fill(QWidget* page, CategoryBrowser* browser) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    return browser;
}

} // namespace

StoragePage::StoragePage(PageContext context, QWidget* parent) : QWidget(parent) {
    setWindowTitle(tr("Storage"));
    browser_ = fill(this, new CategoryBrowser(std::move(context),
                                              {{tr("System Data, broken down"), categoriesWhere(isSystemData, true)},
                                               {tr("Everything else"), categoriesWhere(isSystemData, false)}},
                                              CategoryID::caches, std::nullopt, this));
}

DeveloperPage::DeveloperPage(PageContext context, QWidget* parent) : QWidget(parent) {
    setWindowTitle(tr("Developer"));
    browser_ = fill(this, new CategoryBrowser(std::move(context),
                                              {{tr("Developer tools"), categoriesWhere(isDeveloper, true)}},
                                              CategoryID::xcode, std::nullopt, this));
}

} // namespace dovrane
