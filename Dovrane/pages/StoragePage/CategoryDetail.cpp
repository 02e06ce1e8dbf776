#include "StoragePage/CategoryDetail.h"

#include "AppModel/AppModel.h"
#include "Grid/GridProbes.h"
#include "Services/SettingKeys.h"
#include "StoragePage/SafetyDelegate.h"
#include "UiKit/ConfirmationDialog.h"
#include "UiKit/Desktop.h"
#include "UiKit/DetailHeader.h"
#include "UiKit/Labels.h"
#include "UiKit/PageKit.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/TableViews.h"

#include <DovraneKit/scan/Explanations.h>

#include <QAction>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <set>
#include <string_view>
#include <unordered_set>

namespace dovrane {

namespace {} // namespace

CategoryDetail::CategoryDetail(PageContext context, std::optional<QString> footer, QWidget* parent)
    : QWidget(parent), context_(std::move(context)), footer_(std::move(footer)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    makeHeader();
    layout->addWidget(header_);
    gridArea(header_, QStringLiteral("category"), 20);
    layout->addLayout(makeTable(), 1);
    makeFooter();
    layout->addWidget(footerBar_);
    makeActions();

    connect(&context_.model, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::isDemo || field == AppModel::Field::hasFullDiskAccess)
            redrawFooter();
    });
    connect(&DeletionsInFlight::shared(), &DeletionsInFlight::changed, this, &CategoryDetail::redrawFooter);

    redrawHeader();
    redrawFooter();
}

void CategoryDetail::makeHeader() {
    header_ = new DetailHeader(DetailHeader::Style::pane, {}, this);
    header_->setObjectName(QStringLiteral("categoryHeader"));
    note_ = new StyledLabel(QString(), Fonts::font(FontRole::callout), SemanticColors::secondaryText, header_);
    note_->setObjectName(QStringLiteral("note"));
    note_->setWordWrap(true);
    header_->addLine(note_);
    if (context_.accessHint) {
        accessHintSlot_ = new QWidget(header_);
        auto* slotLayout = new QVBoxLayout(accessHintSlot_);
        slotLayout->setContentsMargins(0, 0, 0, 0);
        accessHint_ = context_.accessHint(accessHintSlot_);
        slotLayout->addWidget(accessHint_);
        accessHint_->installEventFilter(this);
        header_->addLine(accessHintSlot_);
    }
}

QLayout* CategoryDetail::makeTable() {
    items_ = new CategoryItemsModel(context_.model, this);
    // The name takes the space the others leave; largest first.
    table_ = TableViews::make(items_, {{}, {72, 88, 120}, {88, 112, 160}, {80, 96, 120}}, items_->sortColumn(),
                              items_->sortOrder(), QAbstractItemView::ExtendedSelection, this);
    table_->setItemDelegateForColumn(CategoryItemsModel::safetyColumn, new SafetyDelegate(table_));
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CategoryDetail::selectionChangedByUser);
    connect(table_, &QWidget::customContextMenuRequested, this, [this](const QPoint& point) {
        std::unique_ptr<QMenu> menu = contextMenu(point);
        menu->exec(table_->viewport()->mapToGlobal(point));
    });
    empty_ = new ContentUnavailableView(tr("Nothing here"), QStringLiteral("checkmark.circle"),
                                        tr("Dovrane found nothing in this category on this computer."), this);
    empty_->setObjectName(QStringLiteral("nothingHere"));
    // Clicks go through to the table, whose empty space keeps its context menu.
    empty_->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The rest of the disk has no items by nature: it says what it is, not that nothing was found.
    unexplained_ = new ContentUnavailableView(QString::fromStdString(Explanations::title(CategoryID::other)),
                                              QStringLiteral("internaldrive"),
                                              QString::fromStdString(Explanations::text(CategoryID::other)), this);
    unexplained_->setObjectName(QStringLiteral("notBrokenDown"));
    unexplained_->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The empty state over the table.
    auto* tableArea = new QGridLayout;
    tableArea->addWidget(table_, 0, 0);
    tableArea->addWidget(empty_, 0, 0, Qt::AlignCenter);
    tableArea->addWidget(unexplained_, 0, 0, Qt::AlignCenter);
    return tableArea;
}

void CategoryDetail::makeFooter() {
    footerBar_ = new FooterBar(this);
    footerBar_->layout()->setSpacing(12);
    if (footer_) {
        auto* footerText =
            new StyledLabel(*footer_, Fonts::font(FontRole::body), SemanticColors::secondaryText, footerBar_);
        footerText->setObjectName(QStringLiteral("footer"));
        footerBar_->addNote(footerText);
    }
    auto button = [this](const QString& label, const char* name) {
        auto* made = new QPushButton(label, footerBar_);
        made->setObjectName(QLatin1String(name));
        footerBar_->addAction(made);
        return made;
    };
    onlyShown_ =
        new LineLimitedLabel(QString(), 2, Fonts::font(FontRole::body), SemanticColors::secondaryText, footerBar_);
    onlyShown_->setObjectName(QStringLiteral("onlyShown"));
    footerBar_->addAction(onlyShown_);
    emptying_ = new QWidget(footerBar_);
    emptying_->setObjectName(QStringLiteral("emptying"));
    auto* emptyingRow = new QHBoxLayout(emptying_);
    emptyingRow->setContentsMargins(0, 0, 0, 0);
    emptyingRow->setSpacing(8);
    emptyingRow->addWidget(makeBusyIndicator(emptying_), 0, Qt::AlignVCenter);
    emptyingRow->addWidget(new StyledLabel(tr("Emptying the Trash…"), Fonts::font(FontRole::body),
                                           SemanticColors::secondaryText, emptying_));
    footerBar_->addAction(emptying_);
    emptyTrash_ = button(tr("Empty Trash…"), "emptyTrash");
    deleteSnapshots_ = button(tr("Delete Snapshots…"), "deleteSnapshots");
    removeUnavailable_ = button(tr("Remove Unavailable…"), "removeUnavailable");
    chooseFolders_ = button(tr("Choose Project Folders…"), "chooseProjectFolders");
    selectSafe_ = button(tr("Select Safe Items"), "selectSafeItems");
    moveToTrash_ = button(tr("Move to Trash…"), "moveToTrash");
}

void CategoryDetail::makeActions() {
    // Ctrl+Backspace belongs to this pane, so it leaves with the page; a focused text field
    // takes the key for itself first.
    moveToTrashAction_ = new QAction(tr("Move to Trash…"), this);
    moveToTrashAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Backspace));
    moveToTrashAction_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(moveToTrashAction_);
    connect(moveToTrashAction_, &QAction::triggered, this, [this] { moveToTrash(pickedItems()); });
    connect(moveToTrash_, &QPushButton::clicked, moveToTrashAction_, &QAction::trigger);
    connect(selectSafe_, &QPushButton::clicked, this, &CategoryDetail::selectSafeItems);
    connect(chooseFolders_, &QPushButton::clicked, this, &CategoryDetail::chooseProjectFolders);
    connect(emptyTrash_, &QPushButton::clicked, this, [this] { confirm(DeletionsInFlight::Kind::emptyTrash); });
    connect(deleteSnapshots_, &QPushButton::clicked, this, [this] { confirm(DeletionsInFlight::Kind::snapshots); });
    connect(removeUnavailable_, &QPushButton::clicked, this, [this] { confirm(DeletionsInFlight::Kind::simulators); });
}

void CategoryDetail::setCategory(const Category& category) {
    const std::vector<CleanupItem>& shown = items_->rows();
    if (hasCategory_ && category.id == category_.id && category.size == category_.size &&
        category.sizeIsEstimate == category_.sizeIsEstimate && category.note == category_.note &&
        category.items == shown)
        return;
    const bool otherCategory = hasCategory_ && category.id != category_.id;
    // A pick never outlives its item: what a cleanup or a rescan took away is no longer counted.
    // The picks that stay are found by the text of their URL, which every item holds already.
    std::vector<bool> kept(category.items.size(), false);
    if (!otherCategory && pickedCount_ > 0) {
        std::unordered_set<std::string_view> pickedURLs;
        for (std::size_t index = 0; index < shown.size(); ++index)
            if (picked_[index])
                pickedURLs.insert(shown[index].url.text());
        for (std::size_t index = 0; index < category.items.size(); ++index)
            kept[index] = pickedURLs.contains(category.items[index].url.text());
    }
    category_ = Category(category.id, category.size, {}, category.sizeIsEstimate, category.note);
    hasCategory_ = true;
    items_->setCategory(category_.id, category.items);
    if (otherCategory)
        focusOwedTo_ = focusLentTo_ = nullptr;
    // New rows leave the table without a current row; while it has the focus, the first one wears it.
    if (table_->hasFocus() && !table_->currentIndex().isValid() && items_->rowCount() > 0)
        table_->selectionModel()->setCurrentIndex(items_->index(0, 0), QItemSelectionModel::NoUpdate);
    picked_ = std::move(kept);
    pickedChanged();
    redrawHeader();
}

std::set<std::string> CategoryDetail::picked() const {
    std::set<std::string> ids;
    const std::vector<CleanupItem>& items = items_->rows();
    for (std::size_t index = 0; index < items.size(); ++index)
        if (picked_[index])
            ids.insert(items[index].id());
    return ids;
}

void CategoryDetail::setPicked(const std::set<std::string>& ids) {
    const std::vector<CleanupItem>& items = items_->rows();
    for (std::size_t index = 0; index < items.size(); ++index)
        picked_[index] = ids.count(items[index].id()) > 0;
    pickedChanged();
}

std::vector<CleanupItem> CategoryDetail::pickedItems() const {
    std::vector<CleanupItem> picked;
    picked.reserve(pickedCount_);
    const std::vector<CleanupItem>& items = items_->rows();
    for (std::size_t index = 0; index < items.size(); ++index)
        if (picked_[index])
            picked.push_back(items[index]);
    return picked;
}

QString CategoryDetail::summary() const {
    if (pickedCount_ == 0)
        return tr("%Ln items", nullptr, int(items_->rows().size()));
    return tr("%1 selected, %2")
        .arg(Texts::count(std::int64_t(pickedCount_)), QString::fromStdString(bytes(pickedSize_)));
}

int CategoryDetail::footerRoom() const {
    // The widest footer of any category: a selection of thousands of items summed to hundreds of
    // gigabytes beside the two buttons, which the other categories' one button never outgrows.
    const QFontMetrics body(Fonts::font(FontRole::body));
    const int summary = body.horizontalAdvance(
        tr("%1 selected, %2").arg(Texts::count(88888), QString::fromStdString(bytes(888'880'000'000))));
    const int buttons =
        selectSafe_->sizeHint().width() + footerBar_->buttonSpacing() + moveToTrash_->sizeHint().width();
    const QMargins margins = footerBar_->layout()->contentsMargins();
    return margins.left() + margins.right() + summary + footerBar_->layout()->spacing() + buttons;
}

void CategoryDetail::selectionChangedByUser() {
    if (applyingPicked_)
        return;
    focusOwedTo_ = focusLentTo_ = nullptr; // the user moved on
    picked_ = TableViews::selectedRows(*table_, *items_);
    pickedChanged();
}

void CategoryDetail::pickedChanged() {
    const std::vector<CleanupItem>& items = items_->rows();
    pickedCount_ = 0;
    pickedSize_ = 0;
    pickedTrashable_ = false;
    for (std::size_t index = 0; index < items.size(); ++index)
        if (picked_[index]) {
            ++pickedCount_;
            pickedSize_ += items[index].size;
            pickedTrashable_ = pickedTrashable_ || items[index].action == CleanupAction::trash;
        }
    applyPicked();
    redrawFooter();
}

void CategoryDetail::applyPicked() {
    applyingPicked_ = true;
    TableViews::selectRows(*table_, *items_, picked_);
    applyingPicked_ = false;
}

void CategoryDetail::redrawHeader() {
    const CategoryID id = category_.id;
    header_->setTitle(QString::fromStdString(Explanations::title(id)));
    table_->setAccessibleName(tr("Items of %1").arg(QString::fromStdString(Explanations::title(id))));
    header_->setSafety(category_.safety());
    header_->setSize(category_.sizeIsEstimate ? tr("Size not disclosed by macOS")
                                              : QString::fromStdString(bytes(category_.size)));
    header_->setExplanation(QString::fromStdString(Explanations::text(id, context_.model.isLinuxHome())));
    note_->setText(category_.note ? QString::fromStdString(*category_.note) : QString());
    note_->setVisible(category_.note.has_value());
    showAccessHintSlot();
    const bool rest = id == CategoryID::other;
    const bool noItems = items_->rows().empty();
    empty_->setVisible(noItems && !rest);
    unexplained_->setVisible(noItems && rest);
}

void CategoryDetail::showAccessHintSlot() {
    if (!accessHintSlot_)
        return;
    const CategoryID id = category_.id;
    const bool limitedByAccess = id == CategoryID::trash || id == CategoryID::mailDownloads ||
                                 id == CategoryID::messages || id == CategoryID::iosBackups;
    accessHintSlot_->setVisible(limitedByAccess && !accessHint_->isHidden());
}

bool CategoryDetail::eventFilter(QObject* watched, QEvent* event) {
    if (watched == accessHint_ && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        showAccessHintSlot();
    return QWidget::eventFilter(watched, event);
}

void CategoryDetail::redrawFooter() {
    footerBar_->setSummary(summary());
    const AppModel& model = context_.model;
    const bool demo = model.isDemo();
    const auto& items = items_->rows();
    auto any = [&items](auto test) { return std::any_of(items.begin(), items.end(), test); };
    auto running = [&](DeletionsInFlight::Kind kind) { return DeletionsInFlight::shared().isRunning(model, kind); };
    const bool trashable = any([](const CleanupItem& item) { return item.action == CleanupAction::trash; });
    // Where the keyboard was, should it be on a footer action that this redraw takes away.
    QWidget* const focused = window()->focusWidget();
    const bool footerFocused = focused && footerBar_->isAncestorOf(focused);

    // Each action is shown or hidden once, as it ends up: hiding the focused button even for a
    // moment would send the focus out of the pane.
    std::set<QWidget*> shown;
    for (QPushButton* deletion : {emptyTrash_, deleteSnapshots_, removeUnavailable_})
        deletion->setToolTip(Texts::demoTooltip(demo));
    switch (category_.id) {
    case CategoryID::trash: {
        // Emptying a large Trash takes a while; until it ends the pane says so.
        const bool emptying = running(DeletionsInFlight::Kind::emptyTrash);
        if (emptying)
            shown.insert(emptying_);
        shown.insert(emptyTrash_);
        emptyTrash_->setEnabled(!items.empty() && !demo && !emptying);
        break;
    }
    case CategoryID::snapshots:
        shown.insert(deleteSnapshots_);
        deleteSnapshots_->setEnabled(pickedCount_ > 0 && !demo && !running(DeletionsInFlight::Kind::snapshots));
        break;
    case CategoryID::simulators:
        shown.insert(removeUnavailable_);
        removeUnavailable_->setEnabled(
            any([](const CleanupItem& item) { return item.source == "simulators.unavailable"; }) && !demo &&
            !running(DeletionsInFlight::Kind::simulators));
        break;
    default:
        if (category_.id == CategoryID::projects && model.settings().projectFolders.empty()) {
            shown.insert(chooseFolders_);
        } else if (trashable) {
            shown.insert(selectSafe_);
            selectSafe_->setEnabled(any([](const CleanupItem& item) {
                return item.safety == Safety::safe && item.action == CleanupAction::trash;
            }));
            shown.insert(moveToTrash_);
            moveToTrash_->setEnabled(pickedTrashable_);
        } else if (!items.empty()) {
            onlyShown_->setFullText(QString::fromStdString(items.front().reason));
            shown.insert(onlyShown_);
        }
        break;
    }
    for (QWidget* action : {static_cast<QWidget*>(onlyShown_), emptying_, static_cast<QWidget*>(emptyTrash_),
                            static_cast<QWidget*>(deleteSnapshots_), static_cast<QWidget*>(removeUnavailable_),
                            static_cast<QWidget*>(chooseFolders_), static_cast<QWidget*>(selectSafe_),
                            static_cast<QWidget*>(moveToTrash_)})
        action->setVisible(shown.contains(action));
    moveToTrashAction_->setEnabled(shown.contains(moveToTrash_) && moveToTrash_->isEnabled());
    if (footerFocused && !(focused->isVisibleTo(this) && focused->isEnabled())) {
        QWidget* lent = keepFocusInPane();
        // A deletion's button is off only while the deletion runs: the focus comes back to it.
        const bool deletion = focused == emptyTrash_ || focused == deleteSnapshots_ || focused == removeUnavailable_;
        focusOwedTo_ = deletion ? focused : nullptr;
        focusLentTo_ = deletion ? lent : nullptr;
    } else if (focusOwedTo_ && focusOwedTo_->isVisibleTo(this) && focusOwedTo_->isEnabled()) {
        if (focusLentTo_ && window()->focusWidget() == focusLentTo_)
            focusOwedTo_->setFocus(Qt::OtherFocusReason);
        focusOwedTo_ = focusLentTo_ = nullptr;
    }
}

QWidget* CategoryDetail::keepFocusInPane() {
    // The footer's action that is left, else the table the actions work on, its current row
    // ringed; an empty table shows no focus, so then what comes before it (the category list).
    for (QPushButton* action :
         {moveToTrash_, selectSafe_, emptyTrash_, deleteSnapshots_, removeUnavailable_, chooseFolders_})
        if (action->isVisibleTo(this) && action->isEnabled()) {
            action->setFocus(Qt::OtherFocusReason);
            return action;
        }
    if (items_->rowCount() > 0) {
        if (!table_->currentIndex().isValid())
            table_->selectionModel()->setCurrentIndex(items_->index(0, 0), QItemSelectionModel::NoUpdate);
        table_->setFocus(Qt::OtherFocusReason);
        return table_;
    }
    for (QWidget* before = table_->previousInFocusChain(); before && before != table_;
         before = before->previousInFocusChain())
        if ((before->focusPolicy() & Qt::TabFocus) && before->isVisible() && before->isEnabled() &&
            before->window() == window() && !footerBar_->isAncestorOf(before)) {
            before->setFocus(Qt::BacktabFocusReason);
            return before;
        }
    table_->setFocus(Qt::OtherFocusReason);
    return table_;
}

std::vector<CleanupItem> CategoryDetail::targets(const QPoint& viewportPoint) const {
    const QModelIndex clicked = table_->indexAt(viewportPoint);
    if (!clicked.isValid())
        return {};
    // A click on a picked row acts on the whole pick, on any other row on that row alone.
    const std::size_t index = items_->rowIndex(clicked.row());
    if (picked_[index])
        return pickedItems();
    return {items_->rows()[index]};
}

std::unique_ptr<QMenu> CategoryDetail::contextMenu(const QPoint& viewportPoint) {
    const std::vector<CleanupItem> chosen = targets(viewportPoint);
    auto menu = std::make_unique<QMenu>(this);
    QAction* trash = menu->addAction(tr("Move to Trash…"), this, [this, chosen] { moveToTrash(chosen); });
    trash->setEnabled(std::any_of(chosen.begin(), chosen.end(),
                                  [](const CleanupItem& item) { return item.action == CleanupAction::trash; }));
    menu->addAction(tr("Show in Files"), this, [chosen] {
        std::vector<std::string> paths;
        for (const CleanupItem& item : chosen)
            if (item.url.isFile())
                paths.push_back(item.url.path());
        Desktop::reveal(paths);
    });
    return menu;
}

void CategoryDetail::moveToTrash(std::vector<CleanupItem> items) {
    context_.model.requestCleanup(std::move(items), Wording::categoryTitle(category_.id));
}

void CategoryDetail::chooseProjectFolders() {
    std::optional<QStringList> chosen = context_.pickFolders(this);
    if (!chosen)
        return;
    chosen->sort();
    SettingKeys::scanProjects.set(*context_.model.services().settings, *chosen);
    context_.model.startScan(AppModel::Apps::reload);
    redrawFooter();
}

void CategoryDetail::selectSafeItems() {
    const std::vector<CleanupItem>& items = items_->rows();
    for (std::size_t index = 0; index < items.size(); ++index)
        picked_[index] = items[index].safety == Safety::safe && items[index].action == CleanupAction::trash;
    pickedChanged();
}

bool& CategoryDetail::flag(DeletionsInFlight::Kind kind) {
    switch (kind) {
    case DeletionsInFlight::Kind::emptyTrash:
        return confirmTrash_;
    case DeletionsInFlight::Kind::snapshots:
        return confirmSnapshots_;
    case DeletionsInFlight::Kind::simulators:
        break;
    }
    return confirmSimulators_;
}

void CategoryDetail::confirm(DeletionsInFlight::Kind kind) {
    if (flag(kind))
        return;
    QString title, message, button;
    switch (kind) {
    case DeletionsInFlight::Kind::emptyTrash:
        title = tr("Empty the Trash?");
        message = tr("Dovrane deletes everything in the Trash. This cannot be undone, and Cleaned Up can no longer put "
                     "those items back.");
        button = tr("Empty Trash");
        break;
    case DeletionsInFlight::Kind::snapshots:
        title = tr("Delete %Ln snapshots?", nullptr, int(pickedCount_));
        message = tr("macOS asks for your administrator password. Deleted snapshots cannot be restored. Your Time "
                     "Machine backups on the backup disk stay.");
        button = tr("Delete Snapshots");
        break;
    case DeletionsInFlight::Kind::simulators:
        title = tr("Remove unavailable simulators?");
        message = tr("Xcode deletes these simulators with their apps and data. This does not use the Trash and cannot "
                     "be undone. Simulators of your installed Xcode stay.");
        button = tr("Remove Unavailable");
        break;
    }
    auto* box = new ConfirmationDialog(title, message, button, this);
    flag(kind) = true;
    connect(box, &QDialog::finished, this, [this, kind](int result) {
        flag(kind) = false;
        if (result == QDialog::Accepted)
            runDeletion(kind);
    });
    box->open();
}

void CategoryDetail::runDeletion(DeletionsInFlight::Kind kind) {
    AppModel& model = context_.model;
    if (DeletionsInFlight::shared().isRunning(model, kind))
        return;
    QFuture<void> operation;
    switch (kind) {
    case DeletionsInFlight::Kind::emptyTrash:
        operation = model.emptyTrash();
        break;
    case DeletionsInFlight::Kind::snapshots:
        operation = model.deleteSnapshots(pickedItems());
        break;
    case DeletionsInFlight::Kind::simulators:
        operation = model.deleteUnavailableSimulators();
        break;
    }
    DeletionsInFlight::shared().track(model, kind, operation);
}

} // namespace dovrane
