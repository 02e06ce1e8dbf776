#include "UpdatesPage/UpdateCard.h"

#include "AppModel/AppModel.h"
#include "AppsPage/AppRecordExtras.h"
#include "AppsPage/PageControls.h"
#include "UiKit/AppIcon.h"
#include "UiKit/Desktop.h"
#include "UiKit/FocusRing.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QVBoxLayout>

namespace dovrane {

namespace {

StyledLabel* secondaryLabel(const QString& shown, QWidget* parent) {
    return new StyledLabel(shown, Fonts::font(FontRole::body), SemanticColors::secondaryText, parent);
}

// A button drawn as a link: its title alone, in the link colour of the moment (the accent's
// text shade), so it follows a new choice of accent or look. The title sits in the style's
// contents rectangle, as on any button, and the button asks for room for that rectangle around it.
class LinkButton final : public QPushButton {
public:
    LinkButton(const QString& label, QWidget* parent) : QPushButton(label, parent) {
        setFlat(true);
        setCursor(Qt::PointingHandCursor);
        FocusRing::attach(this); // nothing else marks the focus on a bare title
    }
    QSize sizeHint() const override {
        return fontMetrics().size(Qt::TextShowMnemonic, text()).grownBy(marginsAroundContents());
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(SemanticColors::link(*this));
        painter.drawText(contentsArea(rect()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, text());
    }

private:
    QRect contentsArea(const QRect& area) const {
        QStyleOptionButton option;
        initStyleOption(&option);
        option.rect = area;
        return style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    }
    QMargins marginsAroundContents() const {
        const QRect area(0, 0, 200, 100);
        const QRect contents = contentsArea(area);
        return {contents.left() - area.left(), contents.top() - area.top(), area.right() - contents.right(),
                area.bottom() - contents.bottom()};
    }
};

QPushButton* linkButton(const QString& label, QWidget* parent) { return new LinkButton(label, parent); }

} // namespace

std::optional<QUrl> releaseNotesLink(const UpdateInfo& info) {
    if (!info.releaseNotesURL)
        return std::nullopt;
    const QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(info.releaseNotesURL->text()), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return std::nullopt;
    return url;
}

UpdateCard::UpdateCard(AppModel& model, InstalledApp app, UpdateInfo info, QWidget* parent)
    : Card(parent), model_(model), app_(std::move(app)), info_(std::move(info)) {
    QVBoxLayout* column = contentLayout();
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);
    setAccessibleName(QString::fromStdString(app_.name));

    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(new AppIcon(app_, 40, this), 0, Qt::AlignVCenter);
    auto* names = new QVBoxLayout;
    names->setSpacing(4);
    names->addWidget(new ElidedLabel(QString::fromStdString(app_.name), Fonts::font(FontRole::headline), {}, this));
    auto* versions = new QHBoxLayout;
    versions->setSpacing(4);
    auto* change =
        secondaryLabel(tr("%1 → %2").arg(Texts::version(info_.currentVersion), Texts::version(info_.newVersion)), this);
    change->setFont(Fonts::monospacedDigits(change->font()));
    versions->addWidget(change);
    versions->addWidget(secondaryLabel(QStringLiteral("·"), this));
    versions->addWidget(secondaryLabel(title(info_.source), this));
    versions->addStretch(1);
    names->addLayout(versions);
    top->addLayout(names, 1);
    install_ = new QPushButton(info_.source == AppSource::appStore ? tr("Open App Store") : tr("Update"), this);
    // Every card has these buttons: a screen reader names the app they act on.
    install_->setAccessibleName(info_.source == AppSource::appStore
                                    ? tr("Open %1 in the App Store").arg(QString::fromStdString(app_.name))
                                    : tr("Update %1").arg(QString::fromStdString(app_.name)));
    top->addWidget(install_, 0, Qt::AlignVCenter);
    busy_ = makeBusyIndicator(this);
    top->addWidget(busy_, 0, Qt::AlignVCenter);
    column->addLayout(top);

    const std::optional<QUrl> link = releaseNotesLink(info_);
    if (info_.releaseNotes || link) {
        if (info_.releaseNotes) {
            notes_ = new LineLimitedLabel(QString::fromStdString(*info_.releaseNotes), collapsedLines,
                                          Fonts::font(FontRole::body), SemanticColors::secondaryText, this);
            notes_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            // Whether there is more to show depends on the width the notes get.
            notes_->installEventFilter(this);
            column->addWidget(notes_);
        }
        auto* links = new QHBoxLayout;
        links->setSpacing(12);
        if (notes_) {
            more_ = linkButton(tr("More"), this);
            connect(more_, &QPushButton::clicked, this, [this] { setExpanded(!expanded_); });
            links->addWidget(more_);
        }
        if (link) {
            link_ = linkButton(tr("Release notes"), this);
            link_->setAccessibleName(tr("Release notes of %1").arg(QString::fromStdString(app_.name)));
            connect(link_, &QPushButton::clicked, this, [url = *link] { Desktop::open(url); });
            links->addWidget(link_);
        }
        links->addStretch(1);
        column->addLayout(links);
    }

    problemRow_ = new QWidget(this);
    auto* problem = new QHBoxLayout(problemRow_);
    problem->setContentsMargins(0, 0, 0, 0);
    problem->setSpacing(6);
    problem->addWidget(new SymbolView(QStringLiteral("info.circle"), 16, SemanticColors::secondaryText, problemRow_), 0,
                       Qt::AlignTop);
    problem_ = new StyledLabel(QString(), Fonts::font(FontRole::body), {}, problemRow_);
    problem_->setWordWrap(true);
    problem->addWidget(problem_, 1);
    column->addWidget(problemRow_);

    connect(install_, &QPushButton::clicked, this, &UpdateCard::press);
    setExpanded(false);
    refresh();
}

void UpdateCard::setExpanded(bool expanded) {
    expanded_ = expanded;
    if (!notes_)
        return;
    more_->setText(expanded_ ? tr("Less") : tr("More"));
    notes_->setMaxLines(expanded_ ? 0 : collapsedLines);
    more_->setAccessibleName(expanded_ ? tr("Less of the notes of %1").arg(QString::fromStdString(app_.name))
                                       : tr("More of the notes of %1").arg(QString::fromStdString(app_.name)));
    showMoreIfNeeded();
}

// "More" (and "Less") only where the collapsed notes leave something out.
void UpdateCard::showMoreIfNeeded() { more_->setVisible(notes_->exceeds(collapsedLines)); }

bool UpdateCard::eventFilter(QObject* watched, QEvent* event) {
    if (watched == notes_ && event->type() == QEvent::Resize)
        showMoreIfNeeded();
    return Card::eventFilter(watched, event);
}

// The button is off from the press until the install has ended (while the model has the path
// in `installing` the spinner stands in its place), so a second press starts nothing.
void UpdateCard::press() {
    if (pressPending_)
        return;
    pressPending_ = true;
    install_->setEnabled(false);
    // In the demo the install ends at once and the page drops this card before install returns.
    const bool stays = startWatched(
        this, [this] { return model_.install(app_); },
        [this] {
            pressPending_ = false;
            refresh();
        });
    if (stays)
        refresh();
}

void UpdateCard::refresh() {
    const bool installing = model_.installing().contains(app_.id());
    install_->setVisible(!installing);
    install_->setEnabled(!pressPending_);
    busy_->setVisible(installing);
    const auto& problems = model_.installProblems();
    const auto found = problems.find(app_.id());
    problemRow_->setVisible(found != problems.end());
    problem_->setText(found != problems.end() ? found->second : QString());
}

ReasonList::ReasonList(const Rows& rows, QWidget* parent) : QWidget(parent), count_(int(rows.size())) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 8, 0, 0);
    column->setSpacing(8);
    for (const auto& [app, line] : rows) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        row->addWidget(new AppIcon(app, 20, this), 0, Qt::AlignTop);
        auto* name = new ElidedLabel(QString::fromStdString(app.name), Fonts::font(FontRole::body), {}, this);
        name->setFixedWidth(180);
        name->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        row->addWidget(name, 0, Qt::AlignTop);
        auto* reason = secondaryLabel(line, this);
        reason->setWordWrap(true);
        reason->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        row->addWidget(reason, 1, Qt::AlignTop);
        column->addLayout(row);
    }
}

SectionTitle::SectionTitle(const QString& text, QWidget* parent)
    : StyledLabel(text, Fonts::font(FontRole::headline), {}, parent) {}

} // namespace dovrane
