#include "OverviewPage/OverviewPage.h"

#include "Grid/GridProbes.h"
#include "StorageGraphics/ColorDot.h"
#include "StorageGraphics/StorageBar.h"
#include "StorageGraphics/StorageLegend.h"
#include "UiKit/Labels.h"
#include "UiKit/PageKit.h"
#include "UiKit/SemanticColors.h"

#include <DovraneKit/scan/Explanations.h>
#include <DovraneKit/system/VolumeInfo.h>

#include <QAction>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace dovrane {

namespace {

// Lowers a label so that its first line's baseline stands at `baseline` from the row's top;
// every item of such a row is aligned to the top.
void placeBaseline(QLabel* label, int baseline) {
    label->setContentsMargins(0, std::max(0, baseline - label->fontMetrics().ascent()), 0, 0);
}

QWidget* column(QWidget* parent, int spacing, QVBoxLayout** layout) {
    auto* widget = new QWidget(parent);
    *layout = new QVBoxLayout(widget);
    (*layout)->setContentsMargins(0, 0, 0, 0);
    (*layout)->setSpacing(spacing);
    return widget;
}

// A block of the page's column, lined up at the lead edge of the "overview" area.
QWidget* probedBlock(QWidget* parent, const char* name, int spacing, QVBoxLayout** layout) {
    QWidget* block = column(parent, spacing, layout);
    block->setObjectName(QLatin1String(name));
    gridProbe(block, QLatin1String(name), QStringLiteral("overview"), QStringLiteral("lead"));
    return block;
}

} // namespace

OverviewPage::OverviewPage(PageContext context, QWidget* parent) : QScrollArea(parent), context_(std::move(context)) {
    setWindowTitle(tr("Overview"));
    setAccessibleName(windowTitle());
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Tab goes to the controls, each scrolled into view; Page Up and Down still reach the page.
    setFocusPolicy(Qt::NoFocus);

    cleanUp_ = context_.cleanUpSafeItems;
    if (!cleanUp_) {
        cleanUp_ = new QAction(tr("Clean Up Safe Items…"), this);
        connect(cleanUp_, &QAction::triggered, this,
                [this] { context_.model.requestCleanup(context_.model.safeItems(), Wording::safeItems()); });
    }

    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("overview"));
    column_ = new QVBoxLayout(content);
    column_->setContentsMargins(20, 20, 20, 20);
    column_->setSpacing(24);
    if (context_.accessHint)
        column_->addWidget(context_.accessHint(content));
    column_->addStretch(1);
    setWidget(content);
    gridArea(content, QStringLiteral("overview"), 20);

    connect(&context_.model, &AppModel::changed, this, &OverviewPage::modelChanged);
    redraw();
}

void OverviewPage::modelChanged(AppModel::Field field) {
    const AppModel& model = context_.model;
    switch (field) {
    case AppModel::Field::isScanning:
    case AppModel::Field::scanLabel:
        // A running scan changes one line of a shown result, or the label of the first scan's
        // progress; only a change of state draws the page again.
        if (model.scan() && shown_ == State::scan) {
            measured_->setText(measuredText(*model.scan()));
            break;
        }
        if (!model.scan() && model.isScanning() && shown_ == State::scanning) {
            progressLabel_->setText(model.scanLabel());
            progress_->setAccessibleName(model.scanLabel());
            break;
        }
        redraw();
        break;
    case AppModel::Field::scan:
    case AppModel::Field::weekGrowth:
        redraw();
        break;
    case AppModel::Field::scanProgress:
        if (progress_)
            progress_->setValue(int(std::clamp(model.scanProgress(), 0.0, 1.0) * progress_->maximum()));
        break;
    default:
        break;
    }
}

QString OverviewPage::measuredText(const ScanResult& scan) const {
    const AppModel& model = context_.model;
    if (model.isScanning())
        return tr("Measuring %1…").arg(model.scanLabel());
    return tr("%1, measured %2")
        .arg(Texts::oneLine(QString::fromStdString(VolumeInfo::shownName(scan.volume))),
             QString::fromStdString(DateText::relative(scan.date, model.services().clock->now())));
}

void OverviewPage::redraw() {
    if (blocks_) {
        // A button of the old blocks may be the one whose press led here: let it finish first.
        blocks_->hide();
        blocks_->setParent(nullptr);
        blocks_->deleteLater();
    }
    progress_ = nullptr;
    progressLabel_ = nullptr;
    measured_ = nullptr;

    QVBoxLayout* layout = nullptr;
    blocks_ = column(widget(), 24, &layout);
    const AppModel& model = context_.model;
    if (const auto& scan = model.scan()) {
        shown_ = State::scan;
        layout->addWidget(header(*scan));
        layout->addWidget(barBlock(*scan));
        layout->addWidget(safeList(*scan));
    } else if (model.isScanning()) {
        shown_ = State::scanning;
        layout->addWidget(scanning());
    } else {
        shown_ = State::noScan;
        layout->addWidget(noScan());
    }
    // Below the access hint, above the closing stretch.
    column_->insertWidget(column_->count() - 1, blocks_);
}

QWidget* OverviewPage::header(const ScanResult& scan) {
    QVBoxLayout* lines = nullptr;
    QWidget* block = probedBlock(blocks_, "header", 4, &lines);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    auto* free = new StyledLabel(QString::fromStdString(bytes(scan.free)),
                                 Fonts::monospacedDigits(Fonts::system(48, QFont::DemiBold)), {}, block);
    free->setObjectName(QStringLiteral("free"));
    auto* total = new StyledLabel(tr("free of %1").arg(QString::fromStdString(bytes(scan.total))),
                                  Fonts::font(FontRole::title2), SemanticColors::secondaryText, block);
    total->setObjectName(QStringLiteral("total"));
    placeBaseline(total, free->fontMetrics().ascent());
    row->addWidget(free, 0, Qt::AlignTop);
    row->addWidget(total, 0, Qt::AlignTop);
    row->addStretch(1);
    lines->addLayout(row);

    auto addLine = [&](const QString& line, const char* name) {
        auto* label = new StyledLabel(line, Fonts::font(FontRole::body), SemanticColors::secondaryText, block);
        label->setObjectName(QLatin1String(name));
        label->setWordWrap(true);
        lines->addWidget(label);
        return label;
    };
    // On Linux free space is what is available, so this line never shows there.
    if (const std::int64_t purgeable = scan.free - scan.available; purgeable >= 1)
        addLine(tr("Includes %1 that macOS frees on its own when it needs the space.")
                    .arg(QString::fromStdString(bytes(purgeable))),
                "purgeable");
    measured_ = addLine(measuredText(scan), "measured");
    const AppModel& model = context_.model;
    if (const auto& growth = model.weekGrowth())
        addLine(tr("This week: %1").arg(QString::fromStdString(growth->sentence())), "growth");

    return block;
}

QWidget* OverviewPage::barBlock(const ScanResult& scan) {
    QVBoxLayout* layout = nullptr;
    QWidget* block = probedBlock(blocks_, "bar", 12, &layout);
    auto* bar = new StorageBar(scan, 24, block);
    bar->setLinuxHome(context_.model.isLinuxHome());
    layout->addWidget(bar);
    auto* legend = new StorageLegend(scan, block);
    legend->setLinuxHome(context_.model.isLinuxHome());
    layout->addWidget(legend);
    return block;
}

QWidget* OverviewPage::safeList(const ScanResult& scan) {
    QVBoxLayout* layout = nullptr;
    QWidget* block = probedBlock(blocks_, "safe", 12, &layout);

    // Largest safe size first; the stable sort keeps the fixed category order among equals.
    std::vector<const Category*> rows;
    for (const Category& category : scan.categories)
        if (category.safeSize() >= 1)
            rows.push_back(&category);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Category* a, const Category* b) { return a->safeSize() > b->safeSize(); });

    const QFont semibold = Fonts::font(FontRole::title3, QFont::DemiBold);
    auto* titleRow = new QHBoxLayout;
    QVBoxLayout* titles = nullptr;
    QWidget* titleColumn = column(block, 4, &titles);
    titles->addWidget(new StyledLabel(tr("What you can safely remove"), semibold, {}, titleColumn));
    auto* note = new StyledLabel(tr("Moves to the Trash first. You can put everything back from Cleaned Up."),
                                 Fonts::font(FontRole::body), SemanticColors::secondaryText, titleColumn);
    note->setWordWrap(true);
    titles->addWidget(note);
    titleRow->addWidget(titleColumn, 1, Qt::AlignTop);
    auto* total = new StyledLabel(QString::fromStdString(bytes(context_.model.safeTotal())),
                                  Fonts::monospacedDigits(semibold), {}, block);
    total->setObjectName(QStringLiteral("safeTotal"));
    titleRow->addWidget(total, 0, Qt::AlignTop);
    layout->addLayout(titleRow);

    if (rows.empty()) {
        auto* nothing =
            new StyledLabel(tr("Nothing right now. Caches, logs and old installers show up here when they pile up."),
                            Fonts::font(FontRole::body), SemanticColors::secondaryText, block);
        nothing->setObjectName(QStringLiteral("nothing"));
        nothing->setWordWrap(true);
        layout->addWidget(nothing);
    } else {
        auto* card = new Card(block);
        card->setObjectName(QStringLiteral("safeCard"));
        card->contentLayout()->setContentsMargins(0, 0, 0, 0);
        card->contentLayout()->setSpacing(0);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i > 0)
                card->contentLayout()->addWidget(new Divider(Qt::Horizontal, card));
            card->contentLayout()->addWidget(new SafeRow(context_, *rows[i], card));
        }
        layout->addWidget(card);

        auto* button = new ProminentButton(tr("Clean Up…"), block);
        button->setObjectName(QStringLiteral("cleanUp"));
        button->setDefault(true);
        // The window's action owns Ctrl+Return; the button only triggers it.
        button->setToolTip(tr("Review and move the safe items to the Trash (Ctrl-Return)"));
        connect(button, &QPushButton::clicked, cleanUp_, &QAction::trigger);
        layout->addWidget(button, 0, Qt::AlignRight);
    }
    return block;
}

QWidget* OverviewPage::scanning() {
    QVBoxLayout* layout = nullptr;
    QWidget* block = column(blocks_, 12, &layout);
    block->setObjectName(QStringLiteral("scanning"));
    block->setMaximumWidth(480);
    const QFont title = Fonts::font(FontRole::title2, QFont::DemiBold);
    layout->addWidget(new StyledLabel(tr("Measuring your disk"), title, {}, block));
    progressLabel_ = new StyledLabel(context_.model.scanLabel(), Fonts::font(FontRole::body), {}, block);
    layout->addWidget(progressLabel_);
    progress_ = new QProgressBar(block);
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->setValue(int(std::clamp(context_.model.scanProgress(), 0.0, 1.0) * 1000));
    progress_->setAccessibleName(context_.model.scanLabel());
    layout->addWidget(progress_);
    auto* note = new StyledLabel(tr("This takes a minute or two the first time. You can keep working."),
                                 Fonts::font(FontRole::body), SemanticColors::secondaryText, block);
    note->setWordWrap(true);
    layout->addWidget(note);
    return block;
}

QWidget* OverviewPage::noScan() {
    auto* view = new ContentUnavailableView(
        tr("No scan yet"), QStringLiteral("internaldrive"),
        tr("Dovrane measures what fills your disk. It reads sizes, never file contents."), blocks_);
    view->setObjectName(QStringLiteral("noScan"));
    view->setMinimumHeight(320);
    view->setAction(
        tr("Scan Now"), [this] { context_.model.startScan(AppModel::Apps::reload); },
        ContentUnavailableView::ButtonStyle::prominent);
    view->actionButton()->setDefault(true);
    return view;
}

SafeRow::SafeRow(const PageContext& context, const Category& category, QWidget* parent)
    : QWidget(parent), model_(context.model), selection_(context.selection), id_(category.id) {
    setObjectName(QStringLiteral("safeRow.") + QString::fromStdString(std::string(rawValue(id_))));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(12);

    const QFont body = Fonts::font(FontRole::body);
    auto* button = new QPushButton(tr("Show"), this);
    button->setObjectName(QStringLiteral("show"));
    button->setFlat(true);
    // Seven rows each have a "Show": a screen reader tells them apart by the category.
    button->setAccessibleName(tr("Show %1").arg(QString::fromStdString(Explanations::title(id_))));
    connect(button, &QPushButton::clicked, this, &SafeRow::showCategory);
    // Every part's first baseline lines up with the button's text.
    const QFontMetrics metrics(body);
    const int baseline =
        std::max(metrics.ascent(), (button->sizeHint().height() - metrics.height()) / 2 + metrics.ascent());

    const CategoryID id = id_;
    auto* dotBox = new QWidget(this);
    dotBox->setFixedWidth(ColorDot::diameter);
    auto* dot = new ColorDot([id] { return StorageGroups::categoryColor(id); }, dotBox);
    dot->move(0, std::max(0, baseline - metrics.xHeight() / 2 - ColorDot::diameter / 2));
    dotBox->setFixedHeight(dot->y() + ColorDot::diameter);
    row->addWidget(dotBox, 0, Qt::AlignTop);

    QVBoxLayout* texts = nullptr;
    QWidget* textColumn = column(this, 4, &texts);
    auto* title = new StyledLabel(QString::fromStdString(Explanations::title(id_)), body, {}, textColumn);
    placeBaseline(title, baseline);
    texts->addWidget(title);
    auto* explanation = new StyledLabel(QString::fromStdString(Explanations::text(id_, model_.isLinuxHome())),
                                        Fonts::font(FontRole::callout), SemanticColors::secondaryText, textColumn);
    explanation->setWordWrap(true);
    texts->addWidget(explanation);
    row->addWidget(textColumn, 1, Qt::AlignTop);

    row->addSpacing(16 - row->spacing());
    auto* size =
        new StyledLabel(QString::fromStdString(bytes(category.safeSize())), Fonts::monospacedDigits(body), {}, this);
    size->setObjectName(QStringLiteral("size"));
    placeBaseline(size, baseline);
    row->addWidget(size, 0, Qt::AlignTop);
    row->addWidget(button, 0, Qt::AlignTop);
}

void SafeRow::showCategory() {
    model_.setSidebar(isDeveloper(id_) ? SidebarItem::developer : SidebarItem::storage);
    selection_.setCategory(id_);
}

} // namespace dovrane
