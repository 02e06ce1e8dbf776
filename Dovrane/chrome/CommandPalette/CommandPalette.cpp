#include "CommandPalette/CommandPalette.h"
#include "CommandPalette/PaletteMatch.h"

#include "AppModel/AppModel.h"
#include "UiKit/Fonts.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/StorageSelection.h"
#include "UiKit/Symbols.h"
#include "WindowBehavior/WindowEdge.h"

#include <DovraneKit/scan/Explanations.h>

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace dovrane {

namespace {

// The palette's texts share one catalogue context, whichever function shows them; lupdate reads it here.
struct PaletteText {
    Q_DECLARE_TR_FUNCTIONS(CommandPalette)
};

// Runs on the next turn of the main queue, as long as the model lives.
void nextTurn(AppModel& model, std::function<void()> step) {
    QMetaObject::invokeMethod(&model, std::move(step), Qt::QueuedConnection);
}

// One row: the symbol, the title, space, the group. The chosen row is filled with the accent and
// its texts take the selection's text colour, as a chosen row of any list does, so it stands out
// from the list in either look.
class PaletteRow final : public QWidget {
public:
    PaletteRow(const CommandPalette::Command& command, bool selected, std::function<void()> clicked)
        : selected_(selected), clicked_(std::move(clicked)) {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(8, 4, 8, 4);
        row->setSpacing(8);
        const auto onSelection = [this] { return palette().color(QPalette::Active, QPalette::HighlightedText); };
        const StyledLabel::ColorSource secondary =
            selected ? StyledLabel::ColorSource(onSelection) : StyledLabel::ColorSource(SemanticColors::secondaryText);
        auto* symbol = new SymbolView(command.symbol, 16, secondary);
        symbol->setFixedWidth(20);
        row->addWidget(symbol);
        auto* title = new ElidedLabel(command.title, Fonts::font(FontRole::body),
                                      selected ? StyledLabel::ColorSource(onSelection) : StyledLabel::ColorSource());
        row->addWidget(title);
        row->addStretch(1);
        auto* group = new StyledLabel(command.group, Fonts::font(FontRole::body), secondary);
        row->addWidget(group);
        setAccessibleName(command.title);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!selected_)
            return;
        QPainter painter(this);
        painter.fillRect(rect(), SemanticColors::tint(*this));
    }
    void mousePressEvent(QMouseEvent* event) override {
        event->accept();
        clicked_();
    }

private:
    bool selected_;
    std::function<void()> clicked_;
};

} // namespace

CommandPalette::CommandPalette(AppModel& model, std::function<void()> openSettings, QWidget* parent)
    : QDialog(parent), model_(model), openSettings_(std::move(openSettings)) {
    // A panel over the main window, not a window of its own with a title bar.
    setWindowFlag(Qt::FramelessWindowHint);
    setFixedWidth(width);
    setProperty("placedHeight", maxHeight);
    setWindowTitle(PaletteText::tr("Command Palette"));
    new WindowEdge(this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    searchRow_ = new QWidget;
    // However few rows there are, the list gives way, never the field.
    searchRow_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* search = new QHBoxLayout(searchRow_);
    search->setContentsMargins(16, 16, 16, 16);
    search->setSpacing(8);
    search->addWidget(new SymbolView(QStringLiteral("magnifyingglass"), 16, SemanticColors::secondaryText));
    field_ = new QLineEdit;
    field_->setFrame(false);
    field_->setFont(Fonts::font(FontRole::title3));
    field_->setPlaceholderText(PaletteText::tr("Search pages, actions and apps"));
    field_->setAccessibleName(PaletteText::tr("Search pages, actions and apps"));
    field_->installEventFilter(this);
    search->addWidget(field_, 1);
    column->addWidget(searchRow_);

    divider_ = new QFrame;
    divider_->setFrameShape(QFrame::HLine);
    divider_->setFrameShadow(QFrame::Plain);
    column->addWidget(divider_);

    // The list with room under its last row, all in the list's colour.
    auto* listArea = new QWidget;
    listArea->setBackgroundRole(QPalette::Base);
    listArea->setAutoFillBackground(true);
    auto* listColumn = new QVBoxLayout(listArea);
    listColumn->setContentsMargins(0, 0, 0, listPadding);
    listColumn->setSpacing(0);
    list_ = new QListWidget;
    list_->setFrameShape(QFrame::NoFrame);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setAccessibleName(PaletteText::tr("Commands"));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    listColumn->addWidget(list_);
    column->addWidget(listArea, 1);

    empty_ = new StyledLabel(PaletteText::tr("Nothing matches"), Fonts::font(FontRole::body),
                             SemanticColors::secondaryText, list_);
    empty_->setAlignment(Qt::AlignCenter);

    connect(field_, &QLineEdit::textChanged, this, &CommandPalette::queryChanged);
    // Whatever the model changes (a scan starts, updates arrive) is listed at once.
    connect(&model_, &AppModel::changed, this, [this] { rebuild(); });
    rebuild();
}

std::vector<CommandPalette::Command> CommandPalette::commands() const {
    std::vector<Command> table;
    AppModel* model = &model_;

    const QString pages = PaletteText::tr("Pages");
    for (SidebarItem page : allSidebarItems)
        table.push_back({QStringLiteral("page.") + rawValue(page), title(page), pages, symbolName(page),
                         [model, page] { model->setSidebar(page); }});

    const QString actions = PaletteText::tr("Actions");
    if (!model_.isScanning())
        table.push_back({QStringLiteral("scan"), PaletteText::tr("Scan Again"), actions,
                         QStringLiteral("arrow.clockwise"), [model] { model->startScan(AppModel::Apps::reload); }});
    if (!model_.safeItems().empty())
        table.push_back({QStringLiteral("clean"), PaletteText::tr("Clean Up Safe Items…"), actions,
                         QStringLiteral("sparkles"),
                         [model] { model->requestCleanup(model->safeItems(), Wording::safeItems()); }});
    table.push_back({QStringLiteral("updates.check"), PaletteText::tr("Check App Updates"), actions,
                     QStringLiteral("arrow.down.circle"), [model] {
                         model->setSidebar(SidebarItem::updates);
                         model->checkUpdates();
                     }});
    if (!model_.availableUpdates().empty())
        table.push_back({QStringLiteral("updates.all"), PaletteText::tr("Update All Apps"), actions,
                         QStringLiteral("arrow.down.circle.fill"), [model] {
                             model->setSidebar(SidebarItem::updates);
                             model->installAll();
                         }});
    table.push_back({QStringLiteral("diagnostics"), PaletteText::tr("Copy Diagnostics"), actions,
                     QStringLiteral("doc.on.clipboard"), [model] { model->copyDiagnostics(); }});
    table.push_back({QStringLiteral("settings"), PaletteText::tr("Settings…"), actions, QStringLiteral("gearshape"),
                     [open = openSettings_] {
                         if (open)
                             open();
                     }});
    table.push_back({QStringLiteral("setup"), PaletteText::tr("Setup and Permissions…"), actions,
                     QStringLiteral("lock.shield"),
                     [model] { nextTurn(*model, [model] { model->setSheet(ActiveSheet::onboarding()); }); }});

    const QString storage = PaletteText::tr("Storage");
    for (CategoryID id : allCategoryIDs) {
        if (id == CategoryID::other || !model_.showsCategory(id))
            continue;
        table.push_back(
            {QStringLiteral("category.") + QString::fromUtf8(rawValue(id).data(), qsizetype(rawValue(id).size())),
             QString::fromStdString(Explanations::title(id)), storage, QStringLiteral("folder"), [model, id] {
                 StorageSelection::shared().setCategory(id);
                 model->setSidebar(isDeveloper(id) ? SidebarItem::developer : SidebarItem::storage);
             }});
    }

    const QString apps = PaletteText::tr("Apps");
    for (const InstalledApp& app : model_.apps()) {
        if (app.isSystem)
            continue;
        const QString path = QString::fromStdString(app.id());
        const QString name = QString::fromStdString(app.name);
        auto check = model_.updates().find(app.id());
        if (check != model_.updates().end() && check->second.kind() == UpdateCheck::Kind::available)
            table.push_back({QStringLiteral("update.") + path, PaletteText::tr("Update %1").arg(name), apps,
                             QStringLiteral("arrow.down.circle"), [model, app] {
                                 model->setSidebar(SidebarItem::updates);
                                 model->install(app);
                             }});
        table.push_back({QStringLiteral("remove.") + path, PaletteText::tr("Remove %1…").arg(name), apps,
                         QStringLiteral("trash"), [model, app] {
                             model->setSidebar(SidebarItem::apps);
                             nextTurn(*model, [model, app] { model->requestUninstall(app); });
                         }});
    }
    return table;
}

std::vector<CommandPalette::Command> CommandPalette::results() const {
    const QString query = field_->text();
    const std::string typed = query.toStdString();
    std::vector<Command> table = commands();
    struct Ranked {
        int score;
        std::size_t position;
    };
    std::vector<Ranked> ranked;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Command& command = table[i];
        if (query.isEmpty() &&
            (command.id.startsWith(QStringLiteral("remove.")) || command.id.startsWith(QStringLiteral("category."))))
            continue;
        if (auto score = PaletteMatch::score(typed, command.title.toStdString()))
            ranked.push_back({*score, i});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) { return a.score < b.score; });
    if (ranked.size() > std::size_t(maxResults))
        ranked.resize(maxResults);
    std::vector<Command> listed;
    listed.reserve(ranked.size());
    for (const Ranked& entry : ranked)
        listed.push_back(std::move(table[entry.position]));
    return listed;
}

void CommandPalette::move(int step) {
    const int count = int(results().size());
    if (count == 0)
        return;
    select(std::clamp(selected_ + step, 0, count - 1));
}

void CommandPalette::runSelected() {
    if (chosen_)
        return;
    std::vector<Command> listed = results();
    if (selected_ < 0 || selected_ >= int(listed.size()))
        return;
    chosen_ = true;
    std::function<void()> run = std::move(listed[std::size_t(selected_)].run);
    model_.setSheet(std::nullopt);
    if (isVisible())
        done(Accepted);
    // Bound to the model, not to this dialog, which is gone by then.
    QTimer::singleShot(runDelayMs, &model_, std::move(run));
}

void CommandPalette::queryChanged() {
    selected_ = 0;
    rebuild();
    list_->scrollToTop();
}

void CommandPalette::select(int index) {
    if (index == selected_)
        return;
    selected_ = index;
    rebuild();
    if (QListWidgetItem* item = list_->item(selected_))
        list_->scrollToItem(item, QAbstractItemView::EnsureVisible);
}

void CommandPalette::rebuild() {
    const int scrolled = list_->verticalScrollBar() ? list_->verticalScrollBar()->value() : 0;
    list_->clear();
    const std::vector<Command> listed = results();
    for (std::size_t i = 0; i < listed.size(); ++i) {
        auto* item = new QListWidgetItem(list_);
        item->setData(Qt::UserRole, listed[i].id);
        // The row is a widget of its own, which assistive technology does not see: the item speaks for it.
        item->setData(Qt::AccessibleTextRole, listed[i].title);
        item->setData(Qt::AccessibleDescriptionRole, listed[i].group);
        const int index = int(i);
        auto* row = new PaletteRow(listed[i], index == selected_, [this, index] {
            selected_ = index;
            runSelected();
        });
        // As wide as the list, never wider: a long title is cut, not scrolled to.
        item->setSizeHint(QSize(row->minimumSizeHint().width(), row->sizeHint().height()));
        list_->setItemWidget(item, row);
    }
    list_->verticalScrollBar()->setValue(scrolled);
    empty_->setVisible(listed.empty());
    // The keys stay in the field, so the field tells which command Return runs.
    field_->setAccessibleDescription(
        selected_ >= 0 && selected_ < int(listed.size()) ? listed[std::size_t(selected_)].title : QString());
    fitHeight();
    empty_->setGeometry(list_->rect());
}

void CommandPalette::fitHeight() {
    int rows = 0;
    for (int row = 0; row < list_->count(); ++row)
        rows += list_->sizeHintForRow(row);
    const int wanted = list_->count() == 0 ? emptyHeight : rows + 2 * list_->frameWidth();
    // The list is given its height outright: left to the layout, a list of one row asks for
    // more than the row and takes it from the field.
    const int above = searchRow_->sizeHint().height() + divider_->sizeHint().height();
    const int listHeight = std::min(wanted, maxHeight - above - listPadding);
    if (list_->minimumHeight() != listHeight || list_->maximumHeight() != listHeight)
        list_->setFixedHeight(listHeight);
    const int fitted = above + listHeight + listPadding;
    if (fitted != height())
        setFixedHeight(fitted);
}

bool CommandPalette::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Down:
            move(+1);
            return true;
        case Qt::Key_Up:
            move(-1);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            runSelected();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CommandPalette::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    empty_->setGeometry(list_->rect());
    field_->setFocus(Qt::OtherFocusReason);
}

} // namespace dovrane
