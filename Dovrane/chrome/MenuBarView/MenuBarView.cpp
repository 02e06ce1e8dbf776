#include "MenuBarView/MenuBarView.h"
#include "Theme/Theme.h"

#include "AppModel/AppModel.h"
#include "Services/SettingKeys.h"
#include "StorageGraphics/StorageBar.h"
#include "Store/Store.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <DovraneKit/scan/ScanModel.h>
#include <DovraneKit/system/VolumeInfo.h>

#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace dovrane {

namespace {

// The panel's texts share one catalogue context, whichever function shows them; lupdate reads it here.
struct PanelText {
    Q_DECLARE_TR_FUNCTIONS(MenuBarView)
};
QString sizeText(std::int64_t bytes) { return QString::fromStdString(dovrane::bytes(bytes)); }
QFrame* divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    return line;
}

// A row of the panel: the symbol 16 wide in the secondary style, then content that wraps.
QHBoxLayout* symbolRow(const QString& symbol, QWidget* content) {
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    auto* image = new SymbolView(symbol, 14, SemanticColors::secondaryText);
    image->setFixedWidth(16);
    row->addWidget(image, 0, Qt::AlignTop);
    row->addWidget(content, 1);
    return row;
}

} // namespace

MenuBarSetting& MenuBarSetting::shared() {
    static MenuBarSetting setting;
    return setting;
}

bool MenuBarSetting::showsItem(const Settings& settings) {
    return SettingKeys::menuBarItemShown(settings, Store::isOverridden());
}

void MenuBarSetting::set(Settings& settings, bool on) {
    SettingKeys::menuBarEnabled.set(settings, on);
    emit changed(on);
}

std::optional<VolumeInfo> menuBarFigures(const AppModel& model) {
    if (model.volume())
        return model.volume();
    if (const auto& scan = model.scan())
        return VolumeInfo{VolumeInfo::shownName(scan->volume), scan->total, scan->free, scan->available};
    return std::nullopt;
}

QString menuBarFreeText(const AppModel& model) {
    const auto figures = menuBarFigures(model);
    return sizeText(figures ? figures->free : 0);
}

MenuBarView::MenuBarView(AppModel& model, std::function<void()> showMainWindow, QWidget* parent)
    : QWidget(parent), model_(model), showMainWindow_(std::move(showMainWindow)) {
    setFixedWidth(width);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);

    header_ = new QWidget;
    auto* header = new QHBoxLayout(header_);
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(8);
    free_ = new StyledLabel({}, Fonts::monospacedDigits(Fonts::system(28, QFont::DemiBold)));
    total_ = new StyledLabel({}, Fonts::font(FontRole::body), SemanticColors::secondaryText);
    header->addWidget(free_, 0, Qt::AlignBaseline);
    header->addWidget(total_, 1, Qt::AlignBaseline);
    column->addWidget(header_);

    barSlot_ = new QVBoxLayout;
    barSlot_->setContentsMargins(0, 0, 0, 0);
    column->addLayout(barSlot_);
    column->addWidget(divider());

    growth_ = new StyledLabel({}, Fonts::font(FontRole::body));
    growth_->setWordWrap(true);
    column->addLayout(symbolRow(QStringLiteral("chart.line.uptrend.xyaxis"), growth_));

    auto* updatesRow = new QWidget;
    auto* updates = new QHBoxLayout(updatesRow);
    updates->setContentsMargins(0, 0, 0, 0);
    updates_ = new StyledLabel({}, Fonts::font(FontRole::body));
    updates_->setWordWrap(true);
    show_ = new QPushButton(PanelText::tr("Show"));
    updates->addWidget(updates_, 1);
    updates->addWidget(show_);
    column->addLayout(symbolRow(QStringLiteral("arrow.down.circle"), updatesRow));
    column->addWidget(divider());

    auto* buttons = new QHBoxLayout;
    open_ = new QPushButton(PanelText::tr("Open Dovrane"));
    scan_ = new QPushButton(PanelText::tr("Scan Again"));
    buttons->addWidget(open_);
    buttons->addStretch(1);
    buttons->addWidget(scan_);
    column->addLayout(buttons);

    connect(show_, &QPushButton::clicked, this, [this] {
        model_.setSidebar(SidebarItem::updates);
        if (showMainWindow_)
            showMainWindow_();
    });
    connect(open_, &QPushButton::clicked, this, [this] {
        if (showMainWindow_)
            showMainWindow_();
    });
    connect(scan_, &QPushButton::clicked, this, [this] { model_.startScan(AppModel::Apps::reload); });
    connect(&model_, &AppModel::changed, this, [this] { refresh(); });
    refresh();
}

void MenuBarView::opened() {
    if (model_.isDemo())
        return;
    // The volume the rest of the model reads, so the panel and the pages agree.
    const Services& services = model_.services();
    if (services.readVolume)
        model_.setVolume(services.readVolume(services.home));
}

void MenuBarView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    opened();
}

void MenuBarView::refresh() {
    const auto figures = menuBarFigures(model_);
    header_->setVisible(bool(figures));
    if (figures) {
        free_->setText(sizeText(figures->free));
        total_->setText(PanelText::tr("free of %1").arg(sizeText(figures->total)));
    }

    if (model_.scan()) {
        if (!bar_) {
            bar_ = new StorageBar(*model_.scan(), 12);
            bar_->setLinuxHome(model_.isLinuxHome());
            bar_->setFixedHeight(12);
            barSlot_->addWidget(bar_);
        } else if (bar_->scan() != StorageGroups::figures(*model_.scan())) {
            bar_->setScan(*model_.scan());
        }
    } else if (bar_) {
        delete std::exchange(bar_, nullptr);
    }

    if (const auto& growth = model_.dayGrowth())
        growth_->setText(PanelText::tr("Since yesterday: %1").arg(QString::fromStdString(growth->sentence())));
    else
        growth_->setText(PanelText::tr("From tomorrow on, Dovrane shows here what grew."));

    const std::size_t ready = model_.availableUpdates().size();
    updates_->setText(ready == 0 ? PanelText::tr("No app updates")
                                 : PanelText::tr("%Ln app updates ready", nullptr, int(ready)));
    show_->setVisible(ready != 0);
    scan_->setEnabled(!model_.isScanning() && !model_.isDemo());
    scan_->setToolTip(Texts::demoTooltip(model_.isDemo()));
}

MenuBarItem::MenuBarItem(AppModel& model, Actions actions, std::unique_ptr<TrayPresence> tray, QObject* parent)
    : QObject(parent), model_(model), actions_(std::move(actions)), tray_(std::move(tray)) {
    if (!tray_)
        tray_ = std::make_unique<DesktopTray>();
    connect(&MenuBarSetting::shared(), &MenuBarSetting::changed, this, &MenuBarItem::follow);
    connect(tray_.get(), &TrayPresence::availabilityChanged, this,
            [this] { follow(MenuBarSetting::showsItem(*model_.services().settings)); });
    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::volume || field == AppModel::Field::scan ||
            field == AppModel::Field::isScanning || field == AppModel::Field::isDemo)
            refreshTooltip();
    });
    follow(MenuBarSetting::showsItem(*model_.services().settings));
}

MenuBarItem::~MenuBarItem() {
    if (panel_)
        delete panel_.data();
}

bool MenuBarItem::isShown() const { return icon_ && icon_->isVisible(); }

void MenuBarItem::follow(bool on) {
    if (!on || !tray_->available()) {
        icon_.reset();
        menu_.reset();
        if (panel_)
            panel_->close();
        return;
    }
    if (icon_)
        return;
    icon_ = std::make_unique<QSystemTrayIcon>(Symbols::icon(QStringLiteral("internaldrive")));
    // Trays that only show a menu get the panel's buttons here.
    menu_ = std::make_unique<QMenu>();
    connect(menu_->addAction(PanelText::tr("Open Dovrane")), &QAction::triggered, this, [this] {
        if (actions_.showMainWindow)
            actions_.showMainWindow();
    });
    QAction* scan = menu_->addAction(PanelText::tr("Scan Again"));
    connect(scan, &QAction::triggered, this, [this] { model_.startScan(AppModel::Apps::reload); });
    connect(menu_.get(), &QMenu::aboutToShow, this, [this, scan] {
        scan->setEnabled(!model_.isScanning() && !model_.isDemo());
        scan->setToolTip(Texts::demoTooltip(model_.isDemo()));
    });
    menu_->setToolTipsVisible(true);
    menu_->addSeparator();
    connect(menu_->addAction(PanelText::tr("Quit Dovrane")), &QAction::triggered, this, [this] {
        if (actions_.quit)
            actions_.quit();
    });
    icon_->setContextMenu(menu_.get());
    connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            openPanel();
    });
    refreshTooltip();
    icon_->show();
}

void MenuBarItem::refreshTooltip() {
    // A tray shows no text beside its icon, so the free space goes into the tooltip.
    if (icon_)
        icon_->setToolTip(menuBarFreeText(model_));
}

void MenuBarItem::openPanel() {
    if (!panel_) {
        panel_ = new MenuBarView(model_, actions_.showMainWindow);
        panel_->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
        themed(panel_);
        panel_->setAttribute(Qt::WA_DeleteOnClose);
    }
    panel_->adjustSize();
    const QRect place = icon_ ? icon_->geometry() : QRect();
    QPoint at = place.isValid() ? place.bottomLeft() : QCursor::pos();
    if (const QScreen* screen = QGuiApplication::screenAt(at)) {
        const QRect room = screen->availableGeometry();
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - panel_->QWidget::width())));
        if (at.y() + panel_->height() > room.bottom())
            at.setY(std::max(room.top(), (place.isValid() ? place.top() : at.y()) - panel_->height()));
    }
    panel_->move(at);
    panel_->show();
    panel_->activateWindow();
}

} // namespace dovrane
