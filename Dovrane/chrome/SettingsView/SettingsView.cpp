#include "SettingsView/SettingsView.h"

#include "AppModel/AppModel.h"
#include "AppearanceSettings/AppearanceSettings.h"
#include "MenuBarView/MenuBarView.h"
#include "Services/Permissions.h"
#include "Services/SettingKeys.h"
#include "UiKit/Appearance.h"
#include "UiKit/Desktop.h"
#include "UiKit/FolderList.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"
#include "WindowBehavior/FitsContent.h"
#include "WindowBehavior/WindowHook.h"
#include "WindowBehavior/WindowPlacement.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <functional>

namespace dovrane {

namespace {

// The Settings window's texts share one catalogue context, whichever function shows them; lupdate reads it here.
struct SettingsText {
    Q_DECLARE_TR_FUNCTIONS(SettingsView)
};
// A section of a grouped form: a header, its rows, and an optional footer below it.
QVBoxLayout* addSection(QVBoxLayout* page, const QString& header, const QString& footer = {}) {
    auto* box = new QGroupBox(header);
    auto* rows = new QVBoxLayout(box);
    page->addWidget(box);
    if (!footer.isEmpty()) {
        auto* note = new StyledLabel(footer, Fonts::font(FontRole::callout), SemanticColors::secondaryText);
        note->setWordWrap(true);
        page->addWidget(note);
    }
    return rows;
}

QCheckBox* toggle(const QString& title, bool on) {
    auto* box = new QCheckBox(title);
    const QSignalBlocker quiet(box);
    box->setChecked(on);
    return box;
}

// A value with an up/down control: "Older than 14 days". The whole sentence is one text with
// plural forms, since a language may put the number's word in another case or form ("seit 30
// Tagen", "1 Tag"); the text around the number becomes the box's prefix and suffix. A stored
// value outside the range is shown clamped and stays stored until the user steps.
QSpinBox* stepper(Settings& settings, const Setting<qint64>& setting, SettingKeys::DayRange range,
                  std::function<QString(int)> sentence) {
    auto* box = new QSpinBox;
    const QSignalBlocker quiet(box);
    box->setRange(range.lowest, range.highest);
    box->setSingleStep(1);
    const auto word = [box, sentence = std::move(sentence)](int value) {
        const QString text = sentence(value);
        const QString number = QString::number(value);
        const qsizetype at = text.indexOf(number);
        box->setPrefix(at < 0 ? QString() : text.left(at));
        box->setSuffix(at < 0 ? QString() : text.mid(at + number.size()));
        box->setAccessibleName(box->text());
    };
    box->setValue(range.nearest(setting.get(settings)));
    word(box->value());
    QObject::connect(box, &QSpinBox::valueChanged, box, [&settings, setting, word](int value) {
        setting.set(settings, value);
        word(value);
    });
    return box;
}

QVBoxLayout* pageLayout(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(8);
    return layout;
}

} // namespace

GeneralSettings::GeneralSettings(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    const Services& services = model_.services();
    Settings& settings = *services.settings;
    auto* page = pageLayout(this);

    auto* startup = addSection(page, SettingsText::tr("Startup"));
    login_ = toggle(SettingsText::tr("Open Dovrane at login"), Permissions::startsAtLogin(services));
    menuBar_ = toggle(SettingsText::tr("Show free space in the menu bar"), SettingKeys::menuBarEnabled.get(settings));
    weekly_ = toggle(SettingsText::tr("Weekly report as a notification"), SettingKeys::reportWeekly.get(settings));
    startup->addWidget(login_);
    startup->addWidget(menuBar_);
    startup->addWidget(weekly_);
    connect(login_, &QCheckBox::toggled, this, &GeneralSettings::loginToggled);
    connect(menuBar_, &QCheckBox::toggled, this, [&settings](bool on) { MenuBarSetting::shared().set(settings, on); });
    connect(weekly_, &QCheckBox::toggled, this, [&settings](bool on) { SettingKeys::reportWeekly.set(settings, on); });

    auto* permissions = addSection(
        page, SettingsText::tr("Permissions"),
        SettingsText::tr(
            "Dovrane reads sizes and names, never file contents. Nothing leaves this computer except update checks."));
    auto* access = new QHBoxLayout;
    access->addWidget(new QLabel(SettingsText::tr("File Access")));
    access->addStretch(1);
    accessOn_ = new QWidget;
    auto* on = new QHBoxLayout(accessOn_);
    on->setContentsMargins(0, 0, 0, 0);
    on->addWidget(
        new SymbolView(QStringLiteral("checkmark.circle.fill"), 14, [this] { return SemanticColors::tint(*this); }));
    on->addWidget(new StyledLabel(SettingsText::tr("On"), Fonts::font(FontRole::body),
                                  [this] { return SemanticColors::tint(*this); }));
    access->addWidget(accessOn_);
    openAccess_ = new QPushButton(SettingsText::tr("Open Settings"));
    // Linux has no such settings pane: the open check refuses the address.
    connect(openAccess_, &QPushButton::clicked, this,
            [] { Desktop::open(QUrl(QString::fromStdString(Permissions::fullDiskAccessSettings().text()))); });
    access->addWidget(openAccess_);
    permissions->addLayout(access);
    showSetup_ = new QPushButton(SettingsText::tr("Show Setup Again…"));
    connect(showSetup_, &QPushButton::clicked, this, [this] { model_.setSheet(ActiveSheet::onboarding()); });
    permissions->addWidget(showSetup_, 0, Qt::AlignLeft);
    page->addStretch(1);

    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::hasFullDiskAccess)
            refreshAccess();
    });
    refreshAccess();
}

void GeneralSettings::loginToggled(bool on) {
    const Services& services = model_.services();
    Permissions::setStartsAtLogin(services, on);
    // Show what the system now reports, so a failed registration never leaves the box ticked.
    const QSignalBlocker quiet(login_);
    login_->setChecked(Permissions::startsAtLogin(services));
}

void GeneralSettings::refreshAccess() {
    accessOn_->setVisible(model_.hasFullDiskAccess());
    openAccess_->setVisible(!model_.hasFullDiskAccess());
}

ScanSettingsView::ScanSettingsView(AppModel& model, QWidget* parent) : QWidget(parent) {
    Settings& settings = *model.services().settings;
    const QString home = QString::fromStdString(model.services().home.path());
    auto* page = pageLayout(this);

    auto* installers = addSection(page, SettingsText::tr("Old installers"));
    installerAge_ = stepper(settings, SettingKeys::scanInstallerAge, SettingKeys::installerAgeRange,
                            [](int days) { return SettingsText::tr("Older than %Ln days", nullptr, days); });
    installers->addWidget(installerAge_, 0, Qt::AlignLeft);

    auto* projects =
        addSection(page, SettingsText::tr("Project folders"),
                   SettingsText::tr("Dovrane looks for node_modules, .venv, target, .next and build only in "
                                    "these folders."));
    projects_ = new FolderList(settings, SettingKeys::scanProjects, SettingsText::tr("No project folders yet"), home);
    projects_->setTitle(SettingsText::tr("Project folders"));
    projects->addWidget(projects_);
    projectAge_ = stepper(settings, SettingKeys::scanProjectAge, SettingKeys::projectAgeRange,
                          [](int days) { return SettingsText::tr("Unchanged for %Ln days", nullptr, days); });
    projects->addWidget(projectAge_, 0, Qt::AlignLeft);

    auto* excluded = addSection(page, SettingsText::tr("Excluded folders"),
                                SettingsText::tr("Dovrane never lists anything inside these folders."));
    excluded_ = new FolderList(settings, SettingKeys::scanExcluded, SettingsText::tr("No excluded folders"), home);
    excluded_->setTitle(SettingsText::tr("Excluded folders"));
    excluded->addWidget(excluded_);
    page->addStretch(1);
}

QSize CurrentTabFits::sizeHint() const { return forCurrentPage(QTabWidget::sizeHint(), &QWidget::sizeHint); }

QSize CurrentTabFits::minimumSizeHint() const {
    return forCurrentPage(QTabWidget::minimumSizeHint(), &QWidget::minimumSizeHint);
}

// QTabWidget asks for its tallest page; this swaps that page's height for the current one's.
QSize CurrentTabFits::forCurrentPage(QSize whole, QSize (QWidget::*hint)() const) const {
    const QWidget* current = currentWidget();
    if (!current)
        return whole;
    // A page's height as a layout would give it: its hint inside its own bounds.
    const auto height = [hint](const QWidget* page) {
        return std::clamp((page->*hint)().height(), page->minimumHeight(), page->maximumHeight());
    };
    int tallest = 0;
    for (int index = 0; index < count(); ++index)
        tallest = std::max(tallest, height(widget(index)));
    whole.setHeight(whole.height() - tallest + height(current));
    return whole;
}

CurrentTabFits::CurrentTabFits(QWidget* parent) : QTabWidget(parent) {
    connect(this, &QTabWidget::currentChanged, this, [this] { updateGeometry(); });
}

SettingsView::SettingsView(AppModel& model, ThemeStore& themes, QWidget* parent) : QWidget(parent), model_(model) {
    setWindowFlag(Qt::Window);
    setWindowTitle(SettingsText::tr("Settings"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSizeConstraint(QLayout::SetFixedSize);
    tabs_ = new CurrentTabFits;
    column->addWidget(tabs_);

    for (SettingsTab tab : allSettingsTabs) {
        QWidget* content = nullptr;
        switch (tab) {
        case SettingsTab::general:
            content = new GeneralSettings(model_);
            break;
        case SettingsTab::scan:
            content = new ScanSettingsView(model_);
            break;
        case SettingsTab::appearance: {
            content = new QWidget;
            pageLayout(content)->addWidget(new AppearanceSettings(themes));
            break;
        }
        }
        auto* area = new QScrollArea;
        area->setAccessibleName(title(tab));
        area->setFocusPolicy(Qt::NoFocus); // Tab goes to the controls, each scrolled into view
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setWidget(content);
        area->setFixedWidth(width);
        new FitsContent(area, maxHeight);
        tabs_->addTab(area, title(tab));
    }
    colourTabIcons();
    connect(&Appearance::shared(), &Appearance::changed, this, &SettingsView::colourTabIcons);
    {
        const QSignalBlocker quiet(tabs_);
        tabs_->setCurrentIndex(int(model_.settingsTab()));
    }
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        tabs_->updateGeometry();
        model_.setSettingsTab(allSettingsTabs.at(std::size_t(index)));
    });
    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::settingsTab)
            followModel();
    });
    new WindowHook(tabs_, tabs_->tabBar());
    // Closed from the keyboard, as a settings window is on the Linux desktops.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
}

void SettingsView::colourTabIcons() {
    // Symbols drawn in the label colour of the look, so they show on a dark tab bar too.
    const QColor colour = SemanticColors::of(SemanticColor::label);
    const int pixels = tabs_->tabBar()->iconSize().height();
    for (SettingsTab tab : allSettingsTabs)
        tabs_->setTabIcon(int(tab), QIcon(Symbols::pixmap(symbolName(tab), pixels, colour, devicePixelRatioF())));
}

QWidget* SettingsView::page(SettingsTab tab) const {
    auto* area = qobject_cast<QScrollArea*>(tabs_->widget(int(tab)));
    return area ? area->widget() : nullptr;
}

void SettingsView::followModel() {
    const QSignalBlocker quiet(tabs_);
    tabs_->setCurrentIndex(int(model_.settingsTab()));
    tabs_->updateGeometry();
}

void SettingsView::bringForward(const QWidget* mainWindow) {
    // Opened anew, it comes up over the main window; on show, it stays where the user put it.
    if (!isVisible())
        WindowPlacement::centreOn(this, mainWindow);
    WindowPlacement::bringToFront(this);
}

} // namespace dovrane
