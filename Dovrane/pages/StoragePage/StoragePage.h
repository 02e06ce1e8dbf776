#pragma once
// The Storage page (every category, in two sections) and the Developer page (the developer
// categories), both a CategoryBrowser over the shared category choice.

#include "StoragePage/PageContext.h"

#include <QWidget>

namespace dovrane {

class CategoryBrowser;

class StoragePage final : public QWidget {
    Q_OBJECT
public:
    explicit StoragePage(PageContext context, QWidget* parent = nullptr);
    CategoryBrowser* browser() const { return browser_; }

private:
    CategoryBrowser* browser_;
};

class DeveloperPage final : public QWidget {
    Q_OBJECT
public:
    explicit DeveloperPage(PageContext context, QWidget* parent = nullptr);
    CategoryBrowser* browser() const { return browser_; }

private:
    CategoryBrowser* browser_;
};

} // namespace dovrane
