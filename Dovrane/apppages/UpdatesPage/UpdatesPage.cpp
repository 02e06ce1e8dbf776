#include "UpdatesPage/UpdatesPage.h"

#include "AppModel/AppModel.h"
#include "AppsPage/AppRecordExtras.h"
#include "AppsPage/PageControls.h"
#include "UiKit/Labels.h"
#include "UiKit/PageKit.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include <set>

namespace dovrane {

namespace {

constexpr int columnWidth = 760;

// A group that opens under its header; it starts closed.
QToolButton* disclosure(QWidget* group, QWidget* parent) {
    auto* toggle = new QToolButton(parent);
    toggle->setCheckable(true);
    toggle->setAutoRaise(true);
    toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggle->setArrowType(Qt::RightArrow);
    group->setVisible(false);
    QObject::connect(toggle, &QToolButton::toggled, group, [toggle, group](bool open) {
        toggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        group->setVisible(open);
    });
    return toggle;
}

// Replaces what the holder shows with a fresh list.
void replaceList(QWidget* holder, const ReasonList::Rows& rows) {
    for (auto* old : holder->findChildren<ReasonList*>(QString(), Qt::FindDirectChildrenOnly))
        delete old;
    holder->layout()->addWidget(new ReasonList(rows, holder));
}

QWidget* listHolder(QWidget* parent) {
    auto* holder = new QWidget(parent);
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    return holder;
}

} // namespace

UpdatesPage::UpdatesPage(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setWindowTitle(tr("Updates"));
    stack_ = new QStackedLayout(this);

    empty_ = new ContentUnavailableView(tr("Updates for all your apps"), QStringLiteral("arrow.down.circle"), {}, this);
    stack_->addWidget(empty_);

    results_ = new QScrollArea(this);
    results_->setAccessibleName(windowTitle());
    results_->setWidgetResizable(true);
    results_->setFrameShape(QFrame::NoFrame);
    // Tab goes to the controls, each scrolled into view; Page Up and Down still reach the page.
    results_->setFocusPolicy(Qt::NoFocus);
    auto* content = new QWidget;
    auto* centre = new QHBoxLayout(content);
    centre->setContentsMargins(0, 0, 0, 0);
    auto* columnWidget = new QWidget(content);
    columnWidget->setMaximumWidth(columnWidth);
    centre->addStretch(1);
    centre->addWidget(columnWidget, 100);
    centre->addStretch(1);
    auto* column = new QVBoxLayout(columnWidget);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);

    // The header.
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    auto* heading = new QVBoxLayout;
    heading->setSpacing(4);
    const QFont titleFont = Fonts::font(FontRole::title, QFont::DemiBold);
    title_ = new StyledLabel(QString(), titleFont, {}, columnWidget);
    // A long title (German's) wraps in the room the buttons leave rather than push them out.
    title_->setWordWrap(true);
    heading->addWidget(title_);
    progress_ = new QProgressBar(columnWidget);
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->setFixedWidth(200);
    heading->addWidget(progress_);
    checked_ = new StyledLabel(QString(), Fonts::font(FontRole::body), SemanticColors::secondaryText, columnWidget);
    heading->addWidget(checked_);
    header->addLayout(heading, 1);
    checkNow_ = new QPushButton(tr("Check Now"), columnWidget);
    header->addWidget(checkNow_, 0, Qt::AlignTop);
    updateAll_ = new ProminentButton(tr("Update All"), columnWidget);
    updateAll_->setDefault(true);
    header->addWidget(updateAll_, 0, Qt::AlignTop);
    column->addLayout(header);

    allUpToDate_ = new QWidget(columnWidget);
    auto* upToDate = new QHBoxLayout(allUpToDate_);
    upToDate->setContentsMargins(0, 0, 0, 0);
    upToDate->setSpacing(6);
    upToDate->addWidget(
        new SymbolView(QStringLiteral("checkmark.circle"), 16, SemanticColors::secondaryText, allUpToDate_));
    upToDate->addWidget(new StyledLabel(tr("All checked apps are up to date."), Fonts::font(FontRole::body),
                                        SemanticColors::secondaryText, allUpToDate_),
                        1);
    column->addWidget(allUpToDate_);

    noneChecked_ = new QWidget(columnWidget);
    auto* failedAll = new QHBoxLayout(noneChecked_);
    failedAll->setContentsMargins(0, 0, 0, 0);
    failedAll->setSpacing(6);
    failedAll->addWidget(
        new SymbolView(QStringLiteral("exclamationmark.circle"), 16, SemanticColors::secondaryText, noneChecked_));
    failedAll->addWidget(new StyledLabel(tr("No app could be checked."), Fonts::font(FontRole::body),
                                         SemanticColors::secondaryText, noneChecked_),
                         1);
    column->addWidget(noneChecked_);

    auto* cards = new QWidget(columnWidget);
    cardColumn_ = new QVBoxLayout(cards);
    cardColumn_->setContentsMargins(0, 0, 0, 0);
    cardColumn_->setSpacing(16);
    column->addWidget(cards);

    failedSection_ = listHolder(columnWidget);
    failedSection_->layout()->addWidget(new SectionTitle(tr("Could not check"), failedSection_));
    column->addWidget(failedSection_);

    currentGroup_ = listHolder(columnWidget);
    currentToggle_ = disclosure(currentGroup_, columnWidget);
    column->addWidget(currentToggle_, 0, Qt::AlignLeft);
    column->addWidget(currentGroup_);
    unsupportedGroup_ = listHolder(columnWidget);
    unsupportedToggle_ = disclosure(unsupportedGroup_, columnWidget);
    column->addWidget(unsupportedToggle_, 0, Qt::AlignLeft);
    column->addWidget(unsupportedGroup_);
    column->addStretch(1);

    results_->setWidget(content);
    stack_->addWidget(results_);

    connect(checkNow_, &QPushButton::clicked, this, [this] { model_.checkUpdates(); });
    connect(updateAll_, &QPushButton::clicked, this, &UpdatesPage::pressUpdateAll);
    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        using F = AppModel::Field;
        switch (field) {
        case F::apps:
        case F::updates:
            refreshLists();
            refreshCards();
            [[fallthrough]];
        case F::isCheckingUpdates:
        case F::updateProgress:
        case F::updatesCheckedAt:
        case F::installing:
        case F::installProblems:
        case F::isDemo:
            refresh();
            break;
        default:
            break;
        }
    });
    refreshLists();
    refreshCards();
    refresh();
}

ReasonList::Rows UpdatesPage::failed() const {
    ReasonList::Rows rows;
    for (const InstalledApp& app : model_.apps())
        if (auto found = model_.updates().find(app.id());
            found != model_.updates().end() && found->second.kind() == UpdateCheck::Kind::failed)
            rows.emplace_back(app, QString::fromStdString(found->second.message()));
    return rows;
}

std::vector<InstalledApp> UpdatesPage::current() const {
    std::vector<InstalledApp> apps;
    for (const InstalledApp& app : model_.apps())
        if (auto found = model_.updates().find(app.id());
            found != model_.updates().end() && found->second.kind() == UpdateCheck::Kind::upToDate)
            apps.push_back(app);
    return apps;
}

ReasonList::Rows UpdatesPage::unsupported() const {
    ReasonList::Rows rows;
    for (const InstalledApp& app : model_.apps())
        if (auto found = model_.updates().find(app.id());
            found != model_.updates().end() && found->second.kind() == UpdateCheck::Kind::unsupported && !app.isSystem)
            rows.emplace_back(app, QString::fromStdString(found->second.message()));
    return rows;
}

// The results alone decide: neither the time of the last check nor a running one does.
bool UpdatesPage::showsResults() const { return !model_.updates().empty(); }

std::vector<UpdateCard*> UpdatesPage::cards() const {
    std::vector<UpdateCard*> shown;
    for (int index = 0; index < cardColumn_->count(); ++index)
        if (auto* card = qobject_cast<UpdateCard*>(cardColumn_->itemAt(index)->widget()))
            shown.push_back(card);
    return shown;
}

void UpdatesPage::refresh() {
    if (!showsResults()) {
        stack_->setCurrentWidget(empty_);
        if (model_.isCheckingUpdates()) {
            empty_->setDescription(tr("Checking %1 percent of your apps…").arg(int(model_.updateProgress() * 100)));
            empty_->setAction(QString(), {});
        } else if (model_.updatesCheckedAt()) {
            // A check ended with no results: there was no app to ask.
            empty_->setDescription(tr("Dovrane found no apps to check."));
            empty_->setAction(tr("Check Now"), [this] { model_.checkUpdates(); });
        } else {
            empty_->setDescription(
                tr("Dovrane asks each app's update feed, Homebrew and the App Store for newer versions."));
            empty_->setAction(tr("Check Now"), [this] { model_.checkUpdates(); });
        }
        return;
    }
    stack_->setCurrentWidget(results_);
    refreshHeader();
    for (UpdateCard* card : cards())
        card->refresh();
}

void UpdatesPage::refreshHeader() {
    const std::size_t available = cards_.size();
    // Only a check that found an app current says so; when every check failed, that is said
    // instead of the opposite, in the title as in the line under it.
    const bool anyCurrent = !current().empty();
    const bool noneChecked = available == 0 && !anyCurrent && !failed().empty();
    title_->setText(noneChecked      ? tr("Could not check for updates")
                    : available == 0 ? tr("No updates")
                                     : tr("%Ln updates", nullptr, int(available)));
    const bool checking = model_.isCheckingUpdates();
    progress_->setVisible(checking);
    progress_->setValue(int(model_.updateProgress() * 1000));
    const auto& checkedAt = model_.updatesCheckedAt();
    // Under "could not check" a time would read as if something had been checked.
    checked_->setVisible(!checking && checkedAt && !noneChecked);
    if (checkedAt)
        checked_->setText(
            tr("Checked %1")
                .arg(QString::fromStdString(DateText::relative(*checkedAt, model_.services().clock->now()))));
    checkNow_->setEnabled(!checking && !model_.isDemo());
    checkNow_->setToolTip(Texts::demoTooltip(model_.isDemo()));
    updateAll_->setEnabled(available > 0 && model_.installing().empty() && !updateAllPending_);
    allUpToDate_->setVisible(available == 0 && anyCurrent);
    noneChecked_->setVisible(noneChecked);
}

void UpdatesPage::refreshCards() {
    const std::vector<AppModel::AvailableUpdate> available = model_.availableUpdates();
    std::map<std::string, UpdateCard*> kept;
    for (const auto& [app, info] : available) {
        UpdateCard* card = nullptr;
        bool expanded = false;
        if (auto found = cards_.find(app.id()); found != cards_.end()) {
            card = found->second;
            cards_.erase(found);
            // A card stays with its app's path; new figures get a new card that keeps its notes open.
            if (!(card->app() == app && card->info() == info)) {
                expanded = card->expanded();
                delete card;
                card = nullptr;
            }
        }
        if (!card) {
            card = new UpdateCard(model_, app, info, cardColumn_->parentWidget());
            card->setExpanded(expanded);
        }
        kept.emplace(app.id(), card);
        cardColumn_->removeWidget(card);
        cardColumn_->addWidget(card);
    }
    for (auto& [path, card] : cards_)
        delete card;
    cards_ = std::move(kept);
    followPageOrder();
}

// Tab goes down the page: the cards are made after the groups under them and would otherwise
// come last, after the groups.
void UpdatesPage::followPageOrder() {
    QWidget* previous = updateAll_;
    for (UpdateCard* card : cards())
        for (QWidget* control : card->findChildren<QWidget*>())
            if (control->focusPolicy() & Qt::TabFocus) {
                QWidget::setTabOrder(previous, control);
                previous = control;
            }
    QWidget::setTabOrder(previous, currentToggle_);
    QWidget::setTabOrder(currentToggle_, unsupportedToggle_);
}

void UpdatesPage::refreshLists() {
    const ReasonList::Rows failedRows = failed();
    failedSection_->setVisible(!failedRows.empty());
    replaceList(failedSection_, failedRows);

    ReasonList::Rows currentRows;
    for (const InstalledApp& app : current())
        currentRows.emplace_back(app, tr("Version %1").arg(Texts::version(app.version)));
    currentToggle_->setText(tr("Up to date (%Ln)", nullptr, int(currentRows.size())));
    replaceList(currentGroup_, currentRows);
    // No group to open on nothing; one left open comes back open.
    currentToggle_->setVisible(!currentRows.empty());
    currentGroup_->setVisible(!currentRows.empty() && currentToggle_->isChecked());

    const ReasonList::Rows unsupportedRows = unsupported();
    unsupportedToggle_->setText(tr("Not checked (%Ln)", nullptr, int(unsupportedRows.size())));
    replaceList(unsupportedGroup_, unsupportedRows);
}

// Off from the press until the model has an install running or the whole run has ended.
void UpdatesPage::pressUpdateAll() {
    if (updateAllPending_)
        return;
    updateAllPending_ = true;
    updateAll_->setEnabled(false);
    (void)startWatched(
        this, [this] { return model_.installAll(); },
        [this] {
            updateAllPending_ = false;
            refresh();
        });
}

} // namespace dovrane
