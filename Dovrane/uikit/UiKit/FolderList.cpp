#include "UiKit/FolderList.h"

#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace dovrane {

namespace {

// The folder list's texts share one catalogue context, whichever function shows them; lupdate reads it here.
struct ListText {
    Q_DECLARE_TR_FUNCTIONS(FolderList)
};

// One line, elided in the middle when the row is too narrow.
class MiddleElidedLabel final : public QWidget {
public:
    explicit MiddleElidedLabel(QString text) : text_(std::move(text)) {
        setAccessibleName(text_);
        setToolTip(Texts::tooltip(text_));
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setMinimumHeight(fontMetrics().height());
    }
    QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(text_), fontMetrics().height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(SemanticColors::of(SemanticColor::label));
        painter.drawText(rect(), Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(text_, Qt::ElideMiddle, width()));
    }

private:
    QString text_;
};

// Code-point order of two UTF-16 texts: QString::compare orders by code unit, which puts a
// character beyond U+FFFF (a surrogate pair, D800-DFFF) before U+E000-U+FFFF. Moving the
// surrogates above the rest of the BMP gives code-point order for valid text and stays a total
// order (equal only when identical) for text with a lone surrogate.
bool codePointLess(const QString& a, const QString& b) {
    const auto weight = [](QChar c) {
        const char16_t unit = c.unicode();
        if (unit >= 0xE000)
            return unit - 0x800;
        if (unit >= 0xD800)
            return unit + 0x2000;
        return int(unit);
    };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](QChar x, QChar y) { return weight(x) < weight(y); });
}

} // namespace

FolderList::FolderList(Settings& settings, Setting<QStringList> setting, QString empty, QString home, QWidget* parent)
    : QWidget(parent), settings_(settings), setting_(std::move(setting)), empty_(std::move(empty)),
      home_(std::move(home)), picker_(&FolderList::pick) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    rows_ = new QVBoxLayout;
    rows_->setContentsMargins(0, 0, 0, 0);
    column->addLayout(rows_);
    addButton_ = new QPushButton(ListText::tr("Add Folder…"));
    connect(addButton_, &QPushButton::clicked, this, [this] {
        if (auto picked = picker_(this))
            add(*picked);
    });
    column->addWidget(addButton_, 0, Qt::AlignLeft);
    reload();
}

void FolderList::setTitle(const QString& title) {
    setAccessibleName(title);
    addButton_->setAccessibleName(ListText::tr("Add Folder to %1").arg(title));
}

std::unique_ptr<QFileDialog> FolderList::makePicker(QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent, QString(), QDir::homePath());
    dialog->setFileMode(QFileDialog::Directory);
    // The desktop's own dialog (the portal) where the platform offers one; Qt's own otherwise,
    // which can then take several folders at once.
    dialog->setOptions(QFileDialog::ShowDirsOnly);
    for (QAbstractItemView* view : dialog->findChildren<QAbstractItemView*>(QStringLiteral("listView")) +
                                       dialog->findChildren<QAbstractItemView*>(QStringLiteral("treeView")))
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    return dialog;
}

std::optional<QStringList> FolderList::pick(QWidget* parent) {
    auto dialog = makePicker(parent);
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog->selectedFiles();
}

QString FolderList::abbreviated(const QString& path, const QString& home) {
    if (home.isEmpty())
        return path;
    if (path == home)
        return QStringLiteral("~");
    const QString prefix = home.endsWith(QLatin1Char('/')) ? home : home + QLatin1Char('/');
    if (path.startsWith(prefix))
        return QStringLiteral("~/") + path.mid(prefix.size());
    return path;
}

QStringList FolderList::stored() const { return setting_.get(settings_); }

void FolderList::reload() {
    QStringList folders = stored();
    // Unchanged, the rows on show stay: rebuilt, they would be hidden until a queued show and
    // the page, measured meanwhile, would seem shorter for a moment.
    if (folders == folders_ && rows_->count() > 0)
        return;
    folders_ = std::move(folders);
    rebuild();
}

void FolderList::add(const QStringList& paths) {
    QStringList folders = stored() + paths;
    // Code-point order, not the locale's, so the list reads the same everywhere.
    std::sort(folders.begin(), folders.end(), codePointLess);
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    store(std::move(folders));
}

void FolderList::remove(const QString& path) {
    QStringList folders = stored();
    folders.removeAll(path);
    store(std::move(folders));
}

void FolderList::store(QStringList folders) {
    folders_ = folders;
    setting_.set(settings_, folders);
    rebuild();
}

void FolderList::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    reload();
}

void FolderList::rebuild() {
    // A row's own button may be what asked for this, so rows go once its click is over.
    while (QLayoutItem* item = rows_->takeAt(0)) {
        if (QWidget* row = item->widget()) {
            row->hide();
            row->deleteLater();
        }
        delete item;
    }
    if (folders_.isEmpty()) {
        auto* empty = new StyledLabel(empty_, Fonts::font(FontRole::body), SemanticColors::secondaryText);
        rows_->addWidget(empty);
        return;
    }
    // A widget per row: a list far longer than anyone keeps by hand would take minutes to show.
    const qsizetype shown = std::min(folders_.size(), maximumRows);
    for (const QString& folder : folders_.first(shown)) {
        auto* row = new QWidget;
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->addWidget(new MiddleElidedLabel(abbreviated(folder, home_)), 1);
        auto* remove = new QToolButton;
        remove->setAutoRaise(true);
        remove->setIcon(Symbols::buttonIcon(QStringLiteral("minus.circle")));
        // One per folder: a screen reader hears which folder goes.
        remove->setAccessibleName(ListText::tr("Remove %1").arg(abbreviated(folder, home_)));
        remove->setToolTip(ListText::tr("Remove"));
        connect(remove, &QToolButton::clicked, this, [this, folder] { this->remove(folder); });
        line->addWidget(remove);
        rows_->addWidget(row);
    }
    if (const qsizetype hidden = folders_.size() - shown; hidden > 0)
        rows_->addWidget(new StyledLabel(ListText::tr("%Ln more folders are not shown here.", nullptr, int(hidden)),
                                         Fonts::font(FontRole::body), SemanticColors::secondaryText));
}

} // namespace dovrane
