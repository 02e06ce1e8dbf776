#pragma once
// The pieces of the Updates page: the card of one available update, a list of apps with one
// line of text each, and a section heading.

#include "UiKit/PageKit.h"

#include <DovraneKit/apps/AppRecords.h>
#include <DovraneKit/updates/UpdateRecords.h>

#include <QUrl>

#include <optional>
#include <utility>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

namespace dovrane {

class AppModel;

// The release-notes address a card offers as a link: http and https only, since it comes from
// a feed on the network; any other scheme gets no link.
std::optional<QUrl> releaseNotesLink(const UpdateInfo& info);

class UpdateCard : public Card {
    Q_OBJECT
public:
    UpdateCard(AppModel& model, InstalledApp app, UpdateInfo info, QWidget* parent = nullptr);

    const InstalledApp& app() const { return app_; }
    const UpdateInfo& info() const { return info_; }
    bool expanded() const { return expanded_; }
    void setExpanded(bool expanded);
    // Reads the install state and the problem of the card's app from the model again.
    void refresh();

    QPushButton* installButton() const { return install_; }
    QProgressBar* busyIndicator() const { return busy_; }
    LineLimitedLabel* notes() const { return notes_; }
    QPushButton* moreButton() const { return more_; }
    QPushButton* releaseNotesButton() const { return link_; }
    QLabel* problem() const { return problem_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int collapsedLines = 3;
    void press();
    void showMoreIfNeeded();

    AppModel& model_;
    InstalledApp app_;
    UpdateInfo info_;
    bool expanded_ = false;
    bool pressPending_ = false; // from a press until the install has ended
    QPushButton* install_;
    QProgressBar* busy_;
    LineLimitedLabel* notes_ = nullptr;
    QPushButton* more_ = nullptr;
    QPushButton* link_ = nullptr;
    QWidget* problemRow_;
    QLabel* problem_;
};

// One row per app: its icon at 20, its name in a column 180 wide, and the text.
class ReasonList : public QWidget {
    Q_OBJECT
public:
    using Rows = std::vector<std::pair<InstalledApp, QString>>;
    explicit ReasonList(const Rows& rows, QWidget* parent = nullptr);
    int count() const { return count_; }

private:
    int count_;
};

class SectionTitle : public StyledLabel {
    Q_OBJECT
public:
    explicit SectionTitle(const QString& text, QWidget* parent = nullptr);
};

} // namespace dovrane
