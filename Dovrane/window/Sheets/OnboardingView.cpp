#include "Sheets/OnboardingView.h"

#include "AppModel/AppModel.h"
#include "Services/Permissions.h"
#include "Services/SettingKeys.h"
#include "Sheets/SheetParts.h"
#include "UiKit/Desktop.h"
#include "UiKit/DetailHeader.h"
#include "UiKit/Labels.h"
#include "UiKit/PageKit.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"
#include "WindowBehavior/FitsHeight.h"
#include "WindowBehavior/WindowHook.h"

#include <QFrame>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace dovrane {

PermissionRow::PermissionRow(const QString& symbol, const QString& title, const QString& why, const QString& never,
                             QPushButton* action, QWidget* parent)
    : QWidget(parent), action_(action) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(12);
    const int symbolPixels = QFontMetrics(Fonts::font(FontRole::title2)).ascent();
    auto* mark = new SymbolView(
        symbol, symbolPixels, [this] { return SemanticColors::tint(*this); }, this);
    mark->setFixedWidth(32);
    row->addWidget(mark, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(new StyledLabel(title, Fonts::font(FontRole::headline), {}, this));
    auto* whyLabel = new StyledLabel(why, Fonts::font(FontRole::body), {}, this);
    whyLabel->setWordWrap(true);
    texts->addWidget(whyLabel);
    auto* neverLabel = new StyledLabel(never, Fonts::font(FontRole::body), SemanticColors::secondaryText, this);
    neverLabel->setWordWrap(true);
    texts->addWidget(neverLabel);
    row->addLayout(texts, 1);
    row->addSpacing(16);

    on_ = SheetParts::symbolLabel(
        QStringLiteral("checkmark.circle.fill"), tr("On"), Fonts::font(FontRole::body),
        [this] { return SemanticColors::tint(*this); }, this);
    row->addWidget(on_, 0, Qt::AlignTop);
    action_->setParent(this);
    row->addWidget(action_, 0, Qt::AlignTop);
    setGranted(false);
}

void PermissionRow::setGranted(bool granted) {
    granted_ = granted;
    on_->setVisible(granted);
    action_->setVisible(!granted);
}

OnboardingView::OnboardingView(AppModel& model, QWidget* parent)
    : QDialog(parent), model_(model), login_(Permissions::startsAtLogin(model.services())) {
    setWindowTitle(tr("Welcome to Dovrane"));
    setFixedWidth(600);
    new FitsHeight(this);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(32, 32, 32, 32);
    stack->setSpacing(20);
    // Everything but the footer scrolls where the window is too short for it.
    auto* content = new QWidget(this);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);

    const QString intro = tr("Dovrane shows what fills your computer, explains every item in one sentence, and only "
                             "ever moves things to the Trash.");
    column->addWidget(new DetailHeader(DetailHeader::Style::welcome,
                                       {.title = tr("Welcome to Dovrane"), .explanation = intro}, content));

    auto* panel = new Card(content);
    QVBoxLayout* rows = panel->contentLayout();
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    // The look's quiet separator, inset like the rows' text rather than edge to edge.
    auto divider = [panel] {
        auto* holder = new QWidget(panel);
        auto* inset = new QHBoxLayout(holder);
        inset->setContentsMargins(16, 0, 16, 0);
        inset->addWidget(new Divider(Qt::Horizontal, holder));
        return holder;
    };

    auto* openSettings = new QPushButton(tr("Open Settings"));
    // Linux has no such pane: the link check refuses it, and nothing opens.
    connect(openSettings, &QPushButton::clicked, this,
            [] { Desktop::open(QUrl(QString::fromStdString(Permissions::fullDiskAccessSettings().text()))); });
    diskAccess_ = new PermissionRow(QStringLiteral("internaldrive"), tr("File Access"),
                                    tr("Dovrane reads what your user account can read. There is nothing to switch on."),
                                    tr("Dovrane reads sizes and names. It never opens or uploads file contents."),
                                    openSettings, panel);
    rows->addWidget(diskAccess_);
    rows->addWidget(divider());

    auto* allow = new QPushButton(tr("Allow"));
    // Linux asks nobody: notifications are allowed when the desktop's service answers.
    connect(allow, &QPushButton::clicked, this, &OnboardingView::readNotifications);
    notificationsRow_ = new PermissionRow(QStringLiteral("bell"), tr("Notifications"),
                                          tr("Tells you once a day at most when app updates are ready."),
                                          tr("No ads, no warnings to scare you."), allow, panel);
    rows->addWidget(notificationsRow_);
    rows->addWidget(divider());

    auto* turnOn = new QPushButton(tr("Turn On"));
    connect(turnOn, &QPushButton::clicked, this, [this] {
        Permissions::setStartsAtLogin(model_.services(), true);
        login_ = Permissions::startsAtLogin(model_.services());
        refresh();
    });
    loginRow_ = new PermissionRow(QStringLiteral("power"), tr("Open at Login"),
                                  tr("Keeps the menu bar view and the daily update check running."),
                                  tr("Dovrane does not clean anything on its own."), turnOn, panel);
    rows->addWidget(loginRow_);
    column->addWidget(panel);

    restart_ = new QWidget(content);
    auto* restartRow = new QHBoxLayout(restart_);
    restartRow->setContentsMargins(0, 0, 0, 0);
    restartRow->addWidget(new StyledLabel(tr("Full Disk Access takes effect after a restart."),
                                          Fonts::font(FontRole::body), SemanticColors::secondaryText, restart_));
    restartRow->addStretch(1);
    auto* restart = new QPushButton(tr("Restart Dovrane"), restart_);
    restart->setAutoDefault(false);
    connect(restart, &QPushButton::clicked, this, [this] { Permissions::relaunch(model_.services()); });
    restartRow->addWidget(restart);
    column->addWidget(restart_);
    stack->addWidget(new SheetBody(content, this), 1);

    auto* footer = new QHBoxLayout;
    footer->addWidget(new StyledLabel(tr("You can change all of this later in Dovrane's Settings."),
                                      Fonts::font(FontRole::callout), SemanticColors::secondaryText, this));
    footer->addStretch(1);
    done_ = new ProminentButton(tr("Done"), this);
    done_->setDefault(true);
    connect(done_, &QPushButton::clicked, this, [this] {
        SettingKeys::onboardingDone.set(*model_.services().settings, true);
        accept();
    });
    footer->addWidget(done_);
    stack->addLayout(footer);
    // The sheet opens on "Done", ringed: the button that Return presses.
    new WindowHook(this, done_);

    for (QPushButton* button : {openSettings, allow, turnOn})
        button->setAutoDefault(false);
    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::hasFullDiskAccess || field == AppModel::Field::needsRestart)
            refresh();
    });
    refresh();
    readNotifications();
}

// The desktop may answer after the sheet has closed: the watcher goes with the sheet, so a late
// answer reaches nothing (a continuation with the sheet as its context would assert then).
void OnboardingView::readNotifications() {
    auto* watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (watcher->isCanceled() || watcher->future().resultCount() == 0)
            return;
        notifications_ = watcher->result();
        refresh();
    });
    watcher->setFuture(Permissions::notificationsAllowed(model_.services()));
}

void OnboardingView::refresh() {
    diskAccess_->setGranted(model_.hasFullDiskAccess());
    notificationsRow_->setGranted(notifications_);
    loginRow_->setGranted(login_);
    restart_->setVisible(model_.needsRestart());
}

} // namespace dovrane
