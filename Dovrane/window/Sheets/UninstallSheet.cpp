#include "Sheets/UninstallSheet.h"

#include "AppModel/AppModel.h"
#include "Sheets/SheetParts.h"
#include "StorageGraphics/StorageGroup.h"
#include "UiKit/AppIcon.h"
#include "UiKit/Labels.h"
#include "UiKit/Symbols.h"
#include "WindowBehavior/FitsHeight.h"
#include "WindowBehavior/WindowHook.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace dovrane {

UninstallSheet::UninstallSheet(AppModel& model, UninstallRequest request, QWidget* parent)
    : QDialog(parent), model_(model), request_(std::move(request)) {
    const QString appName = QString::fromStdString(request_.app.name);
    setWindowTitle(tr("Remove %1?").arg(appName));
    setFixedWidth(560);
    new WindowHook(this);
    new FitsHeight(this);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(16);

    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(new AppIcon(request_.app, 40, this), 0, Qt::AlignVCenter);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    const QFont title = Fonts::font(FontRole::title2, QFont::DemiBold);
    titles->addWidget(new StyledLabel(tr("Remove %1?").arg(appName), title, {}, this));
    titles->addWidget(new StyledLabel(
        tr("Version %1, %2").arg(QString::fromStdString(request_.app.version), byteText(request_.app.size)),
        Fonts::font(FontRole::body), SheetParts::secondary, this));
    header->addLayout(titles, 1);
    stack->addLayout(header);

    if (request_.leftovers.empty()) {
        stack->addWidget(new StyledLabel(tr("No leftovers found. Only the app goes to the Trash."),
                                         Fonts::font(FontRole::body), SheetParts::secondary, this));
    } else {
        stack->addWidget(new StyledLabel(tr("Leftovers"), Fonts::font(FontRole::headline), {}, this));
        auto* list = new QListWidget(this);
        list->setAlternatingRowColors(false);
        list->setSelectionMode(QAbstractItemView::NoSelection);
        list->setMinimumHeight(160);
        list->setMaximumHeight(300);
        for (const Leftover& leftover : request_.leftovers) {
            auto* item = new QListWidgetItem(list);
            QWidget* row = leftoverRow(leftover, list);
            item->setSizeHint(row->sizeHint());
            list->setItemWidget(item, row);
        }
        stack->addWidget(list);
        list_ = list;
        list->viewport()->installEventFilter(this);
    }

    if (request_.isRunning)
        stack->addWidget(SheetParts::symbolLabel(QStringLiteral("exclamationmark.circle"),
                                                 tr("%1 is open. Dovrane asks it to quit first.").arg(appName),
                                                 Fonts::font(FontRole::body), SheetParts::secondary, this));

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
}

bool UninstallSheet::eventFilter(QObject* watched, QEvent* event) {
    if (list_ && watched == list_->viewport() && event->type() == QEvent::Resize)
        fitRows();
    return QDialog::eventFilter(watched, event);
}

void UninstallSheet::fitRows() {
    const int width = list_->viewport()->width();
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        const QWidget* row = list_->itemWidget(item);
        const int height = row->hasHeightForWidth() ? row->heightForWidth(width) : row->sizeHint().height();
        if (item->sizeHint().height() != height)
            item->setSizeHint(QSize(row->sizeHint().width(), height));
    }
}

QWidget* UninstallSheet::leftoverRow(const Leftover& leftover, QWidget* parent) {
    const QString path = QString::fromStdString(leftover.url.path());
    auto* row = new QWidget(parent);
    row->setToolTip(Texts::tooltip(path));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(6, 4, 6, 4);

    auto* toggle = new QCheckBox(row);
    toggle->setChecked(isChecked(leftover));
    toggle->setAccessibleName(path);
    connect(toggle, &QCheckBox::toggled, this, [this, leftover](bool on) { setChecked(leftover, on); });
    toggles_.push_back(toggle);
    layout->addWidget(toggle, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    auto* name =
        new StyledLabel(QString::fromStdString(leftover.url.lastPathComponent()), Fonts::font(FontRole::body), {}, row);
    name->setMaximumHeight(name->fontMetrics().lineSpacing());
    texts->addWidget(name);
    const QString folder = QString::fromStdString(leftover.url.deletingLastPathComponent().lastPathComponent());
    auto* reason = new LineLimitedLabel(folder + QStringLiteral(": ") + QString::fromStdString(leftover.reason), 2,
                                        Fonts::font(FontRole::caption), SheetParts::secondary, row);
    texts->addWidget(reason);
    layout->addLayout(texts, 1);

    if (leftover.needsAdmin) {
        auto* lock = new SymbolView(QStringLiteral("lock"), 14, SheetParts::secondary, row);
        lock->setToolTip(tr("Asks for your administrator password"));
        lock->setObjectName(QStringLiteral("adminLock"));
        layout->addWidget(lock, 0, Qt::AlignVCenter);
    }
    layout->addWidget(new StyledLabel(byteText(leftover.size), Fonts::monospacedDigits(Fonts::font(FontRole::body)),
                                      SheetParts::secondary, row),
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
