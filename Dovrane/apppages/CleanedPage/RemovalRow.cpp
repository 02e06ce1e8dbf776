#include "CleanedPage/RemovalRow.h"

#include "AppModel/AppModel.h"
#include "UiKit/Desktop.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <DovraneKit/scan/ScanModel.h>
#include <DovraneKit/trash/Trasher.h>

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace dovrane {

RemovalRow::RemovalRow(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 4, 0, 4);
    row->setSpacing(12);
    icon_ = new SymbolView(QStringLiteral("trash"), 20, SemanticColors::secondaryText, this);
    row->addWidget(icon_, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    // The title is data, shown as it was recorded; cut short, whole in its tooltip.
    title_ = new ElidedLabel(QString(), Fonts::font(FontRole::body), {}, this);
    texts->addWidget(title_);
    detail_ = new ElidedLabel(QString(), Fonts::font(FontRole::callout), SemanticColors::secondaryText, this);
    texts->addWidget(detail_);
    row->addLayout(texts, 1);
    auto* state = new QHBoxLayout;
    state->setSpacing(4);
    statusMark_ = new SymbolView(QStringLiteral("checkmark.circle"), 14, SemanticColors::secondaryText, this);
    state->addWidget(statusMark_, 0, Qt::AlignVCenter);
    status_ = new StyledLabel(QString(), Fonts::font(FontRole::body), SemanticColors::secondaryText, this);
    state->addWidget(status_, 0, Qt::AlignVCenter);
    row->addLayout(state);
    putBack_ = new QPushButton(tr("Put Back"), this);
    putBack_->setToolTip(tr("Moves the items from the Trash to where they were"));
    row->addWidget(putBack_, 0, Qt::AlignVCenter);
    connect(putBack_, &QPushButton::clicked, this, [this] {
        if (entry_.record)
            emit putBackPressed(entry_);
    });
    clear();
}

void RemovalRow::clear() {
    entry_ = {};
    inTrash_ = 0;
    title_->setFullText({});
    detail_->setFullText({});
    icon_->setSymbol(QStringLiteral("trash"));
    // Until the Trash has been looked at, nothing is offered.
    statusMark_->hide();
    status_->hide();
    putBack_->hide();
}

void RemovalRow::setEntry(const JournalEntry& entry, bool counted, bool pressed) {
    if (!entry.record) {
        clear();
        return;
    }
    entry_ = entry;
    const Removal& removal = *entry.record;
    const int items = int(removal.items().size());
    title_->setFullText(removal.title());
    detail_->setFullText(tr("%Ln items, %1, %2", nullptr, items)
                             .arg(QString::fromStdString(bytes(removal.size())),
                                  QString::fromStdString(DateText::abbreviatedDateShortTime(removal.date()))));
    putBack_->setAccessibleName(tr("Put Back %1").arg(removal.title()));
    int backInPlace = 0;
    if (model_.isDemo()) {
        inTrash_ = removal.title().contains(QLatin1String("Xcode"), Qt::CaseSensitive) ? 0 : items;
    } else if (counted) {
        inTrash_ = entry.inTrash;
        backInPlace = entry.backInPlace;
    } else if (!removal.undone()) {
        inTrash_ = 0;
        statusMark_->hide();
        status_->hide();
        putBack_->hide();
        return;
    }
    // Items the desktop's own Trash window put back: out of the Trash and at their old place again.
    const bool undone = removal.undone() || (items > 0 && inTrash_ == 0 && backInPlace == items);
    icon_->setSymbol(undone ? QStringLiteral("arrow.uturn.backward.circle.fill") : QStringLiteral("trash"));
    status_->setToolTip(QString());
    if (undone) {
        status_->setText(tr("Put back"));
    } else if (inTrash_ > 0) {
        status_->setText(inTrash_ < items
                             ? tr("%1 of %2 still in the Trash").arg(Texts::count(inTrash_), Texts::count(items))
                             : QString());
    } else {
        status_->setText(tr("Trash was emptied"));
        status_->setToolTip(tr("These items are gone for good. Dovrane cannot put them back."));
    }
    status_->setVisible(!status_->text().isEmpty());
    statusMark_->setVisible(undone);
    putBack_->setVisible(!undone && inTrash_ > 0);
    putBack_->setEnabled(!pressed);
}

std::unique_ptr<QMenu> RemovalRow::menu() {
    auto menu = std::make_unique<QMenu>(this);
    if (!entry_.record)
        return menu;
    const auto& items = entry_.record->items();
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
