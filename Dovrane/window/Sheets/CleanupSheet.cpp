#include "Sheets/CleanupSheet.h"

#include "AppModel/AppModel.h"
#include "Sheets/SheetParts.h"
#include "StorageGraphics/StorageGroup.h"
#include "UiKit/DetailHeader.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "WindowBehavior/FitsHeight.h"
#include "WindowBehavior/WindowHook.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

namespace dovrane {

CleanupSheet::CleanupSheet(AppModel& model, CleanupRequest request, QWidget* parent)
    : QDialog(parent), model_(model), request_(std::move(request)) {
    setWindowTitle(tr("This goes to the Trash"));
    setFixedWidth(520);
    new WindowHook(this);
    new FitsHeight(this);
    const TrashPlan& plan = request_.plan;

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(16);

    const QString files = tr("%Ln files, %1", nullptr, int(plan.files())).arg(byteText(plan.size()));
    stack->addWidget(
        new DetailHeader(DetailHeader::Style::sheet, {.title = tr("This goes to the Trash"), .size = files}, this));

    entries_ = new QTreeWidget(this);
    entries_->setAccessibleName(tr("What moves to the Trash"));
    entries_->setColumnCount(2);
    entries_->setHeaderHidden(true);
    entries_->setRootIsDecorated(false);
    entries_->setAlternatingRowColors(false);
    entries_->setSelectionMode(QAbstractItemView::NoSelection);
    entries_->setTextElideMode(Qt::ElideMiddle);
    entries_->setMinimumHeight(160);
    entries_->setMaximumHeight(280);
    entries_->header()->setStretchLastSection(false);
    entries_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    entries_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    const QFont sizeFont = Fonts::monospacedDigits(Fonts::font(FontRole::body));
    for (const TrashPlan::Entry& entry : plan.entries) {
        auto* row = new QTreeWidgetItem(entries_);
        row->setText(0, name(request_, entry.url));
        row->setToolTip(0, Texts::tooltip(QString::fromStdString(entry.url.path())));
        row->setText(1, byteText(entry.size));
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        row->setFont(1, sizeFont);
        row->setForeground(1, SemanticColors::secondaryText());
    }
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
        tr("Move to Trash"), [this] { model_.perform(request_); }, this);
    confirm_->setEnabled(!plan.entries.empty());
    buttons->addWidget(confirm_);
    stack->addLayout(buttons);
}

QString CleanupSheet::name(const CleanupRequest& request, const Url& url) {
    for (const CleanupItem& item : request.items)
        if (item.url == url)
            return QString::fromStdString(item.name);
    return QString::fromStdString(url.lastPathComponent());
}

} // namespace dovrane
