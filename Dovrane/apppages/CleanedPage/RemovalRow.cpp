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
#include <QFuture>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

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
    // Until the Trash has been looked at, nothing is offered.
    status_->hide();
    putBack_->hide();
    refresh();
    putBack_->setAccessibleName(tr("Put Back %1").arg(title_->text()));
}

namespace {

// Records up to this many items are looked at on the spot; the Trash of a larger one is read on
// a worker thread, since every item costs a look at its info file.
constexpr std::size_t lookedAtOnce = 200;

} // namespace

RemovalRow::TrashCount RemovalRow::count(const std::vector<RemovedItem>& items) {
    TrashCount counted;
    counted.inTrash = int(
        std::count_if(items.begin(), items.end(), [](const RemovedItem& item) { return Trasher::isInTrash(item); }));
    // Items the desktop's own Trash window put back: out of the Trash and at their old place
    // again. Only asked when nothing is left in the Trash.
    if (counted.inTrash == 0)
        counted.backInPlace = int(std::count_if(items.begin(), items.end(), [](const RemovedItem& item) {
            return !Trasher::isInTrash(item) && Fs::exists(item.originalPath.path());
        }));
    return counted;
}

void RemovalRow::refresh() {
    const auto& items = removal_->items();
    title_->setText(removal_->title());
    detail_->setText(tr("%Ln items, %1, %2", nullptr, int(items.size()))
                         .arg(QString::fromStdString(bytes(removal_->size())),
                              QString::fromStdString(DateText::abbreviatedDateShortTime(removal_->date()))));
    const std::uint64_t look = ++looks_;
    if (model_.isDemo()) {
        const int inTrash =
            removal_->title().contains(QLatin1String("Xcode"), Qt::CaseSensitive) ? 0 : int(items.size());
        showCount({inTrash, 0});
    } else if (items.size() <= lookedAtOnce) {
        showCount(count(items));
    } else {
        // The row keeps what it showed until the count arrives; a later refresh wins.
        QtConcurrent::run([items] { return count(items); }).then(this, [this, look](TrashCount counted) {
            if (look == looks_)
                showCount(counted);
        });
    }
}

void RemovalRow::showCount(TrashCount counted) {
    inTrash_ = counted.inTrash;
    const int items = int(removal_->items().size());
    const bool undone = removal_->undone() || (items > 0 && inTrash_ == 0 && counted.backInPlace == items);
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
