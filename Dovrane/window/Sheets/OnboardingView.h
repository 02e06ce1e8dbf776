#pragma once
// The setup sheet: a welcome, the three permissions with what each is for and what Dovrane
// never does, a restart offer once Full Disk Access needs one, and "Done", the only way that
// marks onboarding as finished. The login and notification states are read back after every
// action, never assumed.

#include "AppModel/WindowRecords.h"

#include <QDialog>
#include <QPushButton>
#include <QWidget>

namespace dovrane {

class AppModel;

// One permission: its symbol, title, why it helps and what Dovrane never does with it, then
// "On" once granted, else the row's action button.
class PermissionRow final : public QWidget {
    Q_OBJECT
public:
    PermissionRow(const QString& symbol, const QString& title, const QString& why, const QString& never,
                  QPushButton* action, QWidget* parent = nullptr);

    bool granted() const { return granted_; }
    void setGranted(bool granted);
    QPushButton* action() const { return action_; }

private:
    bool granted_ = false;
    QWidget* on_;
    QPushButton* action_;
};

class OnboardingView final : public QDialog {
    Q_OBJECT
public:
    explicit OnboardingView(AppModel& model, QWidget* parent = nullptr);

    PermissionRow* diskAccessRow() const { return diskAccess_; }
    PermissionRow* notificationsRow() const { return notificationsRow_; }
    PermissionRow* loginRow() const { return loginRow_; }
    QWidget* restartRow() const { return restart_; }
    QPushButton* doneButton() const { return done_; }

private:
    void readNotifications();
    void refresh();

    AppModel& model_;
    bool notifications_ = false;
    bool login_;
    PermissionRow* diskAccess_;
    PermissionRow* notificationsRow_;
    PermissionRow* loginRow_;
    QWidget* restart_;
    QPushButton* done_;
};

} // namespace dovrane
