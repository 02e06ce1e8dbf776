#pragma once
// The Cleaned Up page: the journal of everything moved to the Trash, newest first, one row per
// record, with Put Back for what can still come back. It reads the records from the database
// and reads them again whenever the database announces a change; it writes nothing itself.

#include <QWidget>

#include <map>
#include <memory>
#include <vector>

class QVBoxLayout;

namespace dovrane {

class AppModel;
class ContentUnavailableView;
class Removal;
class RemovalRow;
class StyledLabel;

class CleanedPage : public QWidget {
    Q_OBJECT
public:
    explicit CleanedPage(AppModel& model, QWidget* parent = nullptr);

    // The rows in the order shown.
    std::vector<RemovalRow*> rows() const;
    ContentUnavailableView* emptyState() const { return empty_; }
    StyledLabel* header() const { return header_; }

private:
    void reload();

    AppModel& model_;
    StyledLabel* header_;
    QVBoxLayout* list_;
    ContentUnavailableView* empty_;
    std::map<const Removal*, RemovalRow*> rows_;
};

} // namespace dovrane
