#include "CleanedPage/CleanedPage.h"

#include "AppModel/AppModel.h"
#include "AppsPage/PageControls.h"
#include "CleanedPage/RemovalRow.h"
#include "UiKit/AccessibleRole.h"
#include "UiKit/FocusRing.h"
#include "UiKit/PageKit.h"
#include "UiKit/SemanticColors.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace dovrane {

// The scrolling list: the header sentence, then one card of rows, laid out by hand. The content
// is as tall as every row together, but widgets exist only for the rows in view and a screen
// more either side, so that Tab finds the next row; the card itself covers only the part in
// view, its rounded ends out of sight while the list goes on beyond. While the list itself has
// the focus, a ring marks the row of the record the keyboard is on; the arrows, Page Up and
// Down, Home and End move it.
class JournalView final : public QAbstractScrollArea {
public:
    static constexpr int side = 20, ends = 16, belowHeader = 4, rowInset = 12, cardPadding = 4;

    JournalView(CleanedPage& page, AppModel& model, StyledLabel* header)
        : page_(page), model_(model), header_(header), card_(new Card(viewport())),
          marker_(new FocusRing::Marker(card_)) {
        AccessibleRole::set(this, QAccessible::List);
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // As a scroll area's: the page's own background shows through.
        viewport()->setBackgroundRole(QPalette::NoRole);
        viewport()->setAutoFillBackground(false);
        header_->setParent(viewport());
        card_->hide();
        // Every row is as tall as one that shows all it can.
        RemovalRow probe(model_);
        probe.title()->setText(QStringLiteral("Xy"));
        probe.detail()->setText(QStringLiteral("Xy"));
        probe.status()->setText(QStringLiteral("Xy"));
        probe.status()->show();
        probe.putBack()->show();
        rowHeight_ = std::max(probe.sizeHint().height(), 1);
    }

    // Places the header, the card and the rows for the scroll position, asks for the pages
    // they need and lets go of the pages far from the view.
    void arrange() {
        const int width = viewport()->width();
        const int height = viewport()->height();
        const int total = std::max(page_.total_, 0);
        const int headerHeight = header_->heightForWidth(width - 2 * side);
        const qint64 cardHeight = total > 0 ? 2 * cardPadding + qint64(total) * rowHeight_ : 0;
        const qint64 content = ends + headerHeight + belowHeader + cardHeight + ends;
        QScrollBar* bar = verticalScrollBar();
        bar->setRange(0, int(std::clamp<qint64>(content - height, 0, INT_MAX)));
        bar->setPageStep(height);
        bar->setSingleStep(20);
        const int top = bar->value();
        header_->setGeometry(side, ends - top, width - 2 * side, headerHeight);
        cardStart_ = ends + headerHeight + belowHeader;
        const qint64 cardTop = cardStart_ - top;
        current_ = std::clamp(current_, 0, std::max(total - 1, 0));

        int first = 0, last = 0;
        if (total > 0) {
            const int slack = 2 * int(Card::cornerRadius);
            const qint64 shownTop = std::max<qint64>(cardTop, -slack);
            const qint64 shownBottom = std::min<qint64>(cardTop + cardHeight, height + slack);
            card_->setGeometry(side, int(shownTop), width - 2 * side, int(std::max<qint64>(shownBottom - shownTop, 0)));
            card_->show();
            const qint64 screen = height / rowHeight_ + 1;
            const qint64 inView = std::max<qint64>(-cardTop - cardPadding, 0) / rowHeight_;
            first = int(std::clamp<qint64>(inView - screen, 0, total));
            last = int(std::clamp<qint64>(inView + 2 * screen + 1, 0, total));
            for (auto shown = shown_.begin(); shown != shown_.end();) {
                if (shown->first >= first && shown->first < last) {
                    ++shown;
                    continue;
                }
                shown->second->hide();
                shown->second->clear();
                spare_.push_back(shown->second);
                shown = shown_.erase(shown);
            }
            RemovalRow* previous = nullptr;
            for (int index = first; index < last; ++index) {
                RemovalRow*& row = shown_[index];
                if (!row)
                    row = takeRow();
                row->setGeometry(rowInset, int(cardTop + cardPadding + qint64(index) * rowHeight_ - shownTop),
                                 card_->width() - 2 * rowInset, rowHeight_);
                bool counted = false;
                if (const JournalEntry* entry = page_.entryAt(index, &counted))
                    row->setEntry(*entry, counted, entry->record && page_.puttingBack_.contains(entry->record->uuid()));
                else
                    row->clear();
                row->show();
                if (previous)
                    QWidget::setTabOrder(previous->putBack(), row->putBack());
                previous = row;
            }
        } else {
            card_->hide();
            for (auto& [index, row] : shown_) {
                row->hide();
                row->clear();
                spare_.push_back(row);
            }
            shown_.clear();
        }
        page_.empty_->setVisible(page_.total_ == 0);
        placeMarker();

        // The pages of the rows placed; before the first read, the first page.
        const int firstPage = first / CleanedPage::pageSize;
        const int lastPage = last > first ? (last - 1) / CleanedPage::pageSize : firstPage;
        for (int index = firstPage; index <= lastPage; ++index)
            page_.read(index);
        std::erase_if(page_.pages_,
                      [&](const auto& entry) { return entry.first < firstPage - 1 || entry.first > lastPage + 1; });
    }

    std::vector<RemovalRow*> rows() const {
        std::vector<RemovalRow*> shown;
        for (const auto& [index, row] : shown_)
            shown.push_back(row);
        return shown;
    }

    // The pages whose rows are placed now.
    std::pair<int, int> pagesPlaced() const {
        if (shown_.empty())
            return {0, 0};
        return {shown_.begin()->first / CleanedPage::pageSize, shown_.rbegin()->first / CleanedPage::pageSize};
    }

    // The row of the record the keyboard is on, while the list has the focus and the row is placed.
    RemovalRow* currentRow() const {
        const auto found = shown_.find(current_);
        return hasFocus() && found != shown_.end() ? found->second : nullptr;
    }
    const QWidget* marker() const { return marker_; }

protected:
    void scrollContentsBy(int, int) override { arrange(); }

    // The arrows, Page Up and Down, Home and End move the keyboard's row and bring it into view;
    // Home and End reach the newest and the oldest record, also from a row's button. The list
    // takes the focus first: the row that had it is given to another record once out of view.
    void keyPressEvent(QKeyEvent* event) override {
        const int total = std::max(page_.total_, 0);
        const int pageRows = std::max(viewport()->height() / rowHeight_ - 1, 1);
        const Qt::KeyboardModifiers extra = event->modifiers() & ~Qt::KeypadModifier;
        std::optional<int> target;
        switch (event->key()) {
        case Qt::Key_Home:
        case Qt::Key_End:
            if (!(extra & ~Qt::ControlModifier))
                target = event->key() == Qt::Key_Home ? 0 : total - 1;
            break;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            if (!extra) {
                const int step = event->key() == Qt::Key_Up ? -1 : event->key() == Qt::Key_Down ? 1 : pageRows;
                target = current_ + (event->key() == Qt::Key_PageUp ? -step : step);
            }
            break;
        default:
            break;
        }
        if (!target || total == 0) {
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
        // From a row's button (Page Up and Down reach the list from there) the keyboard moves on
        // from that row.
        if (QWidget* focused = QApplication::focusWidget(); focused && viewport()->isAncestorOf(focused)) {
            const bool fromEnd = event->key() == Qt::Key_Home || event->key() == Qt::Key_End;
            for (const auto& [index, row] : shown_)
                if (!fromEnd && row->isAncestorOf(focused)) {
                    *target += index - current_;
                    break;
                }
            setFocus(Qt::OtherFocusReason);
        }
        current_ = std::clamp(*target, 0, total - 1);
        bringIntoView(current_);
        arrange();
    }

    // Coming in, the keyboard takes the row it was on, or the first in view when that is gone from it.
    void focusInEvent(QFocusEvent* event) override {
        QAbstractScrollArea::focusInEvent(event);
        const int total = std::max(page_.total_, 0);
        if (total > 0 && !isInView(current_))
            current_ = std::clamp(firstInView(), 0, total - 1);
        arrange();
    }

    void focusOutEvent(QFocusEvent* event) override {
        QAbstractScrollArea::focusOutEvent(event);
        placeMarker();
    }

    void resizeEvent(QResizeEvent* event) override {
        QAbstractScrollArea::resizeEvent(event);
        arrange();
    }

    // Tab may land on a row out of view: the list scrolls to it, which places the rows after it.
    bool focusNextPrevChild(bool next) override {
        const bool moved = QAbstractScrollArea::focusNextPrevChild(next);
        QWidget* focused = QApplication::focusWidget();
        if (moved && focused && viewport()->isAncestorOf(focused)) {
            const QRect area(focused->mapTo(viewport(), QPoint(0, 0)), focused->size());
            QScrollBar* bar = verticalScrollBar();
            if (area.top() < 0)
                bar->setValue(bar->value() + area.top() - cardPadding);
            else if (area.bottom() > viewport()->height())
                bar->setValue(bar->value() + area.bottom() - viewport()->height() + cardPadding);
        }
        return moved;
    }

private:
    qint64 rowTop(int index) const { return cardStart_ + cardPadding + qint64(index) * rowHeight_; }
    int firstInView() const {
        const qint64 below = verticalScrollBar()->value() - cardStart_ - cardPadding;
        return int(std::max<qint64>((below + rowHeight_ - 1) / rowHeight_, 0));
    }
    bool isInView(int index) const {
        const qint64 top = rowTop(index) - verticalScrollBar()->value();
        return top >= 0 && top + rowHeight_ <= viewport()->height();
    }

    // Scrolls as little as brings the row into view; the newest and the oldest all the way, so
    // the header or the card's end shows with them.
    void bringIntoView(int index) {
        QScrollBar* bar = verticalScrollBar();
        if (index == 0) {
            bar->triggerAction(QAbstractSlider::SliderToMinimum);
        } else if (index == std::max(page_.total_, 0) - 1) {
            bar->triggerAction(QAbstractSlider::SliderToMaximum);
        } else if (!isInView(index)) {
            const qint64 top = rowTop(index) - bar->value();
            bar->setValue(int(top < 0 ? rowTop(index) - cardPadding
                                      : rowTop(index) + rowHeight_ - viewport()->height() + cardPadding));
        }
    }

    // The ring round the keyboard's row, a little wider than the row, inside the card. The keys
    // stay with the list, so the list tells a screen reader which record they are on.
    void placeMarker() {
        const auto found = shown_.find(current_);
        if (!hasFocus() || found == shown_.end()) {
            marker_->hide();
            return;
        }
        const RemovalRow& row = *found->second;
        const int room = rowInset / 2;
        marker_->setGeometry(row.geometry().adjusted(-room, 0, room, 0));
        marker_->raise();
        marker_->show();
        marker_->update();
        const QString said = row.title()->text().isEmpty()
                                 ? QString()
                                 : row.title()->text() + QStringLiteral(", ") + row.detail()->text();
        if (accessibleDescription() != said)
            setAccessibleDescription(said);
    }

    RemovalRow* takeRow() {
        if (!spare_.empty()) {
            RemovalRow* row = spare_.back();
            spare_.pop_back();
            return row;
        }
        auto* row = new RemovalRow(model_, card_);
        connect(row, &RemovalRow::putBackPressed, &page_, &CleanedPage::putBack);
        return row;
    }

    CleanedPage& page_;
    AppModel& model_;
    StyledLabel* header_;
    Card* card_;
    FocusRing::Marker* marker_;
    int rowHeight_ = 1;
    qint64 cardStart_ = 0;             // where the card begins in the content
    int current_ = 0;                  // the record the keyboard is on, by position in the journal
    std::map<int, RemovalRow*> shown_; // by position in the journal
    std::vector<RemovalRow*> spare_;
};

CleanedPage::CleanedPage(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setWindowTitle(tr("Cleaned Up"));
    header_ = new StyledLabel(
        tr("Dovrane moves things to the Trash. They stay there until you empty the Trash and confirm it."),
        Fonts::font(FontRole::callout), SemanticColors::secondaryText, this);
    header_->setWordWrap(true);
    view_ = new JournalView(*this, model_, header_);
    view_->setAccessibleName(windowTitle());

    empty_ = new ContentUnavailableView(tr("Nothing cleaned up yet"), QStringLiteral("arrow.uturn.backward.circle"),
                                        tr("What you move to the Trash with Dovrane shows up here, ready to put back."),
                                        this);
    empty_->setAttribute(Qt::WA_TransparentForMouseEvents);
    empty_->hide();
    auto* stack = new QGridLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(view_, 0, 0);
    stack->addWidget(empty_, 0, 0);

    // The database announces every insert and save; that stands in for a live query. Several
    // announcements in one turn of the event loop make one read.
    connect(&model_.container(), &ModelContainer::changed, this, [this] {
        if (std::exchange(reloadQueued_, true))
            return;
        QTimer::singleShot(0, this, [this] {
            reloadQueued_ = false;
            reload();
        });
    });
    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::isDemo)
            reload();
    });
    view_->arrange();
}

CleanedPage::~CleanedPage() = default;

std::vector<RemovalRow*> CleanedPage::rows() const { return view_->rows(); }

QAbstractScrollArea* CleanedPage::list() const { return view_; }

RemovalRow* CleanedPage::keyboardRow() const { return view_->currentRow(); }

const QWidget* CleanedPage::keyboardRing() const { return view_->marker(); }

bool CleanedPage::isSettled() const {
    if (total_ < 0)
        return false;
    const auto [first, last] = view_->pagesPlaced();
    for (int index = first; index <= last; ++index) {
        const auto found = pages_.find(index);
        if (found == pages_.end() || found->second.generation != generation_ || !found->second.recounted)
            return false;
    }
    return true;
}

void CleanedPage::reload() {
    ++generation_;
    unreadable_.clear();
    view_->arrange();
}

// One read of a page at a time: a change while it runs reads the page again once it is back,
// so a burst of changes to a record of a hundred thousand items never parses it twice at once.
void CleanedPage::read(int page) {
    const auto found = pages_.find(page);
    if ((found != pages_.end() && found->second.generation == generation_) || unreadable_.contains(page) ||
        !reading_.insert(page).second)
        return;
    // The model finishes its futures on the main thread, where the page may be gone by then.
    model_.journalPage(page * pageSize, pageSize)
        .then([self = QPointer<CleanedPage>(this), page, generation = generation_](std::optional<JournalPage> read) {
            if (self)
                self->pageRead(page, generation, std::move(read));
        });
}

void CleanedPage::pageRead(int page, std::uint64_t generation, std::optional<JournalPage> read) {
    reading_.erase(page);
    // A store that cannot be read keeps what shows, or shows no record at first; the next change
    // of it tries again.
    if (!read) {
        if (generation == generation_)
            unreadable_.insert(page);
        if (total_ < 0)
            total_ = 0;
        view_->arrange();
        return;
    }
    const auto old = pages_.find(page);
    // An older read only fills a gap; the page in view is read again.
    if (generation != generation_ && (old != pages_.end() || total_ >= 0)) {
        view_->arrange();
        return;
    }
    if (generation == generation_ || total_ < 0)
        total_ = read->total;
    Page fresh{generation, std::move(read->entries)};
    // Until the Trash is counted again, the rows keep the counts they showed, so nothing blinks.
    std::map<QUuid, const JournalEntry*> before;
    if (old != pages_.end() && old->second.counted)
        for (const JournalEntry& entry : old->second.entries)
            if (entry.record)
                before.emplace(entry.record->uuid(), &entry);
    fresh.counted = !before.empty();
    for (JournalEntry& entry : fresh.entries) {
        // A record whose change waits to be saved shows as the container holds it.
        if (auto unsaved = entry.id != 0 ? model_.container().unsaved(entry.id) : nullptr)
            entry.record = std::move(unsaved);
        if (!entry.record)
            continue;
        if (const auto known = before.find(entry.record->uuid()); known != before.end()) {
            entry.inTrash = known->second->inTrash;
            entry.backInPlace = known->second->backInPlace;
        } else {
            fresh.counted = false;
        }
    }
    std::vector<JournalEntry> toCount = fresh.entries;
    pages_[page] = std::move(fresh);
    view_->arrange();
    model_.countInTrash(std::move(toCount))
        .then([self = QPointer<CleanedPage>(this), page, generation](std::vector<JournalEntry> counted) {
            if (self)
                self->pageCounted(page, generation, std::move(counted));
        });
}

void CleanedPage::pageCounted(int page, std::uint64_t generation, std::vector<JournalEntry> counted) {
    const auto found = pages_.find(page);
    if (found == pages_.end() || found->second.generation != generation)
        return;
    found->second.entries = std::move(counted);
    found->second.counted = found->second.recounted = true;
    view_->arrange();
}

const JournalEntry* CleanedPage::entryAt(int index, bool* counted) const {
    const auto found = pages_.find(index / pageSize);
    if (found == pages_.end() || std::size_t(index % pageSize) >= found->second.entries.size())
        return nullptr;
    *counted = found->second.counted;
    return &found->second.entries[std::size_t(index % pageSize)];
}

// One put back per record at a time: its button stays off until the model's put back has
// ended, whatever it found.
void CleanedPage::putBack(const JournalEntry& entry) {
    if (!entry.record || puttingBack_.contains(entry.record->uuid()))
        return;
    std::shared_ptr<Removal> record = model_.container().adopt(entry.id, *entry.record);
    if (!record)
        return;
    const QUuid uuid = record->uuid();
    puttingBack_.insert(uuid);
    view_->arrange();
    // The window may drop the page while this runs, even within the press (demo mode).
    (void)startWatched(
        this, [this, record] { return model_.undo(record); },
        [this, uuid] {
            puttingBack_.erase(uuid);
            reload();
        });
}

} // namespace dovrane
