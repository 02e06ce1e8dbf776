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

#include <DovraneKit/core/NameOrder.h>

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_map>

namespace dovrane {

namespace {

// The plan's entries, a name and a size each, worked out as the list shows them: a plan of
// tens of thousands of entries opens the sheet at once.
class PlanEntries final : public QAbstractTableModel {
public:
    PlanEntries(const CleanupRequest& request, QObject* parent)
        : QAbstractTableModel(parent), request_(request), namedBy_(request.plan.entries.size(), unnamed),
          sizeFont_(Fonts::monospacedDigits(Fonts::font(FontRole::body))) {
        // The first item with an entry's URL names it; the lookup of URLs lives only as long as
        // the constructor, each entry keeps the number of its item.
        std::unordered_map<std::string_view, std::size_t> firstItem;
        firstItem.reserve(request.items.size());
        for (std::size_t item = 0; item < request.items.size(); ++item)
            firstItem.try_emplace(request.items[item].url.text(), item);
        for (std::size_t entry = 0; entry < request.plan.entries.size(); ++entry)
            if (const auto found = firstItem.find(request.plan.entries[entry].url.text()); found != firstItem.end())
                namedBy_[entry] = found->second;
        // Listed by name in the Finder's order, as every other list of names is.
        shown_.resize(request.plan.entries.size());
        std::iota(shown_.begin(), shown_.end(), std::size_t(0));
        std::sort(shown_.begin(), shown_.end(), [this, order = NameOrder()](std::size_t a, std::size_t b) {
            return order.tieBreak(name(a), request_.plan.entries[a].url.path(), name(b),
                                  request_.plan.entries[b].url.path()) < 0;
        });
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(request_.plan.entries.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const std::size_t at = shown_[std::size_t(index.row())];
        const TrashPlan::Entry& entry = request_.plan.entries[at];
        if (index.column() == 0) {
            if (role == Qt::DisplayRole)
                return QString::fromStdString(name(at));
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
    // The first item's name for the entry, else its URL's last part.
    std::string name(std::size_t entry) const {
        const std::size_t item = namedBy_[entry];
        return item != unnamed ? request_.items[item].name : request_.plan.entries[entry].url.lastPathComponent();
    }

    static constexpr std::size_t unnamed = std::size_t(-1);
    const CleanupRequest& request_;    // the sheet's request outlives the list
    std::vector<std::size_t> namedBy_; // per entry, the item that names it
    std::vector<std::size_t> shown_;   // the entries in the order listed
    QFont sizeFont_;
};

} // namespace

CleanupSheet::CleanupSheet(AppModel& model, CleanupRequest request, QWidget* parent)
    : CleanupSheet(model, std::make_shared<const CleanupRequest>(std::move(request)), parent) {}

CleanupSheet::CleanupSheet(AppModel& model, std::shared_ptr<const CleanupRequest> request, QWidget* parent)
    : QDialog(parent), model_(model), request_(std::move(request)) {
    setWindowTitle(tr("This goes to the Trash"));
    setFixedWidth(520);
    new WindowHook(this);
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
    stack->addLayout(notes);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SheetParts::cancelButton(tr("Cancel"), this, this));
    confirm_ = SheetParts::confirmButton(
        tr("Move to Trash"), [this] { model_.perform(*request_); }, this);
    confirm_->setEnabled(!plan.entries.empty());
    buttons->addWidget(confirm_);
    stack->addLayout(buttons);
}

} // namespace dovrane
