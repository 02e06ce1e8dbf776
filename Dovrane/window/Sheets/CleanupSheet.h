#pragma once
// Confirms a move to the Trash: what the plan moves, how much, and what it leaves alone. It
// hands the request, unchanged, to the model; it never plans, filters or edits. An entry is
// named by the first item with its URL, else by its last component. Items the plan left out
// because they changed after the scan are named with the reason.

#include "AppModel/WindowRecords.h"

#include <QDialog>
#include <QPushButton>
#include <QTreeView>

#include <memory>

namespace dovrane {

class AppModel;

class CleanupSheet final : public QDialog {
    Q_OBJECT
public:
    CleanupSheet(AppModel& model, CleanupRequest request, QWidget* parent = nullptr);
    // The model's own request, shared: a request of many thousand items is not copied.
    CleanupSheet(AppModel& model, std::shared_ptr<const CleanupRequest> request, QWidget* parent = nullptr);

    const CleanupRequest& request() const { return *request_; }
    // Two columns: the name, with the path as its tooltip, and the size.
    QTreeView* entries() const { return entries_; }
    QPushButton* confirmButton() const { return confirm_; }
    // Why an item left out of the plan stays: what changed after the scan.
    static QString changeReason(GroundCheck::Change change);

private:
    AppModel& model_;
    const std::shared_ptr<const CleanupRequest> request_;
    QTreeView* entries_;
    QPushButton* confirm_;
};

} // namespace dovrane
