#include "AppsPage/AppTables.h"

#include "AppModel/AppModel.h"
#include "AppsPage/AppRecordExtras.h"
#include "UiKit/AppIcon.h"
#include "UiKit/Desktop.h"
#include "UiKit/Labels.h"
#include "UiKit/PageKit.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/TableViews.h"

#include <DovraneKit/apps/FlatpakApps.h>
#include <DovraneKit/scan/ScanModel.h>

#include <QApplication>
#include <QGridLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace dovrane {

namespace {

// The look of the Apps page's tables: frameless in their tab, rows 26 high, the header not
// lit up by a selection.
QTableView* makeTableView(QAbstractItemModel* model, std::vector<ColumnWidth> widths, int sortColumn,
                          QAbstractItemView::SelectionMode selection, QWidget* parent) {
    QTableView* view = TableViews::make(model, std::move(widths), sortColumn, Qt::DescendingOrder, selection, parent);
    view->setFrameShape(QFrame::NoFrame);
    view->verticalHeader()->setDefaultSectionSize(26);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setStretchLastSection(false);
    return view;
}

// The table, its empty state over it (centred, letting clicks through) and the footer bar.
void layOut(QWidget* table, QTableView* view, ContentUnavailableView* empty, FooterBar* footer) {
    auto* column = new QVBoxLayout(table);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* stack = new QGridLayout;
    stack->addWidget(view, 0, 0);
    stack->addWidget(empty, 0, 0);
    empty->setAttribute(Qt::WA_TransparentForMouseEvents);
    column->addLayout(stack, 1);
    column->addWidget(footer);
}

// The footer's action: Ctrl+Backspace (the key that macOS calls Delete) presses it while its
// table is on screen.
QPushButton* footerAction(const QString& text, QWidget* table, FooterBar* footer) {
    auto* button = new QPushButton(text, footer);
    footer->addAction(button);
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Backspace), table);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, button, [button] { button->click(); });
    return button;
}

QVariant sizeData(int role, const QString& display) {
    if (role == Qt::DisplayRole)
        return display;
    if (role == Qt::FontRole)
        return Fonts::monospacedDigits(Fonts::font(FontRole::body));
    return {};
}

QVariant secondaryText(const QString& shown, int role) {
    if (role == Qt::DisplayRole)
        return shown;
    if (role == Qt::ForegroundRole)
        return SemanticColors::secondaryText();
    return {};
}

// The Name cell: the app's icon at 20, its name, and for a system app the badge "macOS" (or
// "Flatpak" for a Flatpak app).
class AppNameDelegate : public QStyledItemDelegate {
public:
    AppNameDelegate(const SortedTableModel<InstalledApp>& table, QObject* parent)
        : QStyledItemDelegate(parent), table_(table) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        item.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

        const InstalledApp& app = table_.row(index.row());
        const QRect area = option.rect.adjusted(6, 0, -6, 0);
        const qreal icon = iconSize;
        AppIcons::draw(*painter, QRectF(area.x(), area.center().y() - icon / 2 + 1, icon, icon), app.path.path());

        painter->save();
        const bool picked = option.state & QStyle::State_Selected;
        QRect textArea = area.adjusted(int(icon) + 8, 0, 0, 0);
        const QString badge = badgeOf(app);
        const QFont captionFont = Fonts::font(FontRole::caption);
        const int badgeWidth = widthOf(badge);
        painter->setFont(option.font);
        painter->setPen(option.palette.color(picked ? QPalette::HighlightedText : QPalette::Text));
        const QString name = option.fontMetrics.elidedText(QString::fromStdString(app.name), Qt::ElideRight,
                                                           textArea.width() - badgeWidth);
        painter->drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter, name);
        if (!badge.isEmpty()) {
            painter->setFont(captionFont);
            painter->setPen(picked ? option.palette.color(QPalette::HighlightedText) : SemanticColors::secondaryText());
            textArea.setLeft(textArea.left() + option.fontMetrics.horizontalAdvance(name) + 8);
            painter->drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter, badge);
        }
        painter->restore();
    }

    // The icon, the whole name and the badge, so that a column narrower than that counts as
    // cutting the name.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize text = QStyledItemDelegate::sizeHint(option, index);
        const InstalledApp& app = table_.row(index.row());
        const int name = QFontMetrics(option.font).horizontalAdvance(QString::fromStdString(app.name));
        return {12 + iconSize + 8 + name + widthOf(badgeOf(app)), text.height()};
    }

private:
    static constexpr int iconSize = 20;
    static QString badgeOf(const InstalledApp& app) {
        return FlatpakApps::isFlatpak(app) ? InstalledTable::tr("Flatpak")
               : app.isSystem              ? InstalledTable::tr("macOS")
                                           : QString();
    }
    static int widthOf(const QString& badge) {
        return badge.isEmpty() ? 0 : QFontMetrics(Fonts::font(FontRole::caption)).horizontalAdvance(badge) + 8;
    }

    const SortedTableModel<InstalledApp>& table_;
};

} // namespace

// Installed apps

InstalledTable::InstalledTable(AppModel& model, const QString& search, QWidget* parent)
    : QWidget(parent), model_(model), search_(search) {
    using Row = InstalledApp;
    std::vector<SortedTableModel<Row>::Column> columns = {
        {tr("Name"), SortKeys::byName<Row>(&Row::name),
         [](const Row& app, int role) -> QVariant {
             if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
                 return QString::fromStdString(app.name);
             if (role == Qt::AccessibleDescriptionRole)
                 return tr("Version %1, %2")
                     .arg(Texts::version(app.version),
                          app.size >= 1 ? QString::fromStdString(bytes(app.size)) : QString());
             return {};
         }},
        {tr("Version"), SortKeys::byName<Row>(&Row::version),
         [](const Row& app, int role) { return secondaryText(Texts::version(app.version), role); }},
        {tr("Source"), SortKeys::byName<Row>([](const Row& app) { return rawValue(app.source); }),
         [](const Row& app, int role) { return secondaryText(sourceTitle(app), role); }},
        {tr("Size"), SortKeys::byValue<Row>(&Row::size),
         [](const Row& app, int role) {
             // Below 1: not measured yet.
             return sizeData(role, app.size >= 1 ? QString::fromStdString(bytes(app.size)) : QStringLiteral("…"));
         }},
        {tr("Last Used"), SortKeys::byValue<Row>([](const Row& app) { return lastUsedSort(app); }),
         [&model](const Row& app, int role) {
             return secondaryText(
                 app.lastUsed ? Texts::lastUsed(*app.lastUsed, model.services().clock->now()) : Texts::unknown(), role);
         }},
    };
    table_ = new SortedTableModel<Row>(std::move(columns), Column::size, Qt::DescendingOrder, this);
    table_->setTieBreak(SortKeys::byNameThenPath<Row>(&Row::name, [](const Row& app) { return app.path.path(); }));
    view_ = makeTableView(table_, {{}, {64, 88, 120}, {72, 96, 128}, {64, 80, 112}, {88, 112, 160}}, Column::size,
                          QAbstractItemView::SingleSelection, this);
    view_->setItemDelegateForColumn(Column::name, new AppNameDelegate(*table_, view_));
    view_->setAccessibleName(tr("Installed apps"));
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    // Where the apps would be, so an empty list is not a riddle.
    empty_ = new ContentUnavailableView(
        tr("No apps found"), QStringLiteral("square.grid.2x2"),
        tr("Dovrane looks for AppImages in ~/Applications and ~/.local/bin, and for Flatpak apps."), this);
    footer_ = new FooterBar(this);
    systemNote_ = new StyledLabel(QString(), Fonts::font(FontRole::body), SemanticColors::secondaryText, footer_);
    footer_->addAction(systemNote_);
    remove_ = footerAction(tr("Remove…"), this, footer_);
    layOut(this, view_, empty_, footer_);

    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &InstalledTable::pickedChanged);
    connect(view_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) { primaryAction(index.row()); });
    connect(view_, &QTableView::customContextMenuRequested, this, &InstalledTable::showMenu);
    connect(remove_, &QPushButton::clicked, this, [this] {
        if (auto app = selected())
            requestUninstall(*app);
    });
    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::apps || field == AppModel::Field::isLoadingApps)
            reload();
    });
    reload();
}

void InstalledTable::setSearch(const QString& search) {
    if (search == search_)
        return;
    search_ = search;
    reload();
}

std::vector<InstalledApp> InstalledTable::rows() const {
    std::vector<InstalledApp> shown;
    for (const InstalledApp& app : model_.apps())
        if (search_.isEmpty() || QString::fromStdString(app.name).contains(search_, Qt::CaseInsensitive))
            shown.push_back(app);
    return shown;
}

std::optional<InstalledApp> InstalledTable::selected() const {
    if (!picked_)
        return std::nullopt;
    const auto& apps = model_.apps();
    auto found = std::find_if(apps.begin(), apps.end(), [&](const InstalledApp& app) { return app.id() == *picked_; });
    return found == apps.end() ? std::nullopt : std::optional<InstalledApp>(*found);
}

std::unique_ptr<QMenu> InstalledTable::menuFor(const std::set<std::string>& identities) {
    const auto& apps = model_.apps();
    auto found =
        std::find_if(apps.begin(), apps.end(), [&](const InstalledApp& app) { return identities.contains(app.id()); });
    if (found == apps.end())
        return nullptr;
    const InstalledApp app = *found;
    auto menu = std::make_unique<QMenu>(this);
    QAction* remove = menu->addAction(tr("Remove %1…").arg(Texts::withoutMnemonics(QString::fromStdString(app.name))));
    remove->setEnabled(!app.isSystem);
    connect(remove, &QAction::triggered, this, [this, app] { requestUninstall(app); });
    QAction* reveal = menu->addAction(tr("Show in Files"));
    connect(reveal, &QAction::triggered, this, [path = app.path.path()] { Desktop::reveal(path); });
    return menu;
}

void InstalledTable::primaryAction(int shownRow) {
    if (shownRow < 0 || shownRow >= table_->rowCount())
        return;
    // No test of isSystem here: the model ignores a system app.
    requestUninstall(table_->row(shownRow));
}

void InstalledTable::requestUninstall(const InstalledApp& app) { model_.requestUninstall(app); }

void InstalledTable::reload() {
    reloading_ = true;
    table_->setRows(rows());
    if (picked_)
        for (int shownRow = 0; shownRow < table_->rowCount(); ++shownRow)
            if (table_->row(shownRow).id() == *picked_) {
                view_->selectRow(shownRow);
                break;
            }
    reloading_ = false;
    empty_->setVisible(model_.apps().empty() && !model_.isLoadingApps());
    refreshFooter();
}

void InstalledTable::pickedChanged() {
    if (reloading_)
        return;
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    picked_ = rows.isEmpty() ? std::nullopt : std::optional<std::string>(table_->row(rows.first().row()).id());
    refreshFooter();
}

void InstalledTable::refreshFooter() {
    footer_->setSummary(tr("%Ln apps", nullptr, int(model_.apps().size())));
    const std::optional<InstalledApp> app = selected();
    // Flatpak removes its own apps; the demo data's system apps are the system's.
    if (app && app->isSystem)
        systemNote_->setText(FlatpakApps::isFlatpak(*app) ? tr("Installed with Flatpak, remove it there")
                                                          : tr("Part of macOS, cannot be removed"));
    systemNote_->setVisible(app && app->isSystem);
    remove_->setEnabled(app && !app->isSystem);
}

void InstalledTable::showMenu(const QPoint& position) {
    const QModelIndex index = view_->indexAt(position);
    if (!index.isValid())
        return;
    std::set<std::string> identities;
    if (view_->selectionModel()->isRowSelected(index.row()))
        for (const QModelIndex& row : view_->selectionModel()->selectedRows())
            identities.insert(table_->row(row.row()).id());
    else
        identities.insert(table_->row(index.row()).id());
    if (auto menu = menuFor(identities))
        menu->exec(view_->viewport()->mapToGlobal(position));
}

// Leftovers

OrphanTable::OrphanTable(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    using Row = Orphan;
    std::vector<SortedTableModel<Row>::Column> columns = {
        {tr("Identifier"), SortKeys::byName<Row>(&Row::bundleID),
         [](const Row& orphan, int role) -> QVariant {
             if (role == Qt::DisplayRole)
                 return QString::fromStdString(orphan.bundleID);
             if (role == Qt::ToolTipRole)
                 return Texts::tooltip(QString::fromStdString(orphan.reason));
             return {};
         }},
        {tr("Where"), SortKeys::byName<Row>([home = model.services().home](const Row& orphan) {
             return folder(orphan, home).toStdString();
         }),
         [home = model.services().home](const Row& orphan, int role) {
             return secondaryText(folder(orphan, home), role);
         }},
        {tr("Size"), SortKeys::byValue<Row>(&Row::size),
         [](const Row& orphan, int role) { return sizeData(role, QString::fromStdString(bytes(orphan.size))); }},
    };
    table_ = new SortedTableModel<Row>(std::move(columns), Column::size, Qt::DescendingOrder, this);
    table_->setTieBreak(
        SortKeys::byNameThenPath<Row>(&Row::bundleID, [](const Row& orphan) { return orphan.url.path(); }));
    view_ = makeTableView(table_, {{}, {120, 160, 220}, {64, 88, 112}}, Column::size,
                          QAbstractItemView::ExtendedSelection, this);
    view_->setAccessibleName(tr("Leftovers of removed apps"));
    empty_ = new ContentUnavailableView(tr("No leftovers"), QStringLiteral("checkmark.circle"),
                                        tr("Every app folder and settings file belongs to an installed app."), this);
    footer_ = new FooterBar(this);
    trash_ = footerAction(tr("Move to Trash…"), this, footer_);
    layOut(this, view_, empty_, footer_);

    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &OrphanTable::takeSelection);
    // The button leaves the picks as they are; the model drops the orphans once they moved.
    connect(trash_, &QPushButton::clicked, this, [this] {
        if (!picked_.empty())
            model_.trashOrphans(pickedOrphans());
    });
    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::orphans)
            reload();
    });
    reload();
}

std::vector<Orphan> OrphanTable::pickedOrphans() const {
    std::vector<Orphan> chosen;
    for (const Orphan& orphan : model_.orphans())
        if (picked_.contains(orphan.id()))
            chosen.push_back(orphan);
    return chosen;
}

void OrphanTable::reload() {
    // A pick never outlives its row: paths that no orphan has any more leave it. (Only picks
    // need the paths, which take a while to work out of a long list.)
    if (!picked_.empty()) {
        std::set<std::string> still;
        for (const Orphan& orphan : model_.orphans())
            if (std::string id = orphan.id(); picked_.contains(id))
                still.insert(std::move(id));
        picked_ = std::move(still);
    }

    reloading_ = true;
    table_->setRows(model_.orphans());
    TableViews::selectIds(*view_, *table_, picked_);
    reloading_ = false;
    empty_->setVisible(model_.orphans().empty());
    refreshFooter();
}

void OrphanTable::takeSelection() {
    if (reloading_)
        return;
    picked_ = TableViews::selectedIds(*view_, *table_);
    refreshFooter();
}

void OrphanTable::refreshFooter() {
    footer_->setSummary(picked_.empty() ? tr("%Ln leftovers", nullptr, int(model_.orphans().size()))
                                        : tr("%Ln selected", nullptr, int(picked_.size())));
    trash_->setEnabled(!picked_.empty());
}

} // namespace dovrane
