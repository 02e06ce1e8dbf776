#include "CleanedPage/RemovalRow.h"

#include "AppModel/AppModel.h"
#include "AppsPage/PageControls.h"
#include "UiKit/Desktop.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <DovraneKit/scan/ScanModel.h>
#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/Trasher.h>

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace dovrane {

RemovalRow::RemovalRow(AppModel& model, std::shared_ptr<Removal> removal, QWidget* parent)
    : QWidget(parent), model_(model), removal_(std::move(removal)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 4, 0, 4);
    row->setSpacing(12);
    icon_ = new SymbolView(QStringLiteral("trash"), 20, SemanticColors::secondaryText, this);
    row->addWidget(icon_, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    // The title is data, shown as it was recorded.
    title_ = new StyledLabel(QString(), Fonts::font(FontRole::body), {}, this);
    texts->addWidget(title_);
    detail_ = new StyledLabel(QString(), Fonts::font(FontRole::callout), SemanticColors::secondaryText, this);
    texts->addWidget(detail_);
    row->addLayout(texts, 1);
    status_ = new StyledLabel(QString(), Fonts::font(FontRole::body), SemanticColors::secondaryText, this);
    row->addWidget(status_, 0, Qt::AlignVCenter);
    putBack_ = new QPushButton(tr("Put Back"), this);
    putBack_->setToolTip(tr("Moves the items from the Trash to where they were"));
    row->addWidget(putBack_, 0, Qt::AlignVCenter);
    connect(putBack_, &QPushButton::clicked, this, &RemovalRow::pressPutBack);
    refresh();
    putBack_->setAccessibleName(tr("Put Back %1").arg(title_->text()));
}

int RemovalRow::countInTrash() const {
    const auto& items = removal_->items();
    if (model_.isDemo())
        return removal_->title().contains(QLatin1String("Xcode"), Qt::CaseSensitive) ? 0 : int(items.size());
    return int(
        std::count_if(items.begin(), items.end(), [](const RemovedItem& item) { return Trasher::isInTrash(item); }));
}

// Items the desktop's own Trash window put back: out of the Trash and at their old place again.
int RemovalRow::countBackInPlace() const {
    if (model_.isDemo())
        return 0;
    const auto& items = removal_->items();
    return int(std::count_if(items.begin(), items.end(), [](const RemovedItem& item) {
        return !Trasher::isInTrash(item) && Fs::exists(item.originalPath.path());
    }));
}

void RemovalRow::refresh() {
    inTrash_ = countInTrash();
    const int items = int(removal_->items().size());
    const bool undone = removal_->undone() || (items > 0 && inTrash_ == 0 && countBackInPlace() == items);
    icon_->setSymbol(undone ? QStringLiteral("arrow.uturn.backward.circle.fill") : QStringLiteral("trash"));
    title_->setText(removal_->title());
    detail_->setText(tr("%Ln items, %1, %2", nullptr, items)
                         .arg(QString::fromStdString(bytes(removal_->size())),
                              QString::fromStdString(DateText::abbreviatedDateShortTime(removal_->date()))));

    status_->setToolTip(QString());
    if (undone) {
        status_->setText(tr("Put back"));
    } else if (inTrash_ > 0) {
        status_->setText(inTrash_ < items ? tr("%1 of %2 still in the Trash").arg(inTrash_).arg(items) : QString());
    } else {
        status_->setText(tr("Trash was emptied"));
        status_->setToolTip(tr("These items are gone for good. Dovrane cannot put them back."));
    }
    status_->setVisible(!status_->text().isEmpty());
    putBack_->setVisible(!undone && inTrash_ > 0);
    putBack_->setEnabled(!putBackPending_);
}

// One put back per record at a time: the button stays off until the model's put back has
// ended, whatever it found.
void RemovalRow::pressPutBack() {
    if (putBackPending_)
        return;
    putBackPending_ = true;
    putBack_->setEnabled(false);
    // The page drops a row whose record is gone from the journal, maybe while this runs.
    (void)startWatched(
        this, [this] { return model_.undo(removal_); },
        [this] {
            putBackPending_ = false;
            refresh();
        });
}

std::unique_ptr<QMenu> RemovalRow::menu() {
    auto menu = std::make_unique<QMenu>(this);
    const auto& items = removal_->items();
    // Only the first item is offered, also in demo mode, and only while it is really there.
    if (!items.empty() && Trasher::isInTrash(items.front())) {
        QAction* show = menu->addAction(tr("Show in Trash"));
        connect(show, &QAction::triggered, this, [path = items.front().trashPath.path()] { Desktop::reveal(path); });
    }
    return menu;
}

void RemovalRow::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> shown = menu();
    if (!shown->isEmpty())
        shown->exec(event->globalPos());
}

} // namespace dovrane
