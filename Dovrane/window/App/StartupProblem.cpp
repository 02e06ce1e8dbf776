#include "App/StartupProblem.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QPushButton>

#include <cstdio>

namespace dovrane::StartupProblem {

bool canShowWindows() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

namespace {

// A start that cannot go on: a critical box titled with the app's name.
std::unique_ptr<QMessageBox> criticalBox() {
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(QMessageBox::Critical);
    box->setWindowTitle(QCoreApplication::translate("dovrane::StartupProblem", "Dovrane"));
    return box;
}

// Quit, added after the box's other answers, is its default.
void addQuit(QMessageBox& box) {
    box.setDefaultButton(
        box.addButton(QCoreApplication::translate("dovrane::StartupProblem", "Quit"), QMessageBox::RejectRole));
}

} // namespace

StoreBox storeBox(const std::string& path, const ModelContainer::OpenFailure& failure) {
    StoreBox result;
    result.box = criticalBox();
    QMessageBox& box = *result.box;
    box.setText(QCoreApplication::translate("dovrane::StartupProblem", "The database at %1 could not be opened.")
                    .arg(QFile::decodeName(QByteArray::fromStdString(path))));
    if (failure.damaged) {
        box.setInformativeText(QCoreApplication::translate(
            "dovrane::StartupProblem",
            "The file is damaged. It is kept as it is, so that the records it can still give are not lost. "
            "Dovrane can move it aside and start with a new database that keeps the records of removals it "
            "can still read."));
        result.freshButton =
            box.addButton(QCoreApplication::translate("dovrane::StartupProblem", "Start With a New Database"),
                          QMessageBox::AcceptRole);
    } else {
        box.setInformativeText(QCoreApplication::translate(
            "dovrane::StartupProblem",
            "Nothing was changed. Check that the file and its folder can be read and written, then start "
            "Dovrane again."));
    }
    box.setDetailedText(QString::fromStdString(failure.message));
    addQuit(box);
    return result;
}

std::unique_ptr<QMessageBox> folderBox(const AppFolders::FolderProblem& problem) {
    auto box = criticalBox();
    const QString path = QFile::decodeName(QByteArray::fromStdString(problem.path));
    box->setText(
        problem.name == "settings folder"
            ? QCoreApplication::translate("dovrane::StartupProblem",
                                          "Dovrane cannot keep its settings in the folder %1.")
                  .arg(path)
            : QCoreApplication::translate("dovrane::StartupProblem", "Dovrane cannot keep its caches in the folder %1.")
                  .arg(path));
    box->setInformativeText(QCoreApplication::translate(
        "dovrane::StartupProblem", "Nothing was changed. Check that the folder can be created and written, then "
                                   "start Dovrane again."));
    box->setDetailedText(QString::fromStdString(problem.reason));
    addQuit(*box);
    return box;
}

bool reportUnusableFolder() {
    const auto problem = AppFolders::startupProblem();
    if (!problem)
        return false;
    std::fprintf(stderr, "%s\n", problem->message().c_str());
    if (canShowWindows())
        folderBox(*problem)->exec();
    return true;
}

} // namespace dovrane::StartupProblem
