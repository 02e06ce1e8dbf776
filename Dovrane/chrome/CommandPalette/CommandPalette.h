#pragma once
// The command palette: a search field over every command the application offers right now
// (pages, actions, storage categories, per-app updates and removals), ranked by the palette
// matching of the library. The table is built afresh from the model on every read, so nothing
// stale is ever listed. A palette runs at most one command: choosing closes it at once (the
// model's sheet is cleared) and the command follows a short moment later, once the sheet is
// gone.

#include "AppModel/WindowRecords.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;

namespace dovrane {

class AppModel;

class CommandPalette final : public QDialog {
    Q_OBJECT
public:
    struct Command {
        QString id;    // its prefix names the kind: "page.", "category.", "update.", "remove."
        QString title; // the only text the search matches
        QString group;
        QString symbol;
        std::function<void()> run;
    };

    static constexpr int width = 560;
    // The tallest the palette grows; it is as tall as its results, and keeps its top where the
    // tallest would have it (the dynamic property "placedHeight" tells its host so).
    static constexpr int maxHeight = 400;
    // Room under the field for "Nothing matches".
    static constexpr int emptyHeight = 64;
    // Room under the last row, in the list's own colour, so no row meets the palette's edge.
    static constexpr int listPadding = 8;
    static constexpr int maxResults = 40;
    // How long a chosen command waits for the palette to be gone.
    static constexpr int runDelayMs = 300;

    // openSettings opens (or brings forward) the Settings window.
    CommandPalette(AppModel& model, std::function<void()> openSettings, QWidget* parent = nullptr);

    // The whole table, in table order, from the model as it is now.
    std::vector<Command> commands() const;
    // The commands to list, best first, at most 40.
    std::vector<Command> results() const;
    int selected() const { return selected_; }
    // Moves the selection by step, clamped to the results; nothing without results.
    void move(int step);
    // Closes the palette and runs the selected command after the delay; nothing when the
    // selection lies outside the results or a command was already chosen.
    void runSelected();

    QLineEdit* searchField() const { return field_; }
    QListWidget* list() const { return list_; }
    QLabel* emptyText() const { return empty_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void queryChanged();
    void rebuild();
    void select(int index);
    // As tall as the search field and the listed rows, at most maxHeight; the field keeps its
    // height whatever the list holds.
    void fitHeight();

    AppModel& model_;
    std::function<void()> openSettings_;
    QLineEdit* field_;
    QWidget* searchRow_;
    QFrame* divider_;
    QListWidget* list_;
    QLabel* empty_;
    int selected_ = 0;
    bool chosen_ = false;
};

} // namespace dovrane
