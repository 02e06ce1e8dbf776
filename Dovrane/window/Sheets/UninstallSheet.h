#pragma once
// Confirms an app's removal with the leftovers the user ticks. The ticks live in the sheet's
// own copy of the request; the model's request is never edited, and Cancel drops the copy.

#include "AppModel/WindowRecords.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <cstdint>
#include <vector>

namespace dovrane {

class AppModel;

class UninstallSheet final : public QDialog {
    Q_OBJECT
public:
    UninstallSheet(AppModel& model, UninstallRequest request, QWidget* parent = nullptr);

    // The app's own size plus every ticked leftover's.
    std::int64_t total() const;
    const UninstallRequest& request() const { return request_; }

    bool isChecked(const Leftover& leftover) const { return request_.checked.contains(leftover.id()); }
    void setChecked(const Leftover& leftover, bool checked);

    // One per leftover, in the request's order; empty when there are none.
    const std::vector<QCheckBox*>& toggles() const { return toggles_; }
    QLabel* totalLabel() const { return total_; }
    QPushButton* confirmButton() const { return confirm_; }

private:
    QWidget* leftoverRow(const Leftover& leftover, QWidget* parent);
    void refreshTotal();

    AppModel& model_;
    UninstallRequest request_;
    std::vector<QCheckBox*> toggles_;
    QLabel* total_;
    QPushButton* confirm_;
};

} // namespace dovrane
