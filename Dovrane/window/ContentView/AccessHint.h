#pragma once
// The Full Disk Access hint that pages put at the top of their content: without access it says
// what stays unmeasured and leads to the settings; once access was granted during the run it
// offers a restart; otherwise it is hidden and takes no space.

#include "AppModel/WindowRecords.h"

#include <QPushButton>
#include <QWidget>

namespace dovrane {

class AppModel;

class AccessHint final : public QWidget {
    Q_OBJECT
public:
    enum class State { missing, restart, none };

    explicit AccessHint(AppModel& model, QWidget* parent = nullptr);

    State state() const { return state_; }
    QPushButton* openSettingsButton() const { return openSettings_; }
    QPushButton* restartButton() const { return restart_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    AppModel& model_;
    State state_ = State::none;
    QWidget* missing_;
    QWidget* restartRow_;
    QPushButton* openSettings_;
    QPushButton* restart_;
};

} // namespace dovrane
