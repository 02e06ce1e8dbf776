#include "SettingsView/FolderList.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QFileDialog>

namespace dovrane::FolderList {

std::unique_ptr<QFileDialog> makePicker(QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setFileMode(QFileDialog::Directory);
    // The desktop's own dialogs choose one folder at a time; Qt's own can take several.
    dialog->setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    for (QAbstractItemView* view : dialog->findChildren<QAbstractItemView*>(QStringLiteral("listView")) +
                                       dialog->findChildren<QAbstractItemView*>(QStringLiteral("treeView")))
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    return dialog;
}

std::optional<QStringList> pick(QWidget* parent) {
    auto dialog = makePicker(parent);
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog->selectedFiles();
}

} // namespace dovrane::FolderList
