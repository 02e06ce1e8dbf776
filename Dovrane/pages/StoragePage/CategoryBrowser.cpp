#include "StoragePage/CategoryBrowser.h"

#include "StorageGraphics/StorageRing.h"
#include "StoragePage/CategoryDetail.h"
#include "StoragePage/CategoryRow.h"
#include "UiKit/Fonts.h"
#include "UiKit/PageKit.h"
#include "UiKit/SemanticColors.h"

#include <DovraneKit/scan/Explanations.h>

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QListView>
#include <QScrollBar>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <utility>

namespace dovrane {

namespace {

// The category list gives way before the detail does: the detail keeps the room for its title,
// every column of its table and its footer's buttons on one row, the list narrows down to its
// smallest width to leave it. Where the room allows, the list grows past its usual width until
// every row's title and size share one line.
constexpr int listWidest = 300;
constexpr int listNarrowest = 216;
constexpr int detailRoom = 500;
// A category row's least height: one line of text with its margins.
constexpr int categoryRowHeight = 28;
// The room the list's item view keeps beside a section title's text.
constexpr int sectionTextMargin = 4;

QFont sectionFont() { return Fonts::font(FontRole::callout, QFont::DemiBold); }

} // namespace

// The list's rows: each section's title, then its categories. Only categories can be chosen;
// a category's row draws itself (CategoryRow).
class CategoryBrowser::ListModel final : public QAbstractListModel {
public:
    struct Entry {
        std::optional<CategoryID> category; // none: a section title
        QString title;
        QString size{}; // what the row shows beside the title, for assistive technology
        int height = 0; // at the list's present width; 0 before it is known
    };

    explicit ListModel(const std::vector<Section>& sections, QObject* parent) : QAbstractListModel(parent) {
        for (const Section& section : sections) {
            entries_.push_back({std::nullopt, section.title});
            for (CategoryID id : section.categories)
                entries_.push_back({id, QString::fromStdString(Explanations::title(id))});
        }
    }

    const std::vector<Entry>& entries() const { return entries_; }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(entries_.size()); }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const Entry& entry = entries_[std::size_t(index.row())];
        if (entry.category) {
            if (role == Qt::AccessibleTextRole)
                return entry.title;
            if (role == Qt::AccessibleDescriptionRole)
                return entry.size;
            // Room for the row widget that draws the category.
            return role == Qt::SizeHintRole ? QVariant(QSize(0, std::max(entry.height, categoryRowHeight)))
                                            : QVariant();
        }
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return entry.title; // shown as it was given, not looked up again
        case Qt::FontRole: {
            return sectionFont();
        }
        case Qt::SizeHintRole:
            // No width of its own: a long title would widen every row past a narrow list, and
            // the list wraps it instead.
            return QSize(0, std::max(entry.height, QFontMetrics(sectionFont()).height() + 4));
        case Qt::ForegroundRole:
            return SemanticColors::of(SemanticColor::secondaryLabel);
        default:
            return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid() || index.row() >= rowCount())
            return Qt::NoItemFlags;
        return entries_[std::size_t(index.row())].category ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                                           : Qt::ItemIsEnabled;
    }

    void setSize(CategoryID id, const QString& size) {
        const int row = rowOf(id);
        if (row < 0)
            return;
        entries_[std::size_t(row)].size = size;
        emit dataChanged(index(row), index(row), {Qt::AccessibleDescriptionRole});
    }

    // Takes the height each row needs at the list's width; true when one changed.
    bool setHeights(const std::function<int(const Entry&)>& heightOf) {
        bool changed = false;
        for (Entry& entry : entries_)
            changed |= std::exchange(entry.height, heightOf(entry)) != entry.height;
        return changed;
    }

    int rowOf(CategoryID id) const {
        for (std::size_t row = 0; row < entries_.size(); ++row)
            if (entries_[row].category == id)
                return int(row);
        return -1;
    }

private:
    std::vector<Entry> entries_;
};

CategoryBrowser::CategoryBrowser(PageContext context, std::vector<Section> sections, CategoryID fallback,
                                 std::optional<QString> footer, QWidget* parent)
    : QWidget(parent), context_(std::move(context)), sections_(std::move(sections)), fallback_(fallback) {
    for (const Section& section : sections_)
        all_.insert(all_.end(), section.categories.begin(), section.categories.end());

    stack_ = new QStackedLayout(this);
    empty_ = new ContentUnavailableView(tr("No scan yet"), QStringLiteral("internaldrive"), QString(), this);
    empty_->setObjectName(QStringLiteral("noScan"));
    stack_->addWidget(empty_);

    auto* browser = new QWidget(this);
    auto* panes = new QHBoxLayout(browser);
    panes->setContentsMargins(0, 0, 0, 0);
    panes->setSpacing(0);

    auto* sidebar = new QWidget(browser);
    sidebar_ = sidebar;
    sidebar->setObjectName(QStringLiteral("categorySidebar"));
    sidebar->setFixedWidth(listWidest);
    auto* sidebarColumn = new QVBoxLayout(sidebar);
    sidebarColumn->setContentsMargins(0, 0, 0, 0);
    sidebarColumn->setSpacing(0);
    // One sector per category on a one-section page (the Developer page), else per group.
    std::optional<std::vector<CategoryID>> ringCategories;
    if (sections_.size() == 1)
        ringCategories = all_;
    ring_ = new StorageRing(ScanResult(), ringCategories, sidebar);
    ring_->setFixedHeight(168);
    auto* ringBox = new QVBoxLayout;
    ringBox->setContentsMargins(16, 16, 16, 16);
    ringBox->addWidget(ring_);
    sidebarColumn->addLayout(ringBox);

    listModel_ = new ListModel(sections_, this);
    list_ = new QListView(sidebar);
    list_->setObjectName(QStringLiteral("categories"));
    list_->setAccessibleName(tr("Categories"));
    list_->setModel(listModel_);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setUniformItemSizes(false);
    list_->setWordWrap(true);
    list_->viewport()->installEventFilter(this);
    for (CategoryID id : all_) {
        const int row = listModel_->rowOf(id);
        auto* categoryRow = new CategoryRow(Category(id), list_);
        list_->setIndexWidget(listModel_->index(row), categoryRow);
    }
    sidebarColumn->addWidget(list_, 1);
    // The rows follow the list's width when the page narrows.
    list_->setResizeMode(QListView::Adjust);
    panes->addWidget(sidebar);

    panes->addWidget(new Divider(Qt::Vertical, browser));

    detail_ = new CategoryDetail(context_, std::move(footer), browser);
    panes->addWidget(detail_, 1);
    stack_->addWidget(browser);

    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CategoryBrowser::listSelectionChanged);
    connect(&context_.model, &AppModel::changed, this, &CategoryBrowser::modelChanged);
    connect(&context_.selection, &StorageSelection::categoryChanged, this, &CategoryBrowser::showCurrent);
    redraw();
}

void CategoryBrowser::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitList();
}

bool CategoryBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::Resize)
        fitRows();
    return QWidget::eventFilter(watched, event);
}

void CategoryBrowser::fitList() {
    // The widest row on show on one line, beside the list's scroll bar.
    int oneLine = 0;
    for (CategoryID id : all_)
        if (const CategoryRow* categoryRow = row(id); categoryRow && !list_->isRowHidden(listModel_->rowOf(id)))
            oneLine = std::max(oneLine, categoryRow->oneLineWidth());
    oneLine += list_->verticalScrollBar()->sizeHint().width() + 2 * list_->frameWidth();
    // The detail's room also holds its footer on one row, which a German selection needs more of.
    const int room = std::max(detailRoom, detail_->footerRoom() + 1);
    const int listWidth = std::clamp(width() - room, listNarrowest, std::max(listWidest, oneLine));
    if (listWidth != sidebar_->width())
        sidebar_->setFixedWidth(listWidth);
}

void CategoryBrowser::fitRows() {
    const int width = list_->viewport()->width();
    const QFontMetrics section(sectionFont());
    const bool changed = listModel_->setHeights([&](const ListModel::Entry& entry) {
        if (entry.category) {
            const CategoryRow* categoryRow = row(*entry.category);
            return categoryRow ? categoryRow->heightForWidth(width) : 0;
        }
        const QRect room(0, 0, std::max(width - 2 * sectionTextMargin, 1), QWIDGETSIZE_MAX);
        return section.boundingRect(room, Qt::TextWordWrap, entry.title).height() + 4;
    });
    if (changed)
        list_->doItemsLayout();
}

CategoryID CategoryBrowser::current() const {
    const AppModel& model = context_.model;
    const std::optional<CategoryID> chosen = context_.selection.category();
    if (chosen && model.showsCategory(*chosen) && std::find(all_.begin(), all_.end(), *chosen) != all_.end())
        return *chosen;
    // The page's own category when it holds something, else the first listed one that does:
    // a page does not open on an empty category while another has items. With nothing
    // anywhere, the own category, or the first listed where this home leaves it out.
    const auto holdsItems = [&model](CategoryID id) {
        const Category* found = model.scan() ? model.scan()->category(id) : nullptr;
        return found && !found->items.empty();
    };
    std::optional<CategoryID> firstShown;
    for (const CategoryID id : all_)
        if (model.showsCategory(id) && !firstShown)
            firstShown = id;
    if (model.showsCategory(fallback_) && holdsItems(fallback_))
        return fallback_;
    for (const CategoryID id : all_)
        if (model.showsCategory(id) && holdsItems(id))
            return id;
    if (model.showsCategory(fallback_))
        return fallback_;
    return firstShown.value_or(fallback_);
}

bool CategoryBrowser::showsEmptyState() const { return stack_->currentWidget() == empty_; }

CategoryRow* CategoryBrowser::row(CategoryID id) const {
    const int at = listModel_->rowOf(id);
    return at < 0 ? nullptr : qobject_cast<CategoryRow*>(list_->indexWidget(listModel_->index(at)));
}

void CategoryBrowser::showCategory(CategoryID id) {
    const auto& scan = context_.model.scan();
    const Category* found = scan ? scan->category(id) : nullptr;
    // Two branches: a conditional of the two would copy the scan's category first.
    if (found)
        detail_->setCategory(*found);
    else
        detail_->setCategory(Category(id));
}

void CategoryBrowser::modelChanged(AppModel::Field field) {
    // While a new scan runs the last result stays as it is; only the empty state tells progress.
    if (field == AppModel::Field::scan || field == AppModel::Field::isDemo ||
        ((field == AppModel::Field::isScanning || field == AppModel::Field::scanLabel) && !context_.model.scan()))
        redraw();
}

void CategoryBrowser::redraw() {
    const AppModel& model = context_.model;
    if (!model.scan()) {
        empty_->setDescription(model.isScanning() ? tr("Measuring %1…").arg(model.scanLabel())
                                                  : tr("Scan the disk to see what fills it."));
        if (model.isScanning())
            empty_->setAction(QString(), {});
        else
            empty_->setAction(tr("Scan Now"), [this] { context_.model.startScan(AppModel::Apps::reload); });
        stack_->setCurrentWidget(empty_);
        return;
    }
    ring_->setLinuxHome(model.isLinuxHome());
    ring_->setScan(*model.scan());
    for (CategoryID id : all_)
        if (CategoryRow* categoryRow = row(id)) {
            // The row reads the figures where they are: a copy of a large category costs its items.
            const Category empty(id);
            const Category* found = model.scan()->category(id);
            categoryRow->setCategory(found ? *found : empty, model.isLinuxHome());
            listModel_->setSize(id, categoryRow->sizeText());
            list_->setRowHidden(listModel_->rowOf(id), !model.showsCategory(id));
        }
    fitList();
    fitRows();
    stack_->setCurrentIndex(1);
    showCurrent();
}

void CategoryBrowser::showCurrent() {
    const CategoryID shown = current();
    selectingCurrent_ = true;
    list_->selectionModel()->setCurrentIndex(listModel_->index(listModel_->rowOf(shown)),
                                             QItemSelectionModel::ClearAndSelect);
    selectingCurrent_ = false;
    for (CategoryID id : all_)
        if (CategoryRow* shownRow = row(id))
            shownRow->setSelected(id == shown);
    showCategory(shown);
}

void CategoryBrowser::listSelectionChanged() {
    if (selectingCurrent_)
        return;
    const QModelIndexList chosen = list_->selectionModel()->selectedIndexes();
    std::optional<CategoryID> category;
    if (!chosen.isEmpty())
        category = listModel_->entries()[std::size_t(chosen.first().row())].category;
    // A cleared choice falls back; the list shows the fallback again either way.
    context_.selection.setCategory(category);
    showCurrent();
}

} // namespace dovrane
