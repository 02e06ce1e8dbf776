#include "AppsPage/AppsPage.h"

#include "AppModel/AppModel.h"
#include "AppsPage/AppTables.h"
#include "AppsPage/PageControls.h"
#include "Grid/GridProbes.h"
#include "UiKit/Labels.h"
#include "UiKit/SegmentedControl.h"
#include "UiKit/SemanticColors.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace dovrane {

SearchField::SearchField(QWidget* parent) : QLineEdit(parent) {
    setPlaceholderText(AppsPage::tr("Search apps"));
    setAccessibleName(AppsPage::tr("Search apps"));
    setClearButtonEnabled(true);
}

bool SearchField::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_K)) {
            event->ignore();
            return true;
        }
    }
    return QLineEdit::event(event);
}

QString AppsPage::rawValue(Tab tab) {
    return tab == Tab::installed ? QStringLiteral("installed") : QStringLiteral("orphans");
}

AppsPage::AppsPage(AppModel& model, QWidget* accessHint, QWidget* parent)
    : QWidget(parent), model_(model), search_(new SearchField(this)) {
    setWindowTitle(tr("Apps"));
    search_->hide();

    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(0);

    header_ = new QWidget(this);
    auto* header = new QVBoxLayout(header_);
    header->setContentsMargins(20, 20, 20, 20);
    header->setSpacing(12);
    if (accessHint) {
        accessHint->setParent(header_);
        header->addWidget(accessHint);
    }
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    auto* segments = new SegmentedControl(header_);
    segments->setAccessibleName(tr("Show"));
    tabs_ = segments->group();
    for (Tab tab : {Tab::installed, Tab::orphans}) {
        QAbstractButton* segment = segments->addSegment(QString(), int(tab));
        segment->setChecked(tab == tab_);
        segment->setAccessibleDescription(tr("Show"));
    }
    row->addWidget(segments);
    tabs_->button(int(Tab::installed))->setText(tr("Installed"));
    // Tab stops at the checked segment only. Qt narrows a group to one stop only once one of its
    // buttons has had the focus, so Shift+Tab coming up from the table would stop at the other.
    const auto tabStop = [](QAbstractButton* segment, bool checked) {
        segment->setFocusPolicy(checked ? Qt::StrongFocus : Qt::FocusPolicy(Qt::StrongFocus & ~Qt::TabFocus));
    };
    for (QAbstractButton* segment : tabs_->buttons())
        tabStop(segment, segment->isChecked());
    connect(tabs_, &QButtonGroup::buttonToggled, this, tabStop);
    row->addStretch(1);
    busy_ = makeBusyIndicator(header_);
    row->addWidget(busy_);
    header->addLayout(row);
    hint_ = new LineLimitedLabel(QString(), 3, Fonts::font(FontRole::body), SemanticColors::secondaryText, header_);
    header->addWidget(hint_);
    column_->addWidget(header_);
    gridArea(header_, QStringLiteral("apps"), 20);

    connect(tabs_, &QButtonGroup::idClicked, this, [this](int id) { setTab(Tab(id)); });
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (installed_)
            installed_->setSearch(text);
    });
    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::orphans || field == AppModel::Field::isLoadingApps)
            modelChanged();
    });
    modelChanged();
    showTable();
}

AppsPage::~AppsPage() {
    // The field may sit in the window's toolbar now; it leaves with the page.
    delete search_.data();
}

QString AppsPage::search() const { return search_ ? search_->text() : QString(); }

QAbstractButton* AppsPage::tabButton(Tab tab) const { return tabs_->button(int(tab)); }

void AppsPage::setTab(Tab tab) {
    tabs_->button(int(tab))->setChecked(true);
    if (tab == tab_)
        return;
    tab_ = tab;
    showTable();
}

void AppsPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    model_.loadApps(false);
}

void AppsPage::modelChanged() {
    tabs_->button(int(Tab::orphans))
        ->setText(tr("Leftovers without an app (%1)").arg(Texts::count(std::int64_t(model_.orphans().size()))));
    busy_->setVisible(model_.isLoadingApps());
}

// Changing the tab removes one table and builds the other, so the one that comes back starts
// with nothing picked and sorted by size, largest first.
void AppsPage::showTable() {
    delete installed_;
    installed_ = nullptr;
    delete orphans_;
    orphans_ = nullptr;
    if (tab_ == Tab::installed) {
        hint_->setFullText(tr("Drag an app onto this window or onto Dovrane's icon to remove it with its "
                              "leftovers."));
        installed_ = new InstalledTable(model_, search(), this);
        column_->addWidget(installed_, 1);
    } else {
        hint_->setFullText(
            tr("Folders and settings named after an app identifier that no installed app has. Usually left "
               "behind when an app went without them: an AppImage deleted, a Flatpak uninstalled without its "
               "data."));
        orphans_ = new OrphanTable(model_, this);
        column_->addWidget(orphans_, 1);
    }
}

} // namespace dovrane
