#include "ContentView/ContentView.h"

#include "ContentView/NoticeBar.h"
#include "ContentView/Notifications.h"
#include "ContentView/Pages.h"
#include "ContentView/ScanToolbar.h"
#include "ContentView/SheetHost.h"
#include "Grid/GridOverlay.h"
#include "Services/UrlLists.h"
#include "Theme/Theme.h"
#include "UiKit/FocusRing.h"
#include "UiKit/Fonts.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace dovrane {

namespace {

const QString uriList = QStringLiteral("text/uri-list");
constexpr int sidebarMinimumWidth = 180;
constexpr int sidebarInitialWidth = 212;
// The symbols alone, with room for a badge at their corner.
constexpr int sidebarCompactWidth = 56;

bool isCompact(const QWidget* list) { return list && list->property("compact").toBool(); }

SidebarItem itemOfRow(int row) { return allSidebarItems.at(std::size_t(row)); }

int rowOfItem(SidebarItem item) {
    for (std::size_t row = 0; row < allSidebarItems.size(); ++row)
        if (allSidebarItems[row] == item)
            return int(row);
    return 0;
}

} // namespace

void SidebarBadgeDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const QString symbol = index.data(symbolRole).toString();
    if (symbol.isEmpty() || !option->widget)
        return;
    if (isCompact(option->widget)) {
        option->text.clear();
        option->features &= ~QStyleOptionViewItem::HasDisplay;
        option->decorationAlignment = Qt::AlignCenter;
        option->decorationSize = QSize(20, 20);
    }
    const QColor color = option->state.testFlag(QStyle::State_Selected)
                             ? option->palette.color(QPalette::HighlightedText)
                             : SemanticColors::tint(*option->widget);
    option->icon =
        QIcon(Symbols::pixmap(symbol, option->decorationSize.width(), color, option->widget->devicePixelRatioF()));
}

SidebarBadgeDelegate::Places SidebarBadgeDelegate::places(const QStyleOptionViewItem& option,
                                                          const QModelIndex& index) {
    Places places;
    const QSize symbol(20, 20);
    const bool compact = isCompact(option.widget);
    if (compact)
        places.symbol = QStyle::alignedRect(option.direction, Qt::AlignCenter, symbol, option.rect);
    const int count = index.data(badgeRole).toInt();
    if (count <= 0)
        return places;
    const QFontMetrics metrics(Fonts::font(FontRole::caption));
    const int height = metrics.height() + 2;
    // Compact, a narrower pill, so that three digits still fit beside the symbol.
    const int width = std::max(height, metrics.horizontalAdvance(Texts::count(count)) + (compact ? 6 : 10));
    if (!compact) {
        places.badge = QRect(option.rect.right() - 8 - width, option.rect.center().y() - height / 2, width, height);
        return places;
    }
    // Compact, the badge sits beside the symbol's upper corner, 2 points clear of it.
    constexpr int gap = 2;
    const int badgeLeft = option.rect.right() - gap - width + 1;
    const int symbolRight = std::min(places.symbol.right(), badgeLeft - gap - 1);
    places.symbol.moveRight(std::max(symbolRight, option.rect.left() + symbol.width() - 1));
    places.badge = QRect(places.symbol.right() + gap + 1, option.rect.top(), width, height);
    return places;
}

void SidebarBadgeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    const Places where = places(option, index);
    // The focused row wears the ring instead of the style's faint mark: in the fill's text
    // colour on the selection, in the accent elsewhere.
    const bool focused = option.state.testFlag(QStyle::State_HasFocus);
    QStyleOptionViewItem unfocused = option;
    unfocused.state &= ~QStyle::State_HasFocus;
    if (isCompact(option.widget)) {
        // One highlight over the whole row with the symbol in its middle: the style would
        // highlight the symbol's cell and the empty text cell beside it apart.
        QStyleOptionViewItem row = unfocused;
        initStyleOption(&row, index);
        row.showDecorationSelected = true;
        const QStyle* style = option.widget->style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &row, painter, option.widget);
        row.icon.paint(painter, where.symbol);
    } else {
        QStyledItemDelegate::paint(painter, unfocused, index);
    }
    // Round the selection's fill, a pixel clear of it in the room between the rows, so it reads
    // as a ring and not as a wider fill; round an unchosen row, on its edge.
    if (focused && option.state.testFlag(QStyle::State_Selected))
        FocusRing::paint(*painter, QRectF(option.rect).adjusted(-3, -3, 3, 3), 6);
    else if (focused)
        FocusRing::paint(*painter, QRectF(option.rect), 4);
    if (where.badge.isEmpty())
        return;
    const QRect pill = where.badge;
    // On the selection's fill the badge turns round: a pill of the selection's text colour with
    // its number in the fill's, so it reads on any accent in either look.
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QColor fill = selected ? option.palette.color(QPalette::Active, QPalette::HighlightedText)
                                 : SemanticColors::of(SemanticColor::quaternaryFill);
    const QColor ink = selected ? option.palette.color(QPalette::Active, QPalette::Highlight)
                                : SemanticColors::of(SemanticColor::secondaryLabel);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(fill);
    painter->drawRoundedRect(pill, pill.height() / 2.0, pill.height() / 2.0);
    painter->setPen(ink);
    painter->setFont(Fonts::font(FontRole::caption));
    painter->drawText(pill, Qt::AlignCenter, Texts::count(index.data(badgeRole).toInt()));
    painter->restore();
}

DropHighlight::DropHighlight(QWidget* host) : QWidget(host) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(host->rect());
    host->installEventFilter(this);
    hide();
}

bool DropHighlight::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    return false;
}

void DropHighlight::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A 2-point line drawn inside a rectangle inset by 4 points.
    const QRectF border = QRectF(rect()).adjusted(5, 5, -5, -5);
    painter.setPen(QPen(SemanticColors::tint(*this), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(border, 11, 11);
}

ContentView::ContentView(AppModel& model, std::function<void()> launch, QWidget* parent)
    : QMainWindow(parent), model_(model), launch_(std::move(launch)) {
    setWindowTitle(tr("Dovrane"));
    setObjectName(QStringLiteral("main"));
    resize(1100, 720);
    setMinimumSize(760, 480);
    setAcceptDrops(true);
    setUnifiedTitleAndToolBarOnMac(true);

    toolbar_ = new QToolBar(tr("Toolbar"), this);
    toolbar_->setObjectName(QStringLiteral("toolbar"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->toggleViewAction()->setVisible(false);
    auto* spacer = new QWidget(toolbar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar_->addWidget(spacer);
    pageControlHost_ = new QWidget(toolbar_);
    auto* controlRow = new QHBoxLayout(pageControlHost_);
    controlRow->setContentsMargins(0, 0, 8, 0);
    pageControlSlot_ = toolbar_->addWidget(pageControlHost_);
    pageControlSlot_->setVisible(false);
    scanToolbar_ = new ScanToolbar(model_, toolbar_);
    toolbar_->addWidget(scanToolbar_);
    addToolBar(Qt::TopToolBarArea, toolbar_);
    setContextMenuPolicy(Qt::NoContextMenu);

    split_ = new QSplitter(Qt::Horizontal, this);
    auto* split = split_;
    split->setChildrenCollapsible(false);
    fullSidebarWidth_ = sidebarInitialWidth;
    sidebar_ = new QListWidget(split);
    sidebar_->setObjectName(QStringLiteral("sidebar"));
    sidebar_->setAccessibleName(tr("Pages"));
    sidebar_->setMinimumWidth(sidebarMinimumWidth);
    sidebar_->setItemDelegate(new SidebarBadgeDelegate(sidebar_));
    sidebar_->setIconSize(QSize(16, 16));
    sidebar_->setFrameShape(QFrame::NoFrame);
    sidebar_->setSpacing(3);
    for (SidebarItem item : allSidebarItems) {
        auto* row = new QListWidgetItem(Symbols::icon(symbolName(item)), title(item), sidebar_);
        row->setData(Qt::UserRole, rawValue(item));
        row->setData(SidebarBadgeDelegate::symbolRole, symbolName(item));
    }
    // The focus ring of the chosen row reaches into the room between the rows, which the list
    // repaints only row by row: six rows are drawn again whole when the focus or the row moves.
    connect(sidebar_->selectionModel(), &QItemSelectionModel::currentChanged, sidebar_->viewport(),
            qOverload<>(&QWidget::update));
    // The list, not the window, is captured: focus still moves while the window is torn down.
    connect(qApp, &QApplication::focusChanged, sidebar_->viewport(),
            [sidebar = sidebar_](QWidget* before, QWidget* now) {
                if (before == sidebar || now == sidebar)
                    sidebar->viewport()->update();
            });
    connect(sidebar_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            model_.setSidebar(itemOfRow(row));
    });

    auto* detail = new QWidget(split);
    detail_ = new QVBoxLayout(detail);
    detail_->setContentsMargins(0, 0, 0, 0);
    detail_->setSpacing(0);
    split->addWidget(sidebar_);
    split->addWidget(detail);
    split->setStretchFactor(1, 1);
    split->setSizes({sidebarInitialWidth, 1100 - sidebarInitialWidth});
    setCentralWidget(split);
    themed(this);

    sheetHost_ = new SheetHost(model_, this);
    dropHighlight_ = new DropHighlight(this);
    if (GridOverlay::enabled())
        new GridOverlay(this);

    connect(&model_, &AppModel::changed, this, &ContentView::modelChanged);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            model_.refreshPermissions();
    });
    connect(&AppNotifications::shared(), &AppNotifications::posted, this, &ContentView::removalRequested);

    selectSidebarRow();
    refreshBadges();
    refreshNotice();
    showPage();
}

ContentView::~ContentView() = default;

int ContentView::badge(SidebarItem item) const { return item == SidebarItem::apps ? int(model_.orphans().size()) : 0; }

void ContentView::setPageControl(QWidget* control) {
    if (pageControl_ == control)
        return;
    if (pageControl_) {
        pageControlHost_->layout()->removeWidget(pageControl_);
        pageControl_->hide();
        pageControl_->deleteLater();
    }
    pageControl_ = control;
    if (control) {
        pageControlHost_->layout()->addWidget(control);
        // The page keeps its control hidden until it is placed here.
        control->show();
    }
    // Without a control the host takes no room in the toolbar.
    pageControlSlot_->setVisible(control != nullptr);
}

void ContentView::modelChanged(AppModel::Field field) {
    switch (field) {
    case AppModel::Field::sidebar:
        selectSidebarRow();
        showPage();
        break;
    case AppModel::Field::orphans:
        refreshBadges();
        break;
    case AppModel::Field::notice:
        refreshNotice();
        break;
    default:
        break;
    }
}

void ContentView::showPage() {
    setPageControl(nullptr);
    if (page_) {
        page_->hide();
        page_->deleteLater();
    }
    page_ = Pages::make(model_.sidebar().value_or(SidebarItem::overview), model_, *this);
    page_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    detail_->addWidget(page_, 1);
}

void ContentView::selectSidebarRow() {
    const QSignalBlocker quiet(sidebar_);
    if (model_.sidebar())
        sidebar_->setCurrentRow(rowOfItem(*model_.sidebar()));
    else
        sidebar_->setCurrentRow(-1);
}

void ContentView::refreshBadges() {
    for (SidebarItem item : allSidebarItems)
        sidebar_->item(rowOfItem(item))->setData(SidebarBadgeDelegate::badgeRole, badge(item));
    refreshRowTips();
}

// A badge is a bare number beside the page's title: its tooltip and spoken text say what it
// counts, since the Apps page's own count is of the apps. Compact, the tooltip names the page.
void ContentView::refreshRowTips() {
    for (SidebarItem item : allSidebarItems) {
        const int count = badge(item);
        const QString counted = count > 0 ? tr("%Ln leftovers without an app", nullptr, count) : QString();
        QStringList tip;
        if (compact_)
            tip << title(item);
        if (!counted.isEmpty())
            tip << counted;
        QListWidgetItem* row = sidebar_->item(rowOfItem(item));
        row->setData(Qt::ToolTipRole, tip.join(QLatin1Char('\n')));
        row->setData(Qt::AccessibleTextRole, counted.isEmpty() ? title(item) : title(item) + ", " + counted);
    }
}

void ContentView::refreshNotice() {
    if (!model_.notice()) {
        delete noticeBar_;
        noticeBar_ = nullptr;
        return;
    }
    if (!noticeBar_) {
        noticeBar_ = new NoticeBar(*model_.notice(), [this] { model_.setNotice(std::nullopt); });
        detail_->insertWidget(0, noticeBar_);
    } else {
        noticeBar_->setText(*model_.notice());
    }
    noticeBar_->setWarning(model_.noticeWarns());
}

void ContentView::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!std::exchange(launchPending_, false) || !launch_)
        return;
    // Once the window is on screen, as a task of its own.
    QTimer::singleShot(0, this, [this] { launch_(); });
}

void ContentView::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    setSidebarCompact(width() < compactBelow);
}

void ContentView::setSidebarCompact(bool compact) {
    if (compact == compact_)
        return;
    compact_ = compact;
    sidebar_->setProperty("compact", compact);
    refreshRowTips();
    if (compact) {
        fullSidebarWidth_ = std::max(sidebar_->width(), sidebarMinimumWidth);
        sidebar_->setFixedWidth(sidebarCompactWidth);
    } else {
        sidebar_->setMinimumWidth(sidebarMinimumWidth);
        sidebar_->setMaximumWidth(QWIDGETSIZE_MAX);
    }
    const int sidebarWidth = compact ? sidebarCompactWidth : fullSidebarWidth_;
    split_->setSizes({sidebarWidth, std::max(0, split_->width() - split_->handleWidth() - sidebarWidth)});
    sidebar_->doItemsLayout();
    sidebar_->viewport()->update();
}

void ContentView::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    launchPending_ = true;
    emit closed();
}

std::vector<Url> ContentView::urlsOfUriList(const QByteArray& list) { return UrlLists::ofUriList(list); }

void ContentView::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasFormat(uriList))
        return;
    event->acceptProposedAction();
    setDropTargeted(true);
}

void ContentView::dragLeaveEvent(QDragLeaveEvent* event) {
    setDropTargeted(false);
    QMainWindow::dragLeaveEvent(event);
}

void ContentView::dropEvent(QDropEvent* event) {
    setDropTargeted(false);
    event->acceptProposedAction();
    // One request per item, in the order of the drop; the receiver decides what each is.
    for (const Url& url : urlsOfUriList(event->mimeData()->data(uriList)))
        AppNotifications::shared().postRemoveApp(url);
}

void ContentView::setDropTargeted(bool targeted) {
    dropTargeted_ = targeted;
    dropHighlight_->setVisible(targeted);
    if (targeted)
        dropHighlight_->raise();
}

void ContentView::removalRequested(const QString& name, const QVariant& object) {
    if (name != AppNotifications::removeApp || !object.canConvert<Url>())
        return;
    const Url url = object.value<Url>();
    // A web address ending in ".app" would otherwise name a local bundle by its path.
    if (!url.isFile())
        return;
    model_.requestUninstall(url);
}

} // namespace dovrane
