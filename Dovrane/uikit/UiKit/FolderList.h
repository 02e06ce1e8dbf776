#pragma once
// A list of folders kept under one settings key (the project folders, the excluded folders),
// with "Remove" on each row and "Add Folder…" below, and the folder picker it shares with the
// Storage page's "Choose Project Folders…": folders only, several at once.
//
// Every change starts from what is stored now, not from the rows on show, so an edit made
// elsewhere meanwhile is never overwritten by a stale copy.

#include "Services/SettingKeys.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QFileDialog;
class QVBoxLayout;

class QPushButton;

namespace dovrane {

class FolderList final : public QWidget {
    Q_OBJECT
public:
    using Picker = std::function<std::optional<QStringList>(QWidget* parent)>;

    // Rows shown at most; a line below counts the folders beyond them, which stay stored and
    // excluded.
    static constexpr qsizetype maximumRows = 500;

    // setting: where the list is kept; empty: the text shown while there are no folders; home:
    // the path shown as "~".
    FolderList(Settings& settings, Setting<QStringList> setting, QString empty, QString home,
               QWidget* parent = nullptr);

    // Runs the picker modally; the chosen folders' paths in the dialog's order, or none when
    // it was not confirmed.
    static std::optional<QStringList> pick(QWidget* parent = nullptr);
    // The picker pick() runs, set up but not shown.
    static std::unique_ptr<QFileDialog> makePicker(QWidget* parent = nullptr);
    // The path with the home folder (itself, or followed by "/") written as "~".
    static QString abbreviated(const QString& path, const QString& home);

    // Tells assistive technology which list the buttons act on: "Add Folder to Excluded folders".
    void setTitle(const QString& title);

    // "Add Folder…" asks this instead of pick() (tests).
    void setPicker(Picker picker) { picker_ = std::move(picker); }
    // The stored list, or none when the setting is absent or holds no list of texts.
    QStringList stored() const;
    const QStringList& folders() const { return folders_; }
    // Reads the setting again and shows it.
    void reload();
    // Adds the paths to what is stored, without duplicates, in code-point order.
    void add(const QStringList& paths);
    // Removes every entry equal to path from what is stored, the rest in their order.
    void remove(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void store(QStringList folders);
    void rebuild();

    Settings& settings_;
    Setting<QStringList> setting_;
    QString empty_;
    QString home_;
    Picker picker_;
    QStringList folders_;
    QVBoxLayout* rows_;
    QPushButton* addButton_;
};

} // namespace dovrane
