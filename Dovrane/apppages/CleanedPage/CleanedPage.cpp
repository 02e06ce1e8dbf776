#include "CleanedPage/CleanedPage.h"

#include "AppModel/AppModel.h"
#include "CleanedPage/RemovalRow.h"
#include "UiKit/PageKit.h"
#include "UiKit/SemanticColors.h"

#include <QGridLayout>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace dovrane {

CleanedPage::CleanedPage(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setWindowTitle(tr("Cleaned Up"));
    auto* scroll = new QScrollArea(this);
    scroll->setAccessibleName(windowTitle());
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(0);
    header_ =
        new StyledLabel(tr("Dovrane never deletes. Everything goes to the Trash, and stays there until you empty it."),
                        Fonts::font(FontRole::callout), SemanticColors::secondaryText, content);
    header_->setWordWrap(true);
    column->addWidget(header_);
    column->addSpacing(4);
    auto* card = new Card(content);
    list_ = card->contentLayout();
    list_->setContentsMargins(12, 4, 12, 4);
    list_->setSpacing(0);
    column->addWidget(card);
    column->addStretch(1);
    scroll->setWidget(content);

    empty_ = new ContentUnavailableView(tr("Nothing cleaned up yet"), QStringLiteral("arrow.uturn.backward.circle"),
                                        tr("What you move to the Trash with Dovrane shows up here, ready to put back."),
                                        this);
    empty_->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* stack = new QGridLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(scroll, 0, 0);
    stack->addWidget(empty_, 0, 0);

    // The database announces every insert and save; that stands in for a live query.
    connect(&model_.container(), &ModelContainer::changed, this, &CleanedPage::reload);
    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::isDemo)
            reload();
    });
    reload();
}

std::vector<RemovalRow*> CleanedPage::rows() const {
    std::vector<RemovalRow*> shown;
    for (int index = 0; index < list_->count(); ++index)
        if (auto* row = qobject_cast<RemovalRow*>(list_->itemAt(index)->widget()))
            shown.push_back(row);
    return shown;
}

// Rows stay with their records (a pressed Put Back stays pressed); each is read again, the Trash
// included, and they are put in order newest first.
void CleanedPage::reload() {
    std::vector<std::shared_ptr<Removal>> removals =
        model_.container().removals().value_or(std::vector<std::shared_ptr<Removal>>{});
    std::stable_sort(removals.begin(), removals.end(),
                     [](const auto& a, const auto& b) { return a->date() > b->date(); });

    std::map<const Removal*, RemovalRow*> kept;
    for (const auto& removal : removals) {
        RemovalRow* row = nullptr;
        if (auto found = rows_.find(removal.get()); found != rows_.end()) {
            row = found->second;
            rows_.erase(found);
            row->refresh();
        } else {
            row = new RemovalRow(model_, removal, list_->parentWidget());
        }
        kept.emplace(removal.get(), row);
        list_->removeWidget(row);
        list_->addWidget(row);
    }
    for (auto& [record, row] : rows_)
        delete row;
    rows_ = std::move(kept);
    list_->parentWidget()->setVisible(!rows_.empty());
    empty_->setVisible(rows_.empty());
}

} // namespace dovrane
