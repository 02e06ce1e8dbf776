#include "Sheets/CleanupSheet.h"

#include "AppModel/AppModel.h"
#include "Sheets/SheetParts.h"
#include "StorageGraphics/StorageGroup.h"
#include "UiKit/DetailHeader.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/TableViews.h"
#include "WindowBehavior/FitsHeight.h"
#include "WindowBehavior/WindowHook.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include <memory>

namespace dovrane {

namespace {

// The plan's entries, a name and a size each, in the order and with the names the plan was
// listed with; a request made without them (by hand) is listed here.
class PlanEntries final : public QAbstractTableModel {
public:
    PlanEntries(const CleanupRequest& request, QObject* parent)
        : QAbstractTableModel(parent), request_(request),
          listing_(request.listing.lists(request.plan)
                       ? nullptr
                       : std::make_unique<PlanListing>(PlanListing::of(request.items, request.plan))),
          sizeFont_(Fonts::monospacedDigits(Fonts::font(FontRole::body))) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(request_.plan.entries.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const std::size_t at = listing().order[std::size_t(index.row())];
        const TrashPlan::Entry& entry = request_.plan.entries[at];
        if (index.column() == 0) {
            if (role == Qt::DisplayRole)
                return QString::fromStdString(listing().names[at]);
            if (role == Qt::ToolTipRole)
                return Texts::tooltip(QString::fromStdString(entry.url.path()));
            return {};
        }
        switch (role) {
        case Qt::DisplayRole:
            return byteText(entry.size);
        case Qt::TextAlignmentRole:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::FontRole:
            return sizeFont_;
        case Qt::ForegroundRole:
            return SemanticColors::secondaryText();
        default:
            return {};
        }
    }

private:
    const PlanListing& listing() const { return listing_ ? *listing_ : request_.listing; }

    const CleanupRequest& request_; // the sheet's request outlives the list
    const std::unique_ptr<const PlanListing> listing_;
    QFont sizeFont_;
};

} // namespace

QString CleanupSheet::changeReason(GroundCheck::Change change) {
    switch (change) {
    case GroundCheck::Change::none:
        break;
    case GroundCheck::Change::gone:
        return tr("This item changed after the scan: it is no longer there.");
    case GroundCheck::Change::replaced:
        return tr("This item changed after the scan: another item stands at its place now.");
    case GroundCheck::Change::owner:
        return tr("This item changed after the scan: it belongs to another user now.");
    case GroundCheck::Change::project:
        return tr("This item changed after the scan: its project was changed since, so it may be in use again.");
    case GroundCheck::Change::installer:
        return tr("This item changed after the scan: it is no longer an old installer, so it may have been "
                  "downloaded again.");
    }
    return {};
}

CleanupSheet::CleanupSheet(AppModel& model, CleanupRequest request, QWidget* parent)
    : CleanupSheet(model, std::make_shared<const CleanupRequest>(std::move(request)), parent) {}

CleanupSheet::CleanupSheet(AppModel& model, std::shared_ptr<const CleanupRequest> request, QWidget* parent)
    : QDialog(parent), model_(model), request_(std::move(request)) {
    setWindowTitle(tr("This goes to the Trash"));
    setFixedWidth(520);
    new FitsHeight(this);
    const TrashPlan& plan = request_->plan;

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(16);

    const QString files = tr("%Ln files, %1", nullptr, int(plan.files())).arg(byteText(plan.size()));
    stack->addWidget(
        new DetailHeader(DetailHeader::Style::sheet, {.title = tr("This goes to the Trash"), .size = files}, this));

    entries_ = new QTreeView(this);
    entries_->setModel(new PlanEntries(*request_, entries_));
    entries_->setAccessibleName(tr("What moves to the Trash"));
    entries_->setHeaderHidden(true);
    entries_->setRootIsDecorated(false);
    entries_->setUniformRowHeights(true);
    entries_->setAlternatingRowColors(false);
    entries_->setSelectionMode(QAbstractItemView::NoSelection);
    TableViews::tipCutCells(*entries_);
    entries_->setMinimumHeight(160);
    entries_->setMaximumHeight(280);
    entries_->header()->setStretchLastSection(false);
    entries_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    entries_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    stack->addWidget(entries_);

    auto* notes = new QVBoxLayout;
    notes->setSpacing(4);
    const QFont callout = Fonts::font(FontRole::callout);
    notes->addWidget(
        SheetParts::symbolLabel(QStringLiteral("arrow.uturn.backward"),
                                tr("You can put everything back from Cleaned Up until you empty the Trash."), callout,
                                SemanticColors::secondaryText, this));
    notes->addWidget(SheetParts::symbolLabel(
        QStringLiteral("internaldrive"),
        tr("The space frees up once the Trash is emptied. Dovrane then shows what was really gained."), callout,
        SemanticColors::secondaryText, this));
    if (!plan.refused.empty())
        notes->addWidget(SheetParts::symbolLabel(
            QStringLiteral("lock"),
            tr("%Ln items are protected and stay where they are.", nullptr, int(plan.refused.size())), callout,
            SemanticColors::secondaryText, this));
    // What changed after the scan stays: the first few by name and why, the rest counted.
    constexpr std::size_t namedChanges = 3;
    for (std::size_t index = 0; index < request_->changed.size() && index < namedChanges; ++index) {
        const ChangedItem& changed = request_->changed[index];
        QWidget* note = SheetParts::symbolLabel(
            QStringLiteral("exclamationmark.circle"),
            QStringLiteral("%1: %2").arg(QString::fromStdString(changed.name), changeReason(changed.change)), callout,
            SemanticColors::secondaryText, this);
        note->setToolTip(Texts::tooltip(QString::fromStdString(changed.url.path())));
        notes->addWidget(note);
    }
    if (request_->changed.size() > namedChanges)
        notes->addWidget(SheetParts::symbolLabel(QStringLiteral("exclamationmark.circle"),
                                                 tr("%Ln more items changed after the scan and stay where they are.",
                                                    nullptr, int(request_->changed.size() - namedChanges)),
                                                 callout, SemanticColors::secondaryText, this));
    stack->addLayout(notes);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton* cancel = SheetParts::cancelButton(tr("Cancel"), this, this);
    buttons->addWidget(cancel);
    confirm_ = SheetParts::confirmButton(
        tr("Move to Trash"), [this] { model_.perform(*request_); }, this);
    confirm_->setEnabled(!plan.entries.empty());
    buttons->addWidget(confirm_);
    stack->addLayout(buttons);
    // The sheet opens on what moves, its first row ringed; with nothing to move, on Cancel.
    new WindowHook(this, plan.entries.empty() ? static_cast<QWidget*>(cancel) : entries_);
}

} // namespace dovrane
