#pragma once
// Confirms a move to the Trash: what the plan moves, how much, and what it leaves alone. It
// hands the request, unchanged, to the model; it never plans, filters or edits.

#include "AppModel/WindowRecords.h"

#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>

namespace dovrane {

class AppModel;

class CleanupSheet final : public QDialog {
    Q_OBJECT
public:
    CleanupSheet(AppModel& model, CleanupRequest request, QWidget* parent = nullptr);

    // The name shown for a plan entry: the first item with that URL, else its last component.
    static QString name(const CleanupRequest& request, const Url& url);

    const CleanupRequest& request() const { return request_; }
    QTreeWidget* entries() const { return entries_; }
    QPushButton* confirmButton() const { return confirm_; }

private:
    AppModel& model_;
    const CleanupRequest request_;
    QTreeWidget* entries_;
    QPushButton* confirm_;
};

} // namespace dovrane
