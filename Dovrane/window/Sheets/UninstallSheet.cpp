#include "Sheets/UninstallSheet.h"

#include "AppModel/AppModel.h"
#include "AppsPage/AppRecordExtras.h"
#include "Sheets/SheetParts.h"
#include "StorageGraphics/StorageGroup.h"
#include "UiKit/AppIcon.h"
#include "UiKit/CheckRow.h"
#include "UiKit/DetailHeader.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"
#include "WindowBehavior/FitsHeight.h"
#include "WindowBehavior/WindowHook.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

namespace dovrane {

UninstallSheet::UninstallSheet(AppModel& model, UninstallRequest request, QWidget* parent)
    : QDialog(parent), model_(model), request_(std::move(request)) {
    const QString appName = QString::fromStdString(request_.app.name);
    setWindowTitle(tr("Remove %1?").arg(appName));
    setFixedWidth(560);
    new FitsHeight(this);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(16);

    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(new AppIcon(request_.app, 40, this), 0, Qt::AlignVCenter);
    const QString version = tr("Version %1, %2").arg(Texts::version(request_.app.version), byteText(request_.app.size));
    header->addWidget(new DetailHeader(DetailHeader::Style::sheet,
                                       {.title = tr("Remove %1?").arg(appName), .explanation = version}, this),
                      1);
    stack->addLayout(header);

    if (request_.leftovers.empty()) {
        stack->addWidget(new StyledLabel(tr("No leftovers found. Only the app goes to the Trash."),
                                         Fonts::font(FontRole::body), SemanticColors::secondaryText, this));
    } else {
        stack->addWidget(new StyledLabel(tr("Leftovers"), Fonts::font(FontRole::headline), {}, this));
        // One check box row per leftover; a scroll area, not an item view, so each row's box is
        // itself in the accessibility tree and takes the focus.
        auto* list = new QScrollArea(this);
        list->setAccessibleName(tr("Leftovers"));
        list->setFocusPolicy(Qt::NoFocus); // Tab goes from row to row, each scrolled into view
        list->setWidgetResizable(true);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setMinimumHeight(160);
        list->setMaximumHeight(300);
        auto* rows = new QWidget(list);
        auto* column = new QVBoxLayout(rows);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        for (const Leftover& leftover : request_.leftovers)
            column->addWidget(leftoverRow(leftover, rows));
        column->addStretch(1);
        list->setWidget(rows);
        stack->addWidget(list);
    }

    if (request_.isRunning)
        stack->addWidget(SheetParts::symbolLabel(QStringLiteral("exclamationmark.circle"),
                                                 tr("%1 is open. Dovrane asks it to quit first.").arg(appName),
                                                 Fonts::font(FontRole::body), SemanticColors::secondaryText, this));

    auto* buttons = new QHBoxLayout;
    total_ = new StyledLabel(QString(), Fonts::monospacedDigits(Fonts::font(FontRole::body)), {}, this);
    buttons->addWidget(total_);
    buttons->addStretch(1);
    buttons->addWidget(SheetParts::cancelButton(tr("Cancel"), this, this));
    confirm_ = SheetParts::confirmButton(
        request_.isRunning ? tr("Quit and Move to Trash") : tr("Move to Trash"),
        [this] { model_.performUninstall(request_); }, this);
    buttons->addWidget(confirm_);
    stack->addLayout(buttons);
    refreshTotal();
    // The sheet opens on the first leftover, ringed; without leftovers, on its default button.
    new WindowHook(this, toggles_.empty() ? static_cast<QWidget*>(confirm_) : toggles_.front());
}

QWidget* UninstallSheet::leftoverRow(const Leftover& leftover, QWidget* parent) {
    const QString path = QString::fromStdString(leftover.url.path());
    const QString fileName = QString::fromStdString(leftover.url.lastPathComponent());
    auto* row = new CheckRow(parent);
    row->setToolTip(Texts::tooltip(path));
    row->setChecked(isChecked(leftover));
    row->setAccessibleName(tr("%1, %2").arg(fileName, byteText(leftover.size)));
    row->setAccessibleDescription(path);
    connect(row, &QCheckBox::toggled, this, [this, leftover](bool on) { setChecked(leftover, on); });
    toggles_.push_back(row);
    QHBoxLayout* layout = row->content();

    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    auto* name = new ElidedLabel(fileName, Fonts::font(FontRole::body), {}, row);
    texts->addWidget(name);
    const QString folder = holdingFolder(leftover.url, model_.services().home);
    auto* reason = new LineLimitedLabel(folder + QStringLiteral(": ") + QString::fromStdString(leftover.reason), 2,
                                        Fonts::font(FontRole::callout), SemanticColors::secondaryText, row);
    texts->addWidget(reason);
    layout->addLayout(texts, 1);

    if (leftover.needsAdmin) {
        auto* lock = new SymbolView(QStringLiteral("lock"), 14, SemanticColors::secondaryText, row);
        lock->setToolTip(tr("Asks for your administrator password"));
        lock->setObjectName(QStringLiteral("adminLock"));
        layout->addWidget(lock, 0, Qt::AlignVCenter);
    }
    layout->addWidget(new StyledLabel(byteText(leftover.size), Fonts::monospacedDigits(Fonts::font(FontRole::body)),
                                      SemanticColors::secondaryText, row),
                      0, Qt::AlignVCenter);
    return row;
}

std::int64_t UninstallSheet::total() const {
    std::int64_t sum = request_.app.size;
    for (const Leftover& leftover : request_.leftovers)
        if (isChecked(leftover))
            sum += leftover.size;
    return sum;
}

void UninstallSheet::setChecked(const Leftover& leftover, bool checked) {
    if (checked)
        request_.checked.insert(leftover.id());
    else
        request_.checked.erase(leftover.id());
    refreshTotal();
}

void UninstallSheet::refreshTotal() { total_->setText(tr("Total: %1").arg(byteText(total()))); }

} // namespace dovrane
